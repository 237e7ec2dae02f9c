"""A failure injected at every step of a run: the step's line ends in FAIL,
the failing step is named, the run stops there and nothing more reaches
Steam, and the exit status is 1."""

from harness import ToolTestCase, text

BASE_SCENARIO = [
    "app_id 250",
    "item_ids 917",
    "update_handles 5 6 7",
    "call_handles 0x10 0x11 0x12 0x13",
]

# The operations the tool asks of Steam, as the journal names them; any
# other slot (deleting the item left behind, say) is journaled Unexpected.
OPERATIONS = ("SteamAPI_Init", "FindOrCreateUserInterface", "GetAppID", "CreateItem",
              "StartItemUpdate", "SetItem", "SubmitItemUpdate", "Unexpected")

FILEID = "Starting uploading fileid 917\n"
FOLDER_DONE = "Done uploading mod folder\n"
EN_DONE = "Done uploading description in lang: en\n"

# step name, scenario directive, what the step line shows before FAIL, the
# lines printed in every mode before the failure, the last operation sent.
CASES = [
    ("Initializing SteamAPI", "fail SteamAPI_Init", "", "", "SteamAPI_Init"),
    ("Constructing SteamUtils", "null_interface SteamUtils010", "", "",
     'FindOrCreateUserInterface user=0 version="SteamUtils010"'),
    ("Getting AppID with SteamUtils", "fail GetAppID", "<0>", "", "GetAppID"),
    ("Constructing SteamUGC", "null_interface STEAMUGC_INTERFACE_VERSION020", "", "",
     'FindOrCreateUserInterface user=1 version="STEAMUGC_INTERFACE_VERSION020"'),
    ("Creating item with SteamUGC", "fail CreateItem", "<0>", "", "CreateItem"),
    ("Creating item with SteamUGC", "result 1 2", "<10><result generic failure, id is 917>", "",
     "CreateItem"),
    ("Creating item with SteamUGC", "legal 1",
     "<10><Workshop Legal agreement need to be accepted>", "", "CreateItem"),
    ("Creating item with SteamUGC", "io_failure 1", "<10><failed to get async call result>", "",
     "CreateItem"),
    ("Starting item update with SteamUGC", "fail StartItemUpdate 1", "<-1>", FILEID,
     "StartItemUpdate"),
    ("Setting item visibility with SteamUGC", "fail SetItemVisibility", "", FILEID,
     "SetItemVisibility"),
    ("Setting item content with SteamUGC", "fail SetItemContent", "", FILEID, "SetItemContent"),
    ("Submiting item update with SteamUGC", "fail SubmitItemUpdate 1", "<0>", FILEID,
     "SubmitItemUpdate"),
    ("Submiting item update with SteamUGC", "result 2 9", "<11><result file was not found>",
     FILEID, "SubmitItemUpdate"),
    ("Starting item update with SteamUGC", "fail StartItemUpdate 2", "<-1>",
     FILEID + FOLDER_DONE, "StartItemUpdate"),
    ("Setting update language with SteamUGC", "fail SetItemUpdateLanguage", "",
     FILEID + FOLDER_DONE, "SetItemUpdateLanguage"),
    ("Setting item title with SteamUGC", "fail SetItemTitle", "", FILEID + FOLDER_DONE,
     "SetItemTitle"),
    ("Setting item description with SteamUGC", "fail SetItemDescription", "",
     FILEID + FOLDER_DONE, "SetItemDescription"),
    # A refused submission after a successful one must not pass on its
    # predecessor's verdict.
    ("Submiting item update with SteamUGC", "fail SubmitItemUpdate 2", "<0>",
     FILEID + FOLDER_DONE, "SubmitItemUpdate"),
    ("Submiting item update with SteamUGC", "legal 3",
     "<12><Workshop Legal agreement need to be accepted>", FILEID + FOLDER_DONE,
     "SubmitItemUpdate"),
    ("Starting item update with SteamUGC", "fail StartItemUpdate 3", "<-1>",
     FILEID + FOLDER_DONE + EN_DONE, "StartItemUpdate"),
    ("Setting item preview with SteamUGC", "fail SetItemPreview", "",
     FILEID + FOLDER_DONE + EN_DONE, "SetItemPreview"),
    ("Submiting item update with SteamUGC", "fail SubmitItemUpdate 3", "<0>",
     FILEID + FOLDER_DONE + EN_DONE, "SubmitItemUpdate"),
    ("Submiting item update with SteamUGC", "io_failure 4",
     "<13><failed to get async call result>", FILEID + FOLDER_DONE + EN_DONE,
     "SubmitItemUpdate"),
]


class StepFailureTest(ToolTestCase):

    def setUp(self):
        super().setUp()
        self.make_mod("[en]\ntitle=T\ndescription=D\n")

    def test_every_step_in_verbose_and_silent_mode(self):
        for step, directive, shown, printed, last in CASES:
            for args in (["mod"], ["-s", "mod"]):
                with self.subTest(step=step, directive=directive, args=args):
                    self.fresh()
                    self.scenario(BASE_SCENARIO + [directive])
                    run = self.run_tool(*args)
                    if "-s" in args:
                        self.assertOutput(run, printed + "Fail during %s step.\n" % step
                                          + "Error occured! Run command again without -s key "
                                            "for verbose output.\n", status=1)
                    else:
                        tail = "] %s...%sFAIL\n\nFail during %s step.\n" % (step, shown, step)
                        self.assertTrue(run.stdout.endswith(text(tail)), "output ends in:\n%s"
                                        % run.stdout.decode("latin-1")[-300:])
                        self.assertNotIn(b"Error occured!", run.stdout)
                        self.assertNotIn(b"Uploading done", run.stdout)
                        self.assertEqual(run.status, 1)
                    sent = [line for line in run.journal if line.startswith(OPERATIONS)]
                    self.assertTrue(sent[-1].startswith(last),
                                    "sent after the failure: %s" % sent[-3:])
