"""modpublish in a real terminal: tmux runs it against the simulated library
with a slow upload, and its screen is read while the content goes up and
after the run.

The content submission shows its progress live after the call handle; once
the result is in, the screen holds just what a pipe gets. The count of the
wait's dots depends on how long each wait took, so it is the one thing the
screen and the pipe may differ in."""

import os
import re
import shlex
import shutil
import subprocess
import time

import harness

# The content's upload takes about this long at the rate the tests set.
UPLOAD_SECONDS = 3
CONTENT_BYTES = 3_000_000
# A console's usual width: the step line and the progress wrap onto a
# second row.
COLUMNS = 80
ROWS = 100  # room for the whole run, so nothing scrolls away
DONE = "__modpublish_done__"
PROGRESS = re.compile(r"<3ea> uploading content: (\d+\.\d) MB of (\d+\.\d) MB \((\d+)%\)")
WAIT_DOTS = re.compile(r"(<[0-9a-f]+>)\.*(<result)")


class TerminalTest(harness.ToolTestCase):

    def setUp(self):
        super().setUp()
        if harness.windows() or harness.memcheck():
            self.skipTest("tmux runs the Linux tool only, and not under the memory checker")
        if shutil.which("tmux") is None:
            self.skipTest("tmux is not installed (scripts/install-deps.sh installs it)")
        self.scenario(["app_id 250"])
        self.make_mod("[en]\ntitle = Big\ndescription = Lots of data\n")
        self.write(os.path.join("mod", "data", "big.bin"), os.urandom(CONTENT_BYTES))
        content = sum(os.path.getsize(os.path.join(folder, name))
                      for folder, _, names in os.walk(self.path("mod")) for name in names)
        self.rate = str(content // UPLOAD_SECONDS)
        self.socket = self.path("tmux.sock")

    def tmux(self, *args):
        completed = subprocess.run(["tmux", "-S", self.socket] + list(args), capture_output=True,
                                   stdin=subprocess.DEVNULL, check=False, timeout=30)
        self.assertEqual(completed.returncode, 0, "tmux %s: %s" % (args[0], completed.stderr))
        return completed.stdout.decode("utf-8", "replace")

    def screen(self):
        """The pane's lines, wrapped rows joined, blanks at their ends cut."""
        return [line.rstrip(" ") for line in self.tmux("capture-pane", "-p", "-J").split("\n")]

    def run_in_terminal(self, *args):
        """Types the command into a shell in a fresh tmux pane and reads the
        pane until the run ends. Returns the screens read on the way and the
        lines the run left on the screen."""
        self.fresh()
        environment = self.environment({"STEAMSIM_UPLOAD_RATE": self.rate})
        subprocess.run(["tmux", "-S", self.socket, "-f", os.devnull, "new-session", "-d",
                        "-x", str(COLUMNS), "-y", str(ROWS), "-c", self.dir, "sh"],
                       env=environment, stdin=subprocess.DEVNULL, check=True, timeout=30)
        self.addCleanup(subprocess.run, ["tmux", "-S", self.socket, "kill-server"],
                        capture_output=True, check=False)
        command = " ".join(shlex.quote(arg) for arg in [self.tool] + list(args)) + "; echo " + DONE
        deadline = time.monotonic() + harness.RUN_TIMEOUT
        # Keys typed before the shell's prompt would be echoed above it.
        while not any(self.screen()):
            self.assertLess(time.monotonic(), deadline, "the shell shows no prompt")
            time.sleep(0.1)
        self.tmux("send-keys", "-l", command)
        self.tmux("send-keys", "Enter")
        screens = []
        while True:
            lines = self.screen()
            screens.append(lines)
            if DONE in lines:
                break
            self.assertLess(time.monotonic(), deadline, "the run did not end:\n" + "\n".join(lines))
            time.sleep(0.2)
        typed = next(i for i, line in enumerate(lines) if line.endswith(command))
        return screens, lines[typed + 1:lines.index(DONE)]

    def pipe_run(self, *args):
        self.fresh()
        run = self.run_tool(*args, env={"STEAMSIM_UPLOAD_RATE": self.rate})
        self.assertEqual(run.status, 0)
        return run.stdout.decode("utf-8").split("\n")[:-1]

    def test_progress_grows_live_then_leaves_the_pipe_output(self):
        screens, left = self.run_in_terminal("mod")
        readings = []
        for lines in screens:
            for line in lines:
                found = PROGRESS.search(line)
                if found:
                    readings.append((float(found.group(1)), int(found.group(3))))
        grown = [reading for earlier, reading in zip(readings, readings[1:])
                 if reading[0] > earlier[0] and reading[1] > earlier[1]]
        self.assertGreaterEqual(len(grown), 2, "bytes and percentage grew in fewer than two "
                                "readings: %s" % readings)
        self.assertTrue(any(re.search(r"\(\d+%\), \d+\.\d [KM]B/s", line)
                            for lines in screens for line in lines),
                        "no rate shown in any reading")

        piped = self.pipe_run("mod")
        content_line = next(line for line in left if "<3ea>" in line)
        self.assertRegex(content_line, r"<3ea>\.+<result success>OK$",
                         "the dots held back during the upload are missing")
        self.assertEqual([WAIT_DOTS.sub(r"\1...\2", line) for line in left],
                         [WAIT_DOTS.sub(r"\1...\2", line) for line in piped])

    def test_silent_run_shows_no_progress(self):
        screens, left = self.run_in_terminal("-s", "mod")
        self.assertFalse([line for lines in screens for line in lines
                          if re.search(r"<3ea> (uploading|committing|preparing)", line)])
        self.assertEqual(left, self.pipe_run("-s", "mod"))
