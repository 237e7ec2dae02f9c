#!/usr/bin/env python3
"""The flat-wrapper decoder of real_client_library.py on made-up code: the
instruction forms compilers emit for a table call, and code it must refuse
rather than misread."""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from real_client_library import Failure, Image, wrapper_slot  # noqa: E402

NAME = "SteamAPI_ISteamUGC_CreateItem"


def image(code):
    return Image("made-up", b"\xcc" * 8 + bytes.fromhex(code) + b"\xcc" * 16, {NAME: 8})


class WrapperSlotTest(unittest.TestCase):

    def test_table_calls_decode_to_their_slot(self):
        cases = [
            # platform, code, slot
            ("linux", "48 8b 07 ff a0 60 01 00 00", 44),  # mov rax,[rdi]; jmp [rax+0x160]
            ("linux", "48 8b 07 ff 60 48", 9),  # jmp [rax+0x48]
            ("linux", "f3 0f 1e fa 48 8b 07 ff a0 10 02 00 00", 66),  # endbr64 first
            ("linux", "48 8b 07 ff 20", 0),  # jmp [rax]
            ("windows", "48 8b 01 48 ff a0 60 01 00 00", 44),  # mov rax,[rcx]; rex.w jmp
            ("windows", "48 8b 11 ff 62 48", 9),  # through rdx
            ("windows", "4c 8b 01 41 ff a0 68 01 00 00", 45),  # through r8
            # mov rax,[rcx]; mov rax,[rax+0x1a8]; jmp rax
            ("windows", "48 8b 01 48 8b 80 a8 01 00 00 ff e0", 53),
        ]
        for platform, code, slot in cases:
            with self.subTest(platform=platform, code=code):
                self.assertEqual(wrapper_slot(image(code), NAME, platform), slot)

    def test_other_code_is_refused(self):
        cases = [
            ("linux", "48 8b 01 ff a0 60 01 00 00"),  # table of rcx: not the object on Linux
            ("windows", "48 8b 07 ff a0 60 01 00 00"),  # table of rdi: not the object on Windows
            ("linux", "48 8b 07 ff a1 60 01 00 00"),  # jumps through another register
            ("linux", "48 8b 07 ff 90 60 01 00 00"),  # a call, not a jump
            ("linux", "48 8b 07 ff a0 61 01 00 00"),  # not a whole slot
            ("linux", "8b 07 ff a0 60 01 00 00"),  # a 32-bit load is no table pointer
            ("linux", "48 8b 47 08 ff a0 60 01 00 00"),  # loads a field, not the table
            ("linux", "b8 01 00 00 00 c3"),  # no table call at all
        ]
        for platform, code in cases:
            with self.subTest(platform=platform, code=code):
                with self.assertRaisesRegex(Failure, NAME):
                    wrapper_slot(image(code), NAME, platform)

    def test_a_missing_or_forwarded_export_is_named(self):
        with self.assertRaisesRegex(Failure, "SteamAPI_ISteamUGC_SetItemTitle"):
            wrapper_slot(image("48 8b 07 ff 60 48"), "SteamAPI_ISteamUGC_SetItemTitle", "linux")
        forwarded = Image("made-up", b"", {NAME: None})
        with self.assertRaisesRegex(Failure, NAME):
            wrapper_slot(forwarded, NAME, "linux")


if __name__ == "__main__":
    unittest.main()
