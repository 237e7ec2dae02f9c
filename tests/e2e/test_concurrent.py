"""Two runs updating one item at the same moment, as two users (or two
terminals) sharing one Workshop would: whatever a run reports as done must
have reached the item."""

import subprocess
import time

import harness
from harness import ToolTestCase

SUCCESS = b"<result success>"


class ConcurrentUpdateTest(ToolTestCase):

    def start(self, folder, journal):
        """Starts `modpublish -u 917 <folder>` with its own journal."""
        journal = harness.native_path(self.path(journal))
        environment = self.environment({"STEAMSIM_JOURNAL": journal})
        return subprocess.Popen(harness.RUNNER + [self.tool, "-u", "917", folder], cwd=self.dir,
                                env=environment, stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE)

    def journal(self, name):
        try:
            with open(self.path(name), "rb") as journal:
                return journal.read().decode("latin-1").splitlines()
        except FileNotFoundError:
            return []

    def test_every_update_reported_as_done_is_in_the_history(self):
        self.seed_item(917)
        self.scenario(["app_id 250"])
        self.make_mod("[en]\ntitle=slow\n", folder="slow")
        self.make_mod("[en]\ntitle=fast\n", folder="fast")
        # A content folder big enough that copying it takes a while; sparse,
        # so writing it costs nothing here.
        with open(self.path("slow", "data", "big.bin"), "wb") as big:
            big.truncate(400 * 1024 * 1024)

        slow = self.start("slow", "slow.txt")
        try:
            # Start the other run once the slow one is delivering its content
            # update, so the two overlap: a pump after the submission.
            deadline = time.monotonic() + harness.RUN_TIMEOUT
            while time.monotonic() < deadline and slow.poll() is None:
                lines = self.journal("slow.txt")
                submitted = [i for i, line in enumerate(lines)
                             if line.startswith("SubmitItemUpdate")]
                if submitted and "RunCallbacks" in lines[submitted[0]:]:
                    break
                time.sleep(0.005)
            fast = self.start("fast", "fast.txt")
            fast_out, fast_err = fast.communicate(timeout=harness.RUN_TIMEOUT)
        finally:
            slow_out, slow_err = slow.communicate(timeout=harness.RUN_TIMEOUT)

        self.assertEqual((slow_err, fast_err), (b"", b""))
        item = harness.live_item(self.workshop, 917)
        changes = [line for line in item if line.startswith("change ")]
        report = "slow run:\n%s\nfast run:\n%s\nitem:\n%s" % (
            slow_out.decode("latin-1"), fast_out.decode("latin-1"), "\n".join(item))
        # Each submission a run reports as a success adds its change note.
        self.assertEqual(len(changes), slow_out.count(SUCCESS) + fast_out.count(SUCCESS), report)
        # Updates of one item wait for each other, so both runs get through.
        for out in (slow_out, fast_out):
            self.assertTrue(out.endswith(harness.text("Uploading done successfully\n")), report)
