"""What the process-level test harnesses share: the build's platform, the
runner in front of its programs (Wine for the Windows build, or Valgrind),
one run with its output captured, scratch folders and the summary line.

A harness adds the options with add_arguments and hands them to configure.
CTest gives them all; by hand, a build of *.exe and *.dll files is taken
for the Windows build, run under its own Wine prefix.
"""

import os
import shutil
import struct
import subprocess
import tempfile
import unittest
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
PLATFORM = "linux"  # or "windows"
RUNNER = []  # filled in place, so that a module that imported it sees it
TIMEOUT = 120  # seconds: a run that hangs fails its test instead of CI


def add_arguments(parser):
    parser.add_argument("--platform", choices=("linux", "windows"))
    parser.add_argument("--runner", action="append", default=[],
                        help="a word of the command put in front of every program")


def configure(options, built):
    """Takes the platform and runner from `options`, or from `built`, a file
    in the build's bin/ folder."""
    global PLATFORM
    PLATFORM = options.platform or ("windows" if built.endswith((".exe", ".dll")) else "linux")
    RUNNER[:] = options.runner
    if windows() and not RUNNER:
        RUNNER[:] = [os.path.join(ROOT, "cmake", "wine-run.sh"),
                     os.path.join(build_folder(built), "wineprefix")]


def build_folder(built):
    return os.path.dirname(os.path.dirname(os.path.abspath(built)))


def windows():
    return PLATFORM == "windows"


def exe(name):
    return name + ".exe" if windows() else name


def library_name():
    """The file name the programs load the client library by."""
    return "steam_api64.dll" if windows() else "libsteam_api.so"


def native_path(path):
    """A host path as a program sees it (Wine maps the host's / to Z:)."""
    if windows():
        return "Z:" + os.path.abspath(path).replace("/", "\\")
    return os.path.abspath(path)


def text(expected):
    """Expected standard output (str as UTF-8, or bytes) in the platform's
    line ends: a Windows program writes "\\n" as "\\r\\n"."""
    data = expected.encode("utf-8") if isinstance(expected, str) else expected
    return data.replace(b"\n", b"\r\n") if windows() else data


def png(width, height, padding=0):
    """A real PNG of one colour; `padding` bytes of an ancillary chunk make
    it as large as wanted."""
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    rows = b"".join(b"\0" + b"\x80" * width for _ in range(height))
    body = (chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 0, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(rows)))
    if padding:
        body += chunk(b"zzPd", b"\0" * padding)
    return b"\x89PNG\r\n\x1a\n" + body + chunk(b"IEND", b"")


def run(command, cwd=None, env=None, timeout=TIMEOUT, preexec_fn=None):
    """Runs `command` behind the runner with no standard input; both outputs
    are captured as bytes."""
    return subprocess.run(RUNNER + list(command), cwd=cwd, env=env, stdin=subprocess.DEVNULL,
                          capture_output=True, timeout=timeout, check=False,
                          preexec_fn=preexec_fn)


class ProgramTestCase(unittest.TestCase):
    maxDiff = None

    def scratch(self, prefix):
        """A fresh folder, removed when the test ends."""
        folder = tempfile.mkdtemp(prefix=prefix)
        self.addCleanup(shutil.rmtree, folder, ignore_errors=True)
        return folder

    def run_program(self, command, check_stderr=True, **how):
        """run(command, **how), failing when anything reached standard error."""
        completed = run(command, **how)
        if check_stderr:
            self.assertEqual(completed.stderr, b"", "%s wrote to standard error" % command)
        return completed


def run_tests(suite):
    """Runs `suite`, prints "N passed, N failed, N skipped" and returns the
    exit status."""
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    # A test with failing subtests is listed once per subtest: count tests.
    failed = len({id(getattr(test, "test_case", test))
                  for test, _ in result.failures + result.errors})
    skipped = len(result.skipped)
    print("%d passed, %d failed, %d skipped" % (
        result.testsRun - failed - skipped, failed, skipped))
    return 0 if result.wasSuccessful() else 1
