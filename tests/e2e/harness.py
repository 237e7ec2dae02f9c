"""Runs the built modpublish as a process and captures what it does.

Each test gets a fresh folder that serves as the working folder of the run,
with its own simulated Workshop, scenario and journal. The simulated client
library is the one beside the tool in the build tree, found there by the
tool itself.

Settings come from run.py: the tool's path and what the shared module
`programs` (tests/support) holds, the platform and the command that runs
the tool, if any: Wine for Windows, or Valgrind's memory checker, under
which every run must also end without a memory error or a definite or
indirect leak.
"""

import os
import shutil
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import programs  # noqa: E402
from programs import RUNNER, library_name, native_path, text, windows  # noqa: E402,F401

TOOL = None  # path of the built modpublish executable
SIMULATOR = None  # path of the simulated client library beside the tool
FIXTURE = None  # path of a client library that lacks most exports
CONSOLE_PROBE = None  # Windows: a client library that records the console's code page
SANITIZED = False  # the tool is built with AddressSanitizer
THROWING_NEW = None  # library preloaded into the sanitized tool: see its source
RUN_TIMEOUT = programs.TIMEOUT


def slow(test):
    """Marks a test that takes far longer than the others (inputs of
    hundreds of megabytes): run.py leaves it out of `--tests quick`."""
    test.slow = True
    return test


def memcheck():
    """Whether the runner is Valgrind (its memory checker, the default tool)."""
    return bool(RUNNER) and os.path.basename(RUNNER[0]) == "valgrind"


def sep():
    """The separator the tool puts between the mod folder and a file name."""
    return "\\" if windows() else "/"


def journal_string(data):
    """`data` (bytes, or str as UTF-8) written the way the simulator's journal
    writes strings."""
    if isinstance(data, str):
        data = data.encode("utf-8")
    out = []
    for byte in data:
        if byte in b'"\\':
            out.append("\\" + chr(byte))
        elif 0x20 <= byte <= 0x7E:
            out.append(chr(byte))
        else:
            out.append("\\x%02x" % byte)
    return '"%s"' % "".join(out)


def journal_unquote(field):
    """The bytes of a string as the simulator's journal and item files write
    it (journal_string's inverse); `field` includes the quotes."""
    assert field.startswith('"') and field.endswith('"'), field
    out = bytearray()
    body = field[1:-1]
    i = 0
    while i < len(body):
        if body[i] == "\\" and body[i + 1] == "x":
            out.append(int(body[i + 2:i + 4], 16))
            i += 4
        elif body[i] == "\\":
            out.append(ord(body[i + 1]))
            i += 2
        else:
            out.append(ord(body[i]))
            i += 1
    return bytes(out)


def live_item(workshop, item):
    """The item.txt lines of the live revision of `item` in the simulated
    Workshop in the folder `workshop`, or None when there is no such item."""
    folder = os.path.join(workshop, "items", str(item))
    if not os.path.isdir(folder):
        return None
    live = max((name for name in os.listdir(folder) if name.startswith("r")),
               key=lambda name: int(name[1:]))
    with open(os.path.join(folder, live, "item.txt"), "rb") as item_file:
        return item_file.read().decode("latin-1").splitlines()


def item_texts(workshop, item):
    """The titles and descriptions of `item` in the simulated Workshop in
    the folder `workshop`: {("title", "english"): b"...", ...}."""
    texts = {}
    for line in live_item(workshop, item):
        field, _, rest = line.partition(" ")
        if field in ("title", "description"):
            language, _, value = rest.partition(" ")
            texts[(field, journal_unquote(language).decode())] = journal_unquote(value)
    return texts


class Run:
    """The outcome of one run of the tool."""

    def __init__(self, completed, journal_path):
        self.stdout = completed.stdout
        self.stderr = completed.stderr
        self.status = completed.returncode
        self.journal = []
        if os.path.exists(journal_path):
            with open(journal_path, "rb") as journal:
                self.journal = journal.read().decode("latin-1").splitlines()

    def calls(self, prefix=""):
        """Journal lines of the tool's calls, without the callback pumps."""
        return [line for line in self.journal
                if line.startswith(prefix) and line != "RunCallbacks"]


