#!/usr/bin/env python3
"""Golden tests of modpublish-check: runs the built checker on small mod
folders and compares its standard output and exit status byte for byte.

    run.py --tool build/default/bin/modpublish-check [--update] [CASE...]
    run.py --tool build/windows/bin/modpublish-check.exe
    run.py --tool build/default/bin/modpublish-check \
           --agreement build/default/bin/modpublish [--share K/N] [CASE...]

The Windows cases of a file held open need --holder, the program built
from tests/fixtures/hold_file_win32.cpp.

With --agreement the same cases check the checker against a publish
instead: modpublish runs on each case that isn't the checker's usage text,
as the checker did (same mod, current folder, environment, limits and
user; its -u item is in the Workshop, as an earlier publish left it),
against the simulated library beside it with a Workshop of its own. Where
the checker found no error the publish must succeed; so every failed
publish had an error reported first.

Each folder under cases/ is one run. Its mod folder is base/ (a clean mod)
with the case's own files laid over it; the case's `options` file, one
setting a line, changes the rest:

    remove NAME         removes base/NAME (a file or a folder) from the mod
    args ARG...         the arguments instead of "mod" (Python escapes such as
                        \n are read)
    mod-folder NAME     the mod folder is NAME (Python escapes read) instead
                        of "mod", and the arguments are [NAME] by default
    status N            the expected exit status (default 0)
    big-preview         steam_logo.png becomes a 1048576-byte PNG
    preview-folder      steam_logo.png becomes a folder
    lonely-tool         the checker runs from a folder of its own
    no-appid            no steam_appid.txt in the current folder
    env NAME=VALUE      sets an environment variable for the run
    long-line-mb N      appends a key line of N MiB to descript.ion
    repeat-line N TEXT  appends N lines of TEXT to descript.ion
    memory-limit-mb N   limits the checker's address space to N MiB (Linux,
                        not the sanitizer build, which needs far more)
    library KIND        the checker runs from a folder of its own, beside a
                        client library of that kind: text (a saved web
                        page), 32-bit (a 32-bit library of the platform's
                        format), old-sdk (the library built from
                        tests/fixtures/incomplete_steam_api.cpp),
                        steam_api.dll (a 32-bit steam_api.dll and no
                        steam_api64.dll; Windows only), cut-sections (the
                        simulated library one byte short of the end of its
                        last section or loadable segment) or cut-names (the
                        simulated library cut inside the names of its
                        exports)
    appid BYTES         steam_appid.txt holds BYTES (Python escapes such as
                        \xEF and \n) instead of "480\n"
    appid-name NAME     the app id file is named NAME instead
    link NAME TARGET    NAME in the mod becomes a symbolic link to TARGET
    move-out NAME       moves NAME (a file or a folder) from the mod to beside it
    fifo NAME           NAME in the mod becomes a named pipe
    unreadable NAME     NAME in the mod becomes a folder no one but root may
                        read, or, when it is a file, one only its owner may
                        read (mode 600; 000 when not run as root); run as
                        root, the checker runs as nobody (Linux only: the
                        Wine prefix belongs to root)
    held NAME           NAME in the mod becomes a file that another program
                        holds open without sharing while the programs run
                        (Windows only: the --holder program)
    file NAME BYTES     NAME in the mod becomes a file of BYTES bytes, with
                        the folders it is in (for names git won't keep, such
                        as .git/HEAD)
    publish-fails       with --agreement: the checker must find an error and
                        the publish must fail, as it does with the real Steam
    nest N              N folders inside each other in the mod, a file in
                        the deepest
    linux-only WHY...   skips the case on Windows, saying why
    windows-only WHY... skips the case elsewhere, saying why

expected.txt is the output with "\\n" line ends and "/" after the folder: on
Windows they become "\\r\\n" and "\\". {library} stands for the client
library's path beside the checker, {library_name} for its file name,
{sdk_folder} for the Steamworks SDK's folder of it (win64, linux64) and
{program} for the checker's path.
--update rewrites expected.txt from what the checker prints.
"""

import argparse
import codecs
import os
import pwd
import re
import resource
import shutil
import struct
import subprocess
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
# The Workshop's item files are read as the process tests read them.
sys.path[:0] = [os.path.join(HERE, "..", "e2e"), os.path.join(HERE, "..", "support")]
import harness  # noqa: E402
import programs  # noqa: E402
from programs import native_path, png, windows  # noqa: E402
TOOL = None
PUBLISHER = None
HOLDER = None
INCOMPLETE_LIBRARY = None
SANITIZED = False
UPDATE = False
CASES = []


