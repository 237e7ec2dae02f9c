#!/usr/bin/env python3
"""Tests of a release archive, as a mod author gets it: packs it with CPack
from the build at hand, checks what it holds, then unpacks it into a folder
whose name has a space and non-ASCII letters and runs the programs there
with the simulated client library placed beside them, as the user guide
says to place the real one.

    package_test.py --cpack cpack --config build/default/CPackConfig.cmake \
        --package build/default/package/modpublish-1.0.0-linux-x86_64.tar.gz \
        --simulator build/default/bin/libsteam_api.so --source-dir . \
        --work-dir build/default/package_test
    package_test.py ... --objdump x86_64-w64-mingw32-objdump   # the Windows archive

The archive stays where CPack wrote it, with `<archive>.sha256` beside it
(sha256sum's format) once every test passed: scripts/release.sh publishes
that archive and that checksum.
"""

import argparse
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tarfile
import unittest
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import programs  # noqa: E402
from programs import exe, native_path, windows  # noqa: E402

OPTIONS = None

# Words that only a build or development set-up needs; the guide is for
# people who unpack the archive.
BUILD_STEP_PATTERNS = [r"\bcmake\b", r"\bctest\b", r"\bcpack\b", r"\bninja\b", r"apt-get",
                       r"\bg\+\+", r"\bgcc\b", r"\bclang\b", r"mingw", r"--preset",
                       r"scripts/", r"build/", r"git clone", r"steam_sim"]


def expected_files(source_dir):
    """The archive's files below its top folder, sorted."""
    files = [exe("modpublish"), exe("modpublish-check"), "LICENSE", "README.md",
             "examples/steam_appid.txt"]
    example = os.path.join(source_dir, "examples", "example_mod")
    for folder, _, names in os.walk(example):
        for name in names:
            relative = os.path.relpath(os.path.join(folder, name), example)
            files.append("examples/example_mod/" + relative.replace(os.sep, "/"))
    return sorted(files)


def archive_members(path):
    """The archive's files (not folders), as stored."""
    if path.endswith(".zip"):
        with zipfile.ZipFile(path) as archive:
            return [name for name in archive.namelist() if not name.endswith("/")]
    with tarfile.open(path) as archive:
        return [member.name for member in archive.getmembers() if not member.isdir()]


def unpack(path, target):
    if path.endswith(".zip"):
        with zipfile.ZipFile(path) as archive:
            archive.extractall(target)
    else:
        with tarfile.open(path) as archive:
            archive.extractall(target)  # keeps the programs' execute bits