class ToolTestCase(programs.ProgramTestCase):
    """A test with its own working folder, Workshop, scenario and journal."""

    def setUp(self):
        self.dir = self.scratch("modpublish-e2e-")
        self.workshop = os.path.join(self.dir, "workshop")
        self.journal_path = os.path.join(self.dir, "journal.txt")
        self.scenario_path = os.path.join(self.dir, "scenario.txt")
        self.tool = TOOL

    def path(self, *parts):
        return os.path.join(self.dir, *parts)

    def steam_path(self, *parts):
        """A path below the test folder as the tool hands it to Steam: made
        absolute from the current folder as the system reports it (links
        resolved), in the platform's form, a trailing separator kept."""
        path = os.path.join(os.path.realpath(self.dir), *parts)
        trailing = path.endswith(("/", sep()))
        path = native_path(path.rstrip("/" + sep()))
        return path + sep() if trailing else path

    def write(self, relative, data):
        """Writes bytes (or UTF-8 text) to a file below the test folder."""
        full = self.path(relative)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "wb") as out:
            out.write(data.encode("utf-8") if isinstance(data, str) else data)
        return full

    def make_mod(self, description, folder="mod", preview=b"\x89PNG\r\n\x1a\n"):
        """A mod folder with the given descript.ion text, a preview and a
        data file."""
        self.write(os.path.join(folder, "descript.ion"), description)
        if preview is not None:
            self.write(os.path.join(folder, "steam_logo.png"), preview)
        self.write(os.path.join(folder, "data", "mod.txt"), "mod data\n")

    def fresh(self):
        """Forgets the Workshop of earlier runs."""
        shutil.rmtree(self.workshop, ignore_errors=True)

    def seed_item(self, item, app=250, visibility=2):
        """Puts an item of `app` into the simulated Workshop, as an earlier
        run would have left it."""
        self.write(os.path.join("workshop", "items", str(item), "r1", "item.txt"),
                   "id %d\napp %d\ntype 0\nvisibility %d\n" % (item, app, visibility))

    def scenario(self, lines):
        self.write("scenario.txt", "\n".join(lines) + "\n")

    def environment(self, env=None):
        """The environment of a run: this test's Workshop, journal and
        scenario, no SteamAppId and no upload rate, then `env`."""
        environment = dict(os.environ)
        for name in ("STEAMSIM_SCENARIO", "STEAMSIM_JOURNAL", "STEAMSIM_WORKSHOP",
                     "STEAMSIM_UPLOAD_RATE", "SteamAppId"):
            environment.pop(name, None)
        environment["STEAMSIM_WORKSHOP"] = native_path(self.workshop)
        environment["STEAMSIM_JOURNAL"] = native_path(self.journal_path)
        if os.path.exists(self.scenario_path):
            environment["STEAMSIM_SCENARIO"] = native_path(self.scenario_path)
        environment.update(env or {})
        return environment

    def run_tool(self, *args, env=None, tool=None, check_stderr=True, timeout=RUN_TIMEOUT,
                 preexec_fn=None, cwd=None):
        """Runs the tool in the test folder (or its subfolder `cwd`) with
        `args` and returns a Run. Nothing may ever reach standard error.
        `preexec_fn` runs in the child before the tool starts (to set a
        resource limit, say)."""
        environment = self.environment(env)
        if os.path.exists(self.journal_path):
            os.remove(self.journal_path)  # each Run shows its own calls only
        command = [tool or self.tool] + list(args)
        log_path = os.path.join(self.dir, "memcheck.log")
        if memcheck():
            # Leaks of these kinds count as errors; the report goes to a file
            # so that the tool's own streams stay as they are.
            command[:0] = ["--leak-check=full", "--errors-for-leak-kinds=definite,indirect",
                           "--log-file=" + log_path]
            if os.path.exists(log_path):
                os.remove(log_path)
        completed = self.run_program(command, check_stderr, cwd=self.path(cwd or ""),
                                     env=environment, timeout=timeout, preexec_fn=preexec_fn)
        if memcheck():
            self.assertMemcheckClean(log_path)
        return Run(completed, self.journal_path)

    def assertMemcheckClean(self, log_path):
        """The memory checker's report of the last run: no error, no
        definite or indirect leak (a missing report fails too)."""
        report = ""
        if os.path.exists(log_path):
            with open(log_path, "rb") as log:
                report = log.read().decode("latin-1")
        self.assertTrue("ERROR SUMMARY: 0 errors" in report,
                        "memcheck found problems:\n%s" % report)

    def assertOutput(self, run, expected, status=0):
        """Standard output byte for byte, and the exit status."""
        self.assertEqual(run.stdout.decode("latin-1"), text(expected).decode("latin-1"))
        self.assertEqual(run.status, status)
