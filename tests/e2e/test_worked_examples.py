"""Whole runs against a simulated Steam scripted to known ids, handles and
delays, compared byte for byte with their complete standard output."""

from harness import ToolTestCase, journal_string, live_item, sep

PAGE = "https://steamcommunity.com/sharedfiles/filedetails/?id="

TWO_LANGUAGES = ("[en]\r\ntitle = My mod\r\ndescription = It does things\r\n"
                 "[ru]\r\ntitle = Мой мод\r\ndescription = Он делает вещи\r\n")

TWO_LANGUAGES_ECHO = ("Parsing [en]\n"
                      "[en] title = My mod\n"
                      "[en] description = It does things\n"
                      "Parsing [ru]\n"
                      "[ru] title = Мой мод\n"
                      "[ru] description = Он делает вещи\n")

NEW_ITEM_SCENARIO = [
    "app_id 250",
    "item_ids 917",
    "update_handles 11 12 13 14",
    "call_handles 0x1a2b 0x1a2c 0x1a2d 0x1a2e 0x1a2f",
    "pumps 3 5 2 1 4",
]

NEW_ITEM_RUN = """\
Starting initing tool
[#                ] Initializing SteamAPI...OK
[##               ] Constructing SteamUtils...OK
[###              ] Getting AppID with SteamUtils...<250>OK
[####             ] Constructing SteamUGC...OK
[#####            ] Creating item with SteamUGC...<1a2b>..<result success, id is 917>OK
Starting uploading fileid 917
Starting uploading mod folder
[######           ] Starting item update with SteamUGC...<11>OK
[#######          ] Setting item visibility with SteamUGC...OK
[########         ] Setting item content with SteamUGC...OK
[#########        ] Submiting item update with SteamUGC...<1a2c>....<result success>OK
Done uploading mod folder
Starting uploading description in lang: en
[##########       ] Starting item update with SteamUGC...<12>OK
[###########      ] Setting update language with SteamUGC...OK
[############     ] Setting item title with SteamUGC...OK
[#############    ] Setting item description with SteamUGC...OK
[##############   ] Submiting item update with SteamUGC...<1a2d>.<result success>OK
Done uploading description in lang: en
Starting uploading description in lang: ru
[###############  ] Starting item update with SteamUGC...<13>OK
[################ ] Setting update language with SteamUGC...OK
[#################] Setting item title with SteamUGC...OK
[##################] Setting item description with SteamUGC...OK
[###################] Submiting item update with SteamUGC...<1a2e><result success>OK
Done uploading description in lang: ru
Starting uploading preview image
[####################] Starting item update with SteamUGC...<14>OK
[#####################] Setting item preview with SteamUGC...OK
[######################] Submiting item update with SteamUGC...<1a2f>...<result success>OK
Done uploading preview image
Mod is uploaded to %s917
Uploading done successfully
""" % PAGE

UPDATE_SCENARIO = [
    "app_id 250",
    "update_handles 21 22 23",
    "call_handles 0x3c41 0x3c42 0x3c43",
    "pumps 4 2 3",
]


def update_run(width, language_lines, preview_from, keep=False):
    """The update of item 917 with the section "en" (title only), drawn
    against `width`, with `language_lines` after the "en" section and the
    preview steps numbered from `preview_from`. `keep`: the run keeps the
    item's visibility (-k), so it has no visibility step, and the steps
    after it are numbered one lower."""

    def line(step, name):
        step -= 1 if keep and step > 6 else 0
        return "[%s%s] %s..." % ("#" * step, " " * max(width - step, 0), name)

    lines = [
        "Starting initing tool\n",
        line(1, "Initializing SteamAPI") + "OK\n",
        line(2, "Constructing SteamUtils") + "OK\n",
        line(3, "Getting AppID with SteamUtils") + "<250>OK\n",
        line(4, "Constructing SteamUGC") + "OK\n",
        "Starting uploading fileid 917\n",
        "Starting uploading mod folder\n",
        line(5, "Starting item update with SteamUGC") + "<21>OK\n",
        line(6, "Setting item visibility with SteamUGC") + "OK\n",
        line(7, "Setting item content with SteamUGC") + "OK\n",
        line(8, "Submiting item update with SteamUGC") + "<3c41>...<result success>OK\n",
        "Done uploading mod folder\n",
        "Starting uploading description in lang: en\n",
        line(9, "Starting item update with SteamUGC") + "<22>OK\n",
        line(10, "Setting update language with SteamUGC") + "OK\n",
        line(11, "Setting item title with SteamUGC") + "OK\n",
        line(12, "Setting item description with SteamUGC") + "OK\n",
        line(13, "Submiting item update with SteamUGC") + "<3c42>.<result success>OK\n",
        "Done uploading description in lang: en\n",
        language_lines,
        "Starting uploading preview image\n",
        line(preview_from + keep, "Starting item update with SteamUGC") + "<23>OK\n",
        line(preview_from + keep + 1, "Setting item preview with SteamUGC") + "OK\n",
        line(preview_from + keep + 2, "Submiting item update with SteamUGC")
        + "<3c43>..<result success>OK\n",
        "Done uploading preview image\n",
        "Mod is uploaded to %s917\n" % PAGE,
        "Uploading done successfully\n",
    ]
    return "".join(line for line in lines if not (keep and "visibility" in line))


