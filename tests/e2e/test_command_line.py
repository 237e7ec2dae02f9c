"""The command line as a user types it: usage text, options, path
candidates and the missing description file."""

import os

import harness
from harness import ToolTestCase, sep

USAGE_TAIL = (
    "    -s - silent mode, only error is printed\n"
    "    -k - keep the visibility of an existing mod, instead of making it private\n"
    "    -c - change note of this upload, instead of \"initial commit\" or \"update\"\n"
    "    -u - update existing mod, instead of uploading a new one\n"
    "    <path> is a directory that contains:\n"
    "        * descript.ion - ini-style description of mod, used both by game and this tool\n"
    "        * steam_logo.png - square PNG image of size <1Mb\n"
    "        * ... and your mod data, of course :3\n")


def usage(program):
    return ("modpublish 1.0.0 - publishes a game mod to the Steam Workshop\n"
            "Made by the modpublish developers\n"
            "\n"
            "Usage: %s [-s] [-k] [-c <note>] [-u <steamfileid>] <path>\n" % program) + USAGE_TAIL


def not_found(folder):
    return "File not found: %s%sdescript.ion\n" % (folder, sep())


class UsageTest(ToolTestCase):

    def program(self):
        # The name the tool was started by, as the runtime hands it over.
        if harness.windows():
            return harness.native_path(self.tool)
        return self.tool

    def test_no_arguments_or_help_print_the_usage_and_stop(self):
        # Which arguments ask for the usage is the parser's (unit tests);
        # this is the text a process prints, with its name and status, and
        # nothing after -h is acted upon.
        self.make_mod("[en]\ntitle=x\n")
        for args in ([], ["-h", "mod"]):
            with self.subTest(args=args):
                run = self.run_tool(*args)
                self.assertOutput(run, usage(self.program()))
                self.assertEqual(run.journal, [], "nothing reached Steam")


class PathCandidateTest(ToolTestCase):
    """Which argument becomes the mod folder, seen through the path the
    reader fails to open (no such folder exists in the test folder)."""

    def test_the_path_becomes_the_message(self):
        # Which argument is the path is the parser's (unit tests); these are
        # how the chosen path reaches the message in a process.
        cases = [
            (["nomod" + sep()], "nomod" + sep()),  # the separator is not folded
            ([""], ""),
        ]
        for args, folder in cases:
            with self.subTest(args=args):
                run = self.run_tool(*args)
                self.assertOutput(run, not_found(folder), status=1)
                self.assertEqual(run.calls(), [], "nothing reached Steam")

    def test_a_removed_current_folder_is_reported_before_steam(self):
        if harness.windows():
            self.skipTest("Windows can't remove a process's current folder")
        if harness.memcheck():
            self.skipTest("valgrind starts the tool through a shell, which complains on standard "
                          "error about the removed folder")
        self.make_mod("[en]\ntitle=x\n")
        self.seed_item(917)
        self.scenario(["app_id 250"])

        def enter_a_removed_folder():
            os.mkdir(self.path("gone"))
            os.chdir(self.path("gone"))
            os.rmdir(self.path("gone"))

        run = self.run_tool("-u", "917", "mod", preexec_fn=enter_a_removed_folder)
        self.assertOutput(run, "The current folder can't be determined, so the mod folder's "
                               "path can't be made absolute for Steam. Run modpublish from an "
                               "existing folder, or give the full path\n", status=1)
        self.assertEqual(run.journal, [], "nothing reached Steam")
        # A full path needs no current folder.
        run = self.run_tool("-s", "-u", "917", self.path("mod"), preexec_fn=enter_a_removed_folder)
        self.assertTrue(run.stdout.endswith(b"Uploading done successfully\n"), run.stdout)


class ItemIdTest(ToolTestCase):
    """The value after -u is an item id, or nothing happens at all."""

    def test_a_value_that_is_no_id_stops_before_anything_is_read(self):
        # Which values are ids is ParseItemId's (unit tests); these are the
        # line and the status a process gives, in verbose mode, where reading
        # the description would echo it.
        self.make_mod("[en]\ntitle=x\n")
        for value, shown in (("123x", "123x"), ("-h", "-h"), ("\x1b[2J9", "\\x1B[2J9")):
            with self.subTest(value=value):
                run = self.run_tool("-u", value, "mod")
                self.assertOutput(run, '"%s" is not an item id: give -u the item\'s number (such '
                                       'as 917) or its page address (https://steamcommunity.com/'
                                       'sharedfiles/filedetails/?id=917)\n' % shown, status=2)
                self.assertEqual(run.journal, [], "the client library was not even loaded")