def library_file(kind):
    """The bytes of a client library file of `kind` that the checker must
    refuse, in this platform's format; old-sdk comes from the build."""
    if kind == "text":
        return (b"<!DOCTYPE html>\n<html><head><title>steam_api64.dll download</title></head>\n"
                b"<body>Your download will start shortly.</body></html>\n")
    if kind in ("32-bit", "steam_api.dll"):
        if windows():
            # MZ header pointing at a PE header: i386, a DLL, a PE32 optional
            # header; nothing more is read of a library for another machine.
            pe = struct.pack("<4sHHIIIHH", b"PE\0\0", 0x14C, 0, 0, 0, 0, 0xE0, 0x2102)
            return (b"MZ" + b"\0" * 0x3A + struct.pack("<I", 0x40) + pe +
                    struct.pack("<H", 0x10B) + b"\0" * 0xDE)
        # ELFCLASS32, little-endian, a shared object for i386.
        return (b"\x7fELF\x01\x01\x01" + b"\0" * 9 + struct.pack("<HHI", 3, 3, 1) +
                b"\0" * 28)
    raise ValueError("unknown library kind %s" % kind)


def cut_library(path, kind):
    """The client library at `path` (the simulated one, PE or ELF) cut one
    byte short of the end of its sections (PE) or loadable segments (ELF)
    for cut-sections, in the middle of its export names for cut-names."""
    with open(path, "rb") as source:
        data = source.read()

    def field(at, width):
        return int.from_bytes(data[at:at + width], "little")

    if data[:2] == b"MZ":
        header = field(0x3C, 4)
        table = header + 24 + field(header + 20, 2)
        sections = [[field(table + 40 * i + at, 4) for at in (12, 16, 20)]
                    for i in range(field(header + 6, 2))]
        if kind == "cut-sections":
            return data[:max(at + size for _, size, at in sections) - 1]
        # The export directory's table of name addresses, then its middle name.
        offset = lambda address: next(at + address - start for start, size, at in sections
                                      if start <= address < start + size)
        directory = offset(field(header + 24 + 112, 4))
        names = offset(field(directory + 32, 4))
        return data[:offset(field(names + 4 * (field(directory + 24, 4) // 2), 4)) + 3]
    if kind == "cut-sections":
        segments = [field(0x20, 8) + 56 * i for i in range(field(0x38, 2))]
        return data[:max(field(at + 8, 8) + field(at + 32, 8) for at in segments
                         if field(at, 4) == 1) - 1]
    sections = [field(0x28, 8) + 64 * i for i in range(field(0x3C, 2))]
    symbols = next(at for at in sections if field(at + 4, 4) == 11)  # SHT_DYNSYM
    strings = field(0x28, 8) + 64 * field(symbols + 40, 4)
    return data[:field(strings + 24, 8) + field(strings + 32, 8) // 2]


def unescape(text):
    """`text` with its Python escapes read, as the system's string for a
    file name or an argument."""
    return os.fsdecode(codecs.escape_decode(text)[0])


def read_options(case):
    options = []
    path = os.path.join(HERE, "cases", case, "options")
    if os.path.exists(path):
        with open(path, encoding="utf-8") as lines:
            for line in lines:
                words = line.split()
                if words:
                    options.append((words[0], words[1:]))
    return options


class Setup:
    """One case laid out in a fresh folder: the mod, the current folder
    (`work`) and what the case asks of the run."""

    def __init__(self):
        self.work = None
        self.args = ["mod"]
        self.status = 0
        self.tool = TOOL
        self.publisher = PUBLISHER
        self.env = None
        self.mod = None
        self.limit = None
        self.as_nobody = False
        self.held = []
        self.publish_fails = False


class CaseTestCase(programs.ProgramTestCase):
    def own_folder(self, setup):
        """The programs run from a folder of their own, bin/ beside the mod:
        the checker, and modpublish when there is one."""
        folder = os.path.join(setup.work, "bin")
        os.mkdir(folder)
        setup.tool = os.path.join(folder, os.path.basename(TOOL))
        shutil.copy2(TOOL, setup.tool)
        if PUBLISHER:
            setup.publisher = os.path.join(folder, os.path.basename(PUBLISHER))
            shutil.copy2(PUBLISHER, setup.publisher)
        return folder

    def prepare(self, case):
        setup = Setup()
        work = setup.work = self.scratch("modpublish-check-")
        mod = os.path.join(work, "mod")
        shutil.copytree(os.path.join(HERE, "base"), mod)
        for name in os.listdir(os.path.join(HERE, "cases", case)):
            if name not in ("expected.txt", "options"):
                source = os.path.join(HERE, "cases", case, name)
                target = os.path.join(mod, name)
                if os.path.isdir(source):
                    if os.path.isfile(target):
                        os.remove(target)  # a folder in place of a file
                    shutil.copytree(source, target, dirs_exist_ok=True)
                else:
                    shutil.copy(source, os.path.join(mod, name))
        appid = True
        env = setup.env = dict(os.environ)
        env.pop("SteamAppId", None)
        appid_bytes = b"480\n"
        appid_name = "steam_appid.txt"
        unreadable = []
        for name, values in read_options(case):
            if name == "remove":
                target = os.path.join(mod, values[0])
                if os.path.isdir(target):
                    shutil.rmtree(target)
                else:
                    os.remove(target)
            elif name == "args":
                setup.args = [unescape(value) for value in values]
            elif name == "mod-folder":
                folder = unescape(values[0])
                os.rename(mod, os.path.join(work, folder))
                mod = os.path.join(work, folder)
                if setup.args == ["mod"]:
                    setup.args = [folder]
            elif name == "status":
                setup.status = int(values[0])
            elif name == "big-preview":
                picture = png(64, 64)
                with open(os.path.join(mod, "steam_logo.png"), "wb") as out:
                    out.write(png(64, 64, 1048576 - len(picture) - 12))
            elif name == "preview-folder":
                os.remove(os.path.join(mod, "steam_logo.png"))
                os.mkdir(os.path.join(mod, "steam_logo.png"))
            elif name in ("lonely-tool", "library"):
                folder = self.own_folder(setup)
                if name == "library":
                    kind = values[0]
                    if kind == "steam_api.dll" and not windows():
                        self.skipTest("steam_api.dll is the 32-bit library of Windows")
                    file_name = kind if kind == "steam_api.dll" else programs.library_name()
                    target = os.path.join(folder, file_name)
                    if kind == "old-sdk":
                        shutil.copy2(INCOMPLETE_LIBRARY, target)
                    elif kind.startswith("cut-"):
                        with open(target, "wb") as out:
                            out.write(cut_library(os.path.join(os.path.dirname(TOOL), file_name),
                                                  kind))
                    else:
                        with open(target, "wb") as out:
                            out.write(library_file(kind))
            elif name == "no-appid":
                appid = False
            elif name == "appid":
                appid_bytes = codecs.escape_decode(" ".join(values))[0]
            elif name == "appid-name":
                appid_name = values[0]
            elif name == "link":
                os.symlink(values[1], os.path.join(mod, values[0]))
            elif name == "move-out":
                shutil.move(os.path.join(mod, values[0]), os.path.join(work, values[0]))
            elif name == "fifo":
                os.mkfifo(os.path.join(mod, values[0]))
            elif name == "unreadable":
                if windows():
                    self.skipTest("the Wine prefix belongs to root, so Wine runs as root only")
                if not os.path.isfile(os.path.join(mod, values[0])):
                    os.mkdir(os.path.join(mod, values[0]), 0o755)
                unreadable.append(os.path.join(mod, values[0]))
            elif name == "held":
                if not windows():
                    self.skipTest("a file held open without sharing is Windows'")
                setup.held.append(os.path.join(mod, values[0]))
            elif name == "file":
                target = os.path.join(mod, values[0])
                os.makedirs(os.path.dirname(target), exist_ok=True)
                with open(target, "wb") as out:
                    out.write(b"x" * int(values[1]))
            elif name == "publish-fails":
                setup.publish_fails = True
            elif name == "nest":
                deepest = os.path.join(mod, *(["d"] * int(values[0])))
                os.makedirs(deepest)
                with open(os.path.join(deepest, "deep.txt"), "w", encoding="ascii") as out:
                    out.write("deep\n")
            elif name == "linux-only":
                if windows():
                    self.skipTest(" ".join(values))
            elif name == "windows-only":
                if not windows():
                    self.skipTest(" ".join(values))
            elif name == "env":
                key, _, value = values[0].partition("=")
                env[key] = value
            elif name == "long-line-mb":
                with open(os.path.join(mod, "descript.ion"), "a", encoding="ascii") as out:
                    out.write("notes = " + "x" * (int(values[0]) << 20) + "\n")
            elif name == "repeat-line":
                with open(os.path.join(mod, "descript.ion"), "ab") as out:
                    out.write((" ".join(values[1:]) + "\n").encode() * int(values[0]))
            elif name == "memory-limit-mb":
                if windows() or SANITIZED:
                    self.skipTest("address-space limits of a POSIX process")
                setup.limit = int(values[0]) << 20
            else:
                self.fail("unknown option %s in %s" % (name, case))
        setup.mod = mod
        if appid:
            with open(os.path.join(work, appid_name), "wb") as out:
                out.write(appid_bytes)
        if unreadable:
            for entry in unreadable:
                if os.path.isdir(entry):
                    os.chmod(entry, 0)
                    self.addCleanup(os.chmod, entry, 0o755)
                else:
                    os.chmod(entry, 0o600 if os.geteuid() == 0 else 0)
                    self.addCleanup(os.chmod, entry, 0o644)
            if os.geteuid() == 0:
                # Root reads every folder: the programs run as nobody, who
                # must be able to reach the rest. The build folder may lie
                # where nobody can't go, so the programs and the library
                # beside them run from copies.
                os.chmod(work, 0o755)
                if setup.tool == TOOL:
                    folder = self.own_folder(setup)
                    shutil.copy2(os.path.join(os.path.dirname(TOOL), programs.library_name()),
                                 folder)
                setup.as_nobody = True
        for path in setup.held:
            self.hold(path)
        return setup

    def hold(self, path):
        """Keeps `path` open without sharing, in a program of its own, until
        the case ends."""
        if not HOLDER:
            self.skipTest("no --holder program to hold a file open")
        holder = subprocess.Popen(programs.RUNNER + [HOLDER, native_path(path)],
                                  stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                  stderr=subprocess.DEVNULL)

        def release():
            holder.stdin.close()
            holder.wait(timeout=60)
            holder.stdout.close()
        self.addCleanup(release)
        said = holder.stdout.readline().strip()
        self.assertEqual(said, b"held", "the holder could not open %s" % path)

    def run_as_case(self, setup, program, args, env=None):
        """Runs `program` with `args` as the case asks: in its current
        folder, with its environment, limits and user."""
        command = [program] + args
        if setup.as_nobody:
            nobody = pwd.getpwnam("nobody")
            command = ["setpriv", "--reuid=%d" % nobody.pw_uid, "--regid=%d" % nobody.pw_gid,
                       "--clear-groups", "--"] + command

        def limit_memory():
            resource.setrlimit(resource.RLIMIT_AS, (setup.limit, setup.limit))

        return self.run_program(command, cwd=setup.work, env=env or setup.env, timeout=300,
                                preexec_fn=limit_memory if setup.limit else None)


class CheckerGoldenTest(CaseTestCase):
    def run_case(self, case):
        setup = self.prepare(case)
        completed = self.run_as_case(setup, setup.tool, setup.args)
        tool = setup.tool
        library_name = programs.library_name()
        library = native_path(os.path.join(os.path.dirname(tool), library_name))
        program = native_path(tool) if windows() else tool
        expected_path = os.path.join(HERE, "cases", case, "expected.txt")
        actual = completed.stdout
        if windows():
            actual = actual.replace(b"\r\n", b"\n")
            for arg in setup.args:  # the separators composed after the folder
                actual = re.sub(re.escape(os.fsencode(arg)) + rb'(\\[^\\\s"]+)+',
                                lambda found: found.group(0).replace(b"\\", b"/"), actual)
        actual = actual.replace(library.encode(), b"{library}").replace(program.encode(),
                                                                         b"{program}")
        actual = actual.replace(library_name.encode(), b"{library_name}")
        sdk_folder = b"redistributable_bin/" + (b"win64" if windows() else b"linux64")
        actual = actual.replace(sdk_folder, b"redistributable_bin/{sdk_folder}")
        if UPDATE:
            with open(expected_path, "wb") as out:
                out.write(actual)
        with open(expected_path, "rb") as golden:
            expected = golden.read()
        # Compared after the platform's line ends and separators are undone,
        # so one golden file serves both; the raw output must use them.
        if windows():
            self.assertNotIn(b"\n", completed.stdout.replace(b"\r\n", b""),
                             "a Windows line end is \\r\\n")
        self.assertEqual(actual.decode("latin-1"), expected.decode("latin-1"))
        self.assertEqual(completed.returncode, setup.status, "exit status")


class PublishAgreementTest(CaseTestCase):
    """The checker against a real publish: modpublish, run on the same case
    (same mod, current folder, environment and limits) against the
    simulated library with a Workshop of its own, must succeed whenever the
    checker found no error; so a failed publish always had an error
    reported first."""

    def run_case(self, case):
        setup = self.prepare(case)
        if setup.status == 2:
            self.skipTest("the checker's usage text: no publish")
        checked = self.run_as_case(setup, setup.tool, setup.args)
        last = checked.stdout.replace(b"\r\n", b"\n").decode("latin-1").splitlines()[-1]
        errors = int(last.split()[0])

        args = list(setup.args)
        if args[:1] == ["--page"]:
            del args[:2]  # the checker's own option
        workshop = os.path.join(setup.work, "workshop")
        for i, arg in enumerate(args[:-1]):
            # The item of -u exists, as an earlier publish would have left it.
            if arg == "-u" and args[i + 1].strip().isdigit() and int(args[i + 1]) > 0:
                item = os.path.join(workshop, "items", str(int(args[i + 1])), "r1")
                os.makedirs(item)
                with open(os.path.join(item, "item.txt"), "w", encoding="ascii") as out:
                    out.write("id %d\napp 480\ntype 0\nvisibility 2\n" % int(args[i + 1]))
        os.makedirs(workshop, exist_ok=True)
        for folder, _, _ in os.walk(workshop):
            os.chmod(folder, 0o777)  # nobody's too, where the case runs as nobody
        env = dict(setup.env)
        for name in ("STEAMSIM_SCENARIO", "STEAMSIM_JOURNAL"):
            env.pop(name, None)
        env["STEAMSIM_WORKSHOP"] = native_path(workshop)
        published = self.run_as_case(setup, setup.publisher, args, env)
        # Whatever the case holds, a publish ends by itself, never by a signal.
        self.assertGreaterEqual(published.returncode, 0, "modpublish was killed by a signal")
        output = published.stdout.replace(b"\r\n", b"\n").decode("latin-1")
        succeeded = published.returncode == 0 and output.endswith("Uploading done successfully\n")
        if setup.publish_fails:
            self.assertGreater(errors, 0, "the checker found no error:\n%s"
                               % checked.stdout.decode("latin-1"))
            self.assertFalse(succeeded, "the publish succeeded:\n%s" % output[-3000:])
        if errors == 0:
            self.assertTrue(succeeded,
                            "the checker found no error, but the publish failed:\n%s\n"
                            "The checker said:\n%s" % (output[-3000:],
                                                       checked.stdout.decode("latin-1")))
            self.assertUploadedAsAnnounced(setup, checked.stdout, workshop, output)

    def assertUploadedAsAnnounced(self, setup, summary, workshop, output):
        """The Workshop holds, for every section the checker's summary lists
        to upload, the title and description it announced: the title as
        shown (excerpt), the description's size and lines, and the bytes of
        a description file as Steam gets them; and no other language."""
        item = int(output.rsplit("?id=", 1)[1].split()[0])
        stored = harness.item_texts(workshop, item)
        announced = set()
        lines = summary.replace(b"\r\n", b"\n").split(b"\n")
        start = lines.index(b"Sections to upload, in this order:") + 1 if (
            b"Sections to upload, in this order:" in lines) else len(lines)
        for line in lines[start:]:
            if not line.startswith(b"    "):
                break
            match = SUMMARY_SECTION.match(line.decode("utf-8", "surrogateescape"))
            self.assertTrue(match, "an uploaded section the test can't read: %r" % line)
            language = match.group("language")
            announced.add(language)
            title = stored[("title", language)]
            if match.group("fallback_title") is not None:
                self.assertEqual(title, match.group("fallback_title").encode())
            else:
                self.assertEqual(excerpt(title, 50), match.group("title"))
            description = stored[("description", language)]
            if match.group("fallback_description") is not None:
                self.assertEqual(description, match.group("fallback_description").encode())
                continue
            self.assertEqual(len(description), int(match.group("bytes")), language)
            if match.group("file") is not None:
                self.assertEqual(description.count(b"\n") + 1 if description else 0,
                                 int(match.group("lines")), language)
                named = match.group("file").replace("\\", "/")
                with open(os.path.join(setup.mod, named), "rb") as source:
                    sent = source.read()
                if sent.startswith(b"\xef\xbb\xbf"):
                    sent = sent[3:]
                sent = sent.replace(b"\r\n", b"\n").rstrip(b"\n").split(b"\0")[0]
                self.assertEqual(description, sent, language)
        self.assertEqual(announced, {language for _, language in stored},
                         "the languages on the Workshop are not those the summary lists")


# A section of the summary's list of those to upload.
SUMMARY_SECTION = re.compile(
    r'^    \S+ \((?P<language>\w+)\): '
    r'(?:title "(?P<title>.*)"|no title \("(?P<fallback_title>.*)" is uploaded\)), '
    r'(?:description (?P<bytes>\d+) bytes?(?:, (?P<lines>\d+) lines?, from (?P<file>.*))?'
    r'|no description \("(?P<fallback_description>.*)" is uploaded\))$')


def excerpt(text, limit):
    """A text as the checker shows it cut short (console/console.h's
    Excerpt): control bytes as \\xNN, cut after about `limit` bytes at the
    start of a UTF-8 character, with "..." added."""
    def printable(data):
        return "".join("\\x%02X" % byte if byte < 0x20 or byte == 0x7F else chr(byte)
                       for byte in data).encode("latin-1").decode("utf-8", "surrogateescape")
    if len(text) <= limit:
        return printable(text)
    end = limit
    while end > 0 and text[end] & 0xC0 == 0x80 and limit - end < 3:
        end -= 1
    return printable(text[:end]) + "..."


def add_cases(test_class, share, shares):
    for i, case in enumerate(sorted(os.listdir(os.path.join(HERE, "cases")))):
        if (CASES and case not in CASES) or i % shares != share - 1:
            continue
        setattr(test_class, "test_" + case, lambda self, case=case: self.run_case(case))


def main():
    global TOOL, PUBLISHER, HOLDER, INCOMPLETE_LIBRARY, SANITIZED, UPDATE
    global CASES
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--tool", required=True)
    parser.add_argument("--incomplete-library",
                        help="a client library lacking exports, built from tests/fixtures "
                             "(default: fixtures/incomplete_steam_api.* beside the tool's folder)")
    programs.add_arguments(parser)
    parser.add_argument("--holder",
                        help="a Windows program that holds the file it is given open without "
                             "sharing until its standard input ends (tests/fixtures)")
    parser.add_argument("--sanitized", action="store_true",
                        help="the checker is built with AddressSanitizer")
    parser.add_argument("--update", action="store_true")
    parser.add_argument("--agreement", metavar="MODPUBLISH",
                        help="instead of the golden outputs, check that modpublish (this path, "
                             "beside the simulated library) publishes every case in which the "
                             "checker finds no error")
    parser.add_argument("--share", default="1/1", metavar="K/N",
                        help="only the K-th of N shares of the cases (every N-th, from the K-th), "
                             "so that N runs can go side by side")
    parser.add_argument("cases", nargs="*")
    options = parser.parse_args()
    share, shares = (int(part) for part in options.share.split("/"))
    TOOL = os.path.abspath(options.tool)
    programs.configure(options, TOOL)
    INCOMPLETE_LIBRARY = os.path.abspath(options.incomplete_library or os.path.join(
        programs.build_folder(TOOL), "fixtures",
        "incomplete_steam_api" + (".dll" if windows() else ".so")))
    HOLDER = options.holder and os.path.abspath(options.holder)
    SANITIZED = options.sanitized
    UPDATE = options.update
    CASES = options.cases
    PUBLISHER = options.agreement and os.path.abspath(options.agreement)
    test_class = PublishAgreementTest if PUBLISHER else CheckerGoldenTest
    add_cases(test_class, share, shares)
    suite = unittest.TestLoader().loadTestsFromTestCase(test_class)
    if suite.countTestCases() == 0:
        print("no cases matched %s" % CASES)
        return 1
    return programs.run_tests(suite)


if __name__ == "__main__":
    sys.exit(main())