class NewItemTest(ToolTestCase):

    def setUp(self):
        super().setUp()
        self.make_mod(TWO_LANGUAGES)
        self.scenario(NEW_ITEM_SCENARIO)

    def test_verbose(self):
        run = self.run_tool("mod")
        self.assertOutput(run, TWO_LANGUAGES_ECHO + NEW_ITEM_RUN)

    def test_what_reaches_steam(self):
        run = self.run_tool("-s", "mod")
        folder = self.steam_path("mod")
        self.assertEqual(run.calls("Create") + run.calls("Start") + run.calls("Set")
                         + run.calls("Submit"), [
            "CreateItem app=250 type=0 -> 6699",
            "StartItemUpdate app=250 item=917 -> 11",
            "StartItemUpdate app=250 item=917 -> 12",
            "StartItemUpdate app=250 item=917 -> 13",
            "StartItemUpdate app=250 item=917 -> 14",
            "SetItemVisibility update=11 visibility=2 -> true",
            "SetItemContent update=11 folder=%s -> true" % journal_string(folder),
            'SetItemUpdateLanguage update=12 language="english" -> true',
            'SetItemTitle update=12 title="My mod" -> true',
            'SetItemDescription update=12 description="It does things" -> true',
            'SetItemUpdateLanguage update=13 language="russian" -> true',
            'SetItemTitle update=13 title="\\xd0\\x9c\\xd0\\xbe\\xd0\\xb9 '
            '\\xd0\\xbc\\xd0\\xbe\\xd0\\xb4" -> true',
            'SetItemDescription update=13 description="\\xd0\\x9e\\xd0\\xbd '
            '\\xd0\\xb4\\xd0\\xb5\\xd0\\xbb\\xd0\\xb0\\xd0\\xb5\\xd1\\x82 '
            '\\xd0\\xb2\\xd0\\xb5\\xd1\\x89\\xd0\\xb8" -> true',
            "SetItemPreview update=14 file=%s -> true"
            % journal_string(folder + sep() + "steam_logo.png"),
            'SubmitItemUpdate update=11 note="initial commit" -> 6700',
            'SubmitItemUpdate update=12 note="initial commit" -> 6701',
            'SubmitItemUpdate update=13 note="initial commit" -> 6702',
            'SubmitItemUpdate update=14 note="initial commit" -> 6703',
        ])


class UpdateTest(ToolTestCase):

    def setUp(self):
        super().setUp()
        self.seed_item(917)

    def test_one_language_without_description(self):
        self.make_mod("[en]\ntitle=My mod\n")
        self.scenario(UPDATE_SCENARIO)
        run = self.run_tool("-u", "917", "mod")
        self.assertOutput(run, "Parsing [en]\n[en] title = My mod\n" + update_run(11, "", 14))

    def test_keep_sets_no_visibility_and_sends_the_note(self):
        """A public item updated with -k and -c: no visibility step, a bar as
        wide as the steps the run takes, the note with every submission, and
        the item public still."""
        self.seed_item(917, visibility=0)
        self.make_mod("[en]\ntitle=My mod\n")
        self.scenario(UPDATE_SCENARIO)
        note = 'Lanterns now "refill" at dawn – фонари'
        run = self.run_tool("-k", "-c", note, "-u", "917", "mod")
        self.assertOutput(run, "Parsing [en]\n[en] title = My mod\n" + update_run(10, "", 13, True))
        item = live_item(self.workshop, 917)
        self.assertIn("visibility 0", item)
        self.assertEqual([line for line in item if line.startswith("change")],
                         ["change %s" % journal_string(note)] * 3)

    def test_keys_before_the_first_header_widen_the_bar_only(self):
        self.make_mod("version=1.0\n[en]\ntitle=My mod\n")
        self.scenario(UPDATE_SCENARIO)
        run = self.run_tool("-u", "917", "mod")
        echo = "[] version = 1.0\nParsing [en]\n[en] title = My mod\n"
        self.assertOutput(run, echo + update_run(16, "", 14))

    def test_a_language_steam_lacks_is_skipped_but_numbered(self):
        self.make_mod("[en]\ntitle=My mod\n[vi]\ntitle=Mod cua toi\n")
        self.scenario(UPDATE_SCENARIO)
        run = self.run_tool("-u", "917", "mod")
        echo = ("Parsing [en]\n[en] title = My mod\n"
                "Parsing [vi]\n[vi] title = Mod cua toi\n")
        skip = "Skipping uploading description in lang: vi\n"
        self.assertOutput(run, echo + update_run(16, skip, 19))