class PackageTest(programs.ProgramTestCase):
    @classmethod
    def setUpClass(cls):
        package = OPTIONS.package
        checksum = package + ".sha256"
        for stale in (package, checksum):
            if os.path.exists(stale):
                os.remove(stale)
        packed = subprocess.run([OPTIONS.cpack, "--config", OPTIONS.config],
                                cwd=os.path.dirname(OPTIONS.config), capture_output=True,
                                text=True, check=False)
        if packed.returncode != 0 or not os.path.isfile(package):
            raise AssertionError("cpack failed (status %d) to write %s:\n%s%s" % (
                packed.returncode, package, packed.stdout, packed.stderr))
        cls.top = os.path.basename(package)[:-len(".zip" if windows() else ".tar.gz")]
        # Where a mod author might unpack it.
        cls.unpacked = os.path.join(OPTIONS.work_dir, "Mod tools ä ö Моды")
        shutil.rmtree(OPTIONS.work_dir, ignore_errors=True)
        os.makedirs(cls.unpacked)
        unpack(package, cls.unpacked)
        cls.folder = os.path.join(cls.unpacked, cls.top)

    def run_packed(self, name, args, cwd):
        completed = self.run_program([os.path.join(self.folder, exe(name))] + args, cwd=cwd)
        output = completed.stdout.decode("utf-8", "replace").replace("\r\n", "\n")
        return completed.returncode, output.splitlines()

    def test_holds_the_programs_guide_licence_and_example_only(self):
        members = archive_members(OPTIONS.package)
        outside = [name for name in members if not name.startswith(self.top + "/")]
        self.assertEqual(outside, [], "every file lies in the folder %s/" % self.top)
        libraries = [name for name in members
                     if re.match(r"(lib)?steam_api", os.path.basename(name), re.IGNORECASE)]
        self.assertEqual(libraries, [], "a Steam client library is never shipped")
        actual = sorted(name[len(self.top) + 1:] for name in members)
        self.assertEqual(actual, expected_files(OPTIONS.source_dir))

    def test_readme_is_the_user_guide_without_build_steps(self):
        with open(os.path.join(self.folder, "README.md"), "rb") as packed, \
                open(os.path.join(OPTIONS.source_dir, "docs", "user-guide.md"), "rb") as guide:
            text = packed.read()
            self.assertEqual(text, guide.read(), "README.md is docs/user-guide.md")
        text = text.decode("utf-8")
        for pattern in BUILD_STEP_PATTERNS:
            found = [line for line in text.splitlines() if re.search(pattern, line, re.I)]
            self.assertEqual(found, [], "the guide is for users; it matches %s" % pattern)
        # A link to a file must reach one in the archive, not in the source tree.
        for target in re.findall(r"\]\(([^)\s]+)\)", text):
            if not re.match(r"[a-z]+:|#", target):
                self.assertTrue(not os.path.normpath(target).startswith("..") and
                                os.path.exists(os.path.join(self.folder, target)),
                                "the guide links %s, which the archive lacks" % target)

    def test_licence_is_mit(self):
        with open(os.path.join(self.folder, "LICENSE"), encoding="utf-8") as licence:
            lines = licence.read().splitlines()
        self.assertEqual(lines[0], "MIT License")
        self.assertRegex(lines[2], r"^Copyright \(c\) \d{4} the modpublish developers$")

    def test_programs_need_no_runtime_beside_them(self):
        for name in ("modpublish", "modpublish-check"):
            path = os.path.join(self.folder, exe(name))
            if windows():
                headers = subprocess.run([OPTIONS.objdump, "-p", path], capture_output=True,
                                         text=True, check=True).stdout
                needed = re.findall(r"DLL Name: (\S+)", headers)
                wrong = [dll for dll in needed
                         if re.match(r"lib.*\.dll$|steam_api", dll, re.IGNORECASE)]
                system = "KERNEL32.dll"
            else:
                listing = subprocess.run(["ldd", path], capture_output=True, text=True,
                                         check=True).stdout
                needed = re.findall(r"^\s*(\S+)", listing, re.MULTILINE)
                wrong = [so for so in needed if re.match(r"lib(stdc\+\+|gcc_s)\.", so)]
                system = "libc.so.6"
            self.assertEqual(wrong, [], "%s loads %s" % (name, needed))
            self.assertIn(system, needed, "%s loads %s" % (name, needed))

    def test_help_check_and_publish_beside_the_library(self):
        shutil.copy(OPTIONS.simulator, os.path.join(self.folder, programs.library_name()))

        status, lines = self.run_packed("modpublish", ["-h"], self.folder)
        self.assertEqual(status, 0, "\n".join(lines))
        self.assertTrue(any(line.startswith("Usage: ") for line in lines), "\n".join(lines))

        # The example, from its folder, with the steam_appid.txt beside it.
        examples = os.path.join(self.folder, "examples")
        status, lines = self.run_packed("modpublish-check", ["example_mod"], examples)
        self.assertEqual(status, 0, "\n".join(lines))
        self.assertRegex(lines[-1], r"^0 errors, \d+ warnings$", "\n".join(lines))

        # As the guide's quick start has it and as a folder dropped on the
        # program runs: from the programs' folder, with steam_appid.txt there,
        # and the mod's full path.
        shutil.copy(os.path.join(examples, "steam_appid.txt"), self.folder)
        mod = native_path(os.path.join(examples, "example_mod"))
        status, lines = self.run_packed("modpublish", [mod], self.folder)
        self.assertEqual(status, 0, "\n".join(lines))
        self.assertEqual(lines[-2:], [
            "Mod is uploaded to https://steamcommunity.com/sharedfiles/filedetails/?id=1",
            "Uploading done successfully"], "\n".join(lines))


def write_checksum(package):
    """Writes `<package>.sha256` in the form `sha256sum -c` reads, and has
    sha256sum check it: the checksum the release publishes, of the archive
    the tests have seen."""
    with open(package, "rb") as archive:
        digest = hashlib.sha256(archive.read()).hexdigest()
    with open(package + ".sha256", "w", encoding="ascii", newline="\n") as out:
        out.write("%s  %s\n" % (digest, os.path.basename(package)))
    subprocess.run(["sha256sum", "--check", "--strict", os.path.basename(package) + ".sha256"],
                   cwd=os.path.dirname(package), check=True)


def main():
    global OPTIONS
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--cpack", required=True)
    parser.add_argument("--config", required=True, help="the build's CPackConfig.cmake")
    parser.add_argument("--package", required=True, help="the archive CPack writes")
    parser.add_argument("--simulator", required=True)
    parser.add_argument("--source-dir", required=True)
    parser.add_argument("--work-dir", required=True)
    programs.add_arguments(parser)
    parser.add_argument("--objdump", help="the objdump of the Windows tool chain")
    OPTIONS = parser.parse_args()
    programs.configure(OPTIONS, OPTIONS.simulator)
    if windows() and not OPTIONS.objdump:
        parser.error("--objdump is needed for the Windows archive")
    for name in ("config", "package", "simulator", "source_dir", "work_dir"):
        setattr(OPTIONS, name, os.path.abspath(getattr(OPTIONS, name)))
    if programs.run_tests(unittest.TestLoader().loadTestsFromTestCase(PackageTest)) != 0:
        sys.exit(1)
    write_checksum(OPTIONS.package)


if __name__ == "__main__":
    main()
