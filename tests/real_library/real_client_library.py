#!/usr/bin/env python3
"""Checks the tool against Valve's real, redistributable Steam client
libraries, not only against the simulated one written from the same facts.

    real_client_library.py --source-dir . --work-dir build/default/real_client_library \
        --tool build/default/bin/modpublish --probe build/default/bin/slot_probe \
        --checker build/default/bin/modpublish-check \
        [--platform windows --runner cmake/wine-run.sh --runner PREFIX]

The libraries come from the npm package steamworks.js 0.4.0, fetched with
`npm pack` into WORK_DIR/cache once and checked against a pinned SHA-512;
only its dist/linux64/libsteam_api.so and dist/win64/steam_api64.dll are
taken out of it. They are test inputs, like a toolchain: never committed,
never shipped.

Checks, each failure naming what differed:
  exports    every symbol the tool looks up by name is exported by both
             libraries (ELF dynamic symbols, PE export table);
  slots      every interface operation the tool calls goes through the slot
             the library's own flat wrapper (SteamAPI_ISteamUGC_<Operation>)
             jumps through, in both libraries; the same for the simulator;
  behaviour  the tool of this build, run against the real library of its
             platform with no Steam client running, fails "Initializing
             SteamAPI" cleanly, verbose and silent, and never loads the
             library from the current folder; modpublish-check of this
             build, beside the real library, finds nothing wrong with it.

Exit status: 0 passed, 1 failed, 77 skipped (npm or the registry is not
available; one line on standard output says why).
"""

import argparse
import base64
import hashlib
import os
import re
import shutil
import struct
import subprocess
import sys
import tarfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import programs  # noqa: E402

PACKAGE = "steamworks.js@0.4.0"
TARBALL = "steamworks.js-0.4.0.tgz"
INTEGRITY = ("sha512-O5TTRs7ucCRql4IA/kYUIQYeghTsXqf3rAm81sC22RDId264LQYqQjuaMEUSqL60I5LdULiGu0W2"
             "/A+ZDcKBKA==")
# member of the package -> the library's platform
MEMBERS = {
    "package/dist/linux64/libsteam_api.so": "linux",
    "package/dist/win64/steam_api64.dll": "windows",
}
LIBRARY_NAMES = {"linux": "libsteam_api.so", "windows": "steam_api64.dll"}

SKIP = 77
NPM_TIMEOUT = 120  # seconds for the whole download
RUN_TIMEOUT = 60  # seconds for one run of the tool or the probe

INIT_FAILED = ("Starting initing tool\n"
               "[#{pad}] Initializing SteamAPI...FAIL\n"
               "\n"
               "Fail during Initializing SteamAPI step.\n")
SILENT_INIT_FAILED = ("Fail during Initializing SteamAPI step.\n"
                      "Error occured! Run command again without -s key for verbose output.\n")


class Skip(Exception):
    """The check can't run here: no npm, or no registry."""


class Failure(Exception):
    """A check failed; the message says what differed."""


# ---------------------------------------------------------------- fetching

def integrity_of(path):
    with open(path, "rb") as data:
        return "sha512-" + base64.b64encode(hashlib.sha512(data.read()).digest()).decode()


def fetch(cache):
    """Returns {platform: library path}, downloading the package first when
    the cache holds no intact copy of it. The libraries are taken out of the
    checked package anew on every run."""
    os.makedirs(cache, exist_ok=True)
    tarball = os.path.join(cache, TARBALL)
    if os.path.exists(tarball) and integrity_of(tarball) != INTEGRITY:
        os.remove(tarball)  # a broken earlier download: fetch it anew
    if not os.path.exists(tarball):
        npm = shutil.which("npm")
        if npm is None:
            raise Skip("npm is not installed")
        command = [npm, "pack", PACKAGE, "--pack-destination", cache, "--loglevel=error",
                   "--fetch-timeout=30000", "--fetch-retries=1", "--no-audit", "--no-fund"]
        try:
            completed = subprocess.run(command, cwd=cache, stdin=subprocess.DEVNULL,
                                       capture_output=True, timeout=NPM_TIMEOUT, check=False)
        except subprocess.TimeoutExpired:
            raise Skip("npm pack %s got no answer from the registry within %d s"
                       % (PACKAGE, NPM_TIMEOUT)) from None
        if completed.returncode != 0 or not os.path.exists(tarball):
            output = completed.stderr.decode("utf-8", "replace")
            lines = [re.sub(r"^npm (error|ERR!) ", "", line) for line in output.splitlines()]
            reason = next((line for line in lines if "request to" in line),
                          lines[0] if lines else "exit status %d" % completed.returncode)
            if re.search(r"\b(E404|ETARGET)\b", output):
                # The registry answered: the package is gone, which no skip
                # may hide.
                raise Failure("npm pack %s: %s" % (PACKAGE, reason))
            raise Skip("npm pack %s failed: %s" % (PACKAGE, reason))
        actual = integrity_of(tarball)
        if actual != INTEGRITY:
            os.remove(tarball)
            raise Failure("%s: integrity %s, expected %s" % (TARBALL, actual, INTEGRITY))
    libraries = {}
    with tarfile.open(tarball, "r:gz") as archive:
        for member, platform in MEMBERS.items():
            path = os.path.join(cache, platform, LIBRARY_NAMES[platform])
            libraries[platform] = path
            source = archive.extractfile(archive.getmember(member))
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path + ".part", "wb") as out:
                shutil.copyfileobj(source, out)
            os.replace(path + ".part", path)
    return libraries


# ---------------------------------------------------------------- binaries

class Image:
    """A library's exported functions and the bytes at each."""

    def __init__(self, path, data, exports):
        self.path = path
        self.data = data
        self.exports = exports  # name -> file offset, or None when forwarded

    def code(self, name, length=24):
        offset = self.exports[name]
        return self.data[offset:offset + length]


def read_elf(path):
    with open(path, "rb") as source:
        data = source.read()
    if data[:4] != b"\x7fELF" or data[4] != 2 or data[5] != 1:
        raise Failure("%s: not a 64-bit little-endian ELF file" % path)
    (phoff, shoff) = struct.unpack_from("<QQ", data, 0x20)
    (phentsize, phnum, shentsize, shnum) = struct.unpack_from("<HHHH", data, 0x36)
    loads = []  # (vaddr, file offset, file size) of the PT_LOAD segments
    for index in range(phnum):
        (kind, _flags, offset, vaddr, _paddr, filesz) = struct.unpack_from(
            "<IIQQQQ", data, phoff + index * phentsize)
        if kind == 1:
            loads.append((vaddr, offset, filesz))
    sections = [struct.unpack_from("<IIQQQQIIQQ", data, shoff + index * shentsize)
                for index in range(shnum)]
    exports = {}
    for (_name, kind, _flags, _addr, offset, size, link, _info, _align, entsize) in sections:
        if kind != 11:  # SHT_DYNSYM
            continue
        strings_offset = sections[link][4]
        for start in range(offset, offset + size, entsize or 24):
            (name, info, other, shndx, value, _size) = struct.unpack_from("<IBBHQQ", data, start)
            binding, visibility = info >> 4, other & 3
            if shndx == 0 or binding not in (1, 2) or visibility not in (0, 3):
                continue  # undefined, local or hidden
            end = data.index(b"\0", strings_offset + name)
            symbol = data[strings_offset + name:end].decode("latin-1")
            exports[symbol] = next((value - vaddr + file_offset
                                    for (vaddr, file_offset, filesz) in loads
                                    if vaddr <= value < vaddr + filesz), None)
    return Image(path, data, exports)


def read_pe(path):
    with open(path, "rb") as source:
        data = source.read()
    if data[:2] != b"MZ":
        raise Failure("%s: not a PE file" % path)
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0" or struct.unpack_from("<H", data, pe + 4)[0] != 0x8664:
        raise Failure("%s: not an x64 PE file" % path)
    (sections_count,) = struct.unpack_from("<H", data, pe + 6)
    (optional_size,) = struct.unpack_from("<H", data, pe + 20)
    optional = pe + 24
    if struct.unpack_from("<H", data, optional)[0] != 0x20B:
        raise Failure("%s: not a PE32+ file" % path)
    (export_rva, export_size) = struct.unpack_from("<II", data, optional + 112)
    sections = []
    for index in range(sections_count):
        (virtual_size, virtual_address, raw_size, raw_pointer) = struct.unpack_from(
            "<IIII", data, optional + optional_size + index * 40 + 8)
        sections.append((virtual_address, max(virtual_size, raw_size), raw_pointer))

    def offset_of(rva):
        for (virtual_address, size, raw_pointer) in sections:
            if virtual_address <= rva < virtual_address + size:
                return rva - virtual_address + raw_pointer
        raise Failure("%s: address 0x%x lies in no section" % (path, rva))

    exports = {}
    if export_size:
        directory = offset_of(export_rva)
        (functions_count, names_count, functions, names, ordinals) = struct.unpack_from(
            "<IIIII", data, directory + 20)
        for index in range(names_count):
            name_rva = struct.unpack_from("<I", data, offset_of(names) + 4 * index)[0]
            ordinal = struct.unpack_from("<H", data, offset_of(ordinals) + 2 * index)[0]
            if ordinal >= functions_count:
                raise Failure("%s: export ordinal %d out of range" % (path, ordinal))
            rva = struct.unpack_from("<I", data, offset_of(functions) + 4 * ordinal)[0]
            start = offset_of(name_rva)
            name = data[start:data.index(b"\0", start)].decode("latin-1")
            forwarded = export_rva <= rva < export_rva + export_size
            exports[name] = None if forwarded else offset_of(rva)
    return Image(path, data, exports)


# ---------------------------------------------------------------- slots

def modrm_at(code, position):
    """(rex, opcode, mod, reg, rm, next position) of the one-byte-opcode
    instruction with a ModRM byte at `position`, REX bits folded into reg and
    rm."""
    rex = 0
    if 0x40 <= code[position] <= 0x4F:
        rex = code[position]
        position += 1
    opcode, modrm = code[position], code[position + 1]
    reg = ((modrm >> 3) & 7) | ((rex & 4) << 1)
    rm = (modrm & 7) | ((rex & 1) << 3)
    return rex, opcode, modrm >> 6, reg, rm, position + 2


def displacement(code, mod, position):
    """(displacement, next position) of a memory operand of `mod`."""
    if mod == 1:
        return struct.unpack_from("<b", code, position)[0], position + 1
    if mod == 2:
        return struct.unpack_from("<i", code, position)[0], position + 4
    return 0, position


def table_call_displacement(code, this_register):
    """The displacement of the slot the code jumps through, or None when it
    is no table call on the object in `this_register`."""
    position = 4 if code.startswith(b"\xf3\x0f\x1e\xfa") else 0  # endbr64
    # mov table, [this]
    rex, opcode, mod, table, rm, position = modrm_at(code, position)
    if not (rex & 8 and opcode == 0x8B and mod == 0 and rm == this_register):
        return None
    rex, opcode, mod, reg, rm, position = modrm_at(code, position)
    # [rsp+...] and [rip+...] take other encodings: no table is addressed so.
    if rm != table or mod == 3 or (rm & 7) == 4 or (mod == 0 and (rm & 7) == 5):
        return None
    if opcode == 0xFF and reg == 4:  # jmp [table+disp]
        return displacement(code, mod, position)[0]
    if opcode == 0x8B and rex & 8:  # mov target, [table+disp]; jmp target
        disp, position = displacement(code, mod, position)
        target = reg
        _, opcode, mod, reg, rm, _ = modrm_at(code, position)
        if opcode == 0xFF and reg == 4 and mod == 3 and rm == target:
            return disp
    return None


def wrapper_slot(image, name, platform):
    """The slot a flat wrapper calls through: it loads the object's table
    (`mov reg,[rdi]` on Linux, `mov reg,[rcx]` on Windows: the object is the
    first argument) and jumps through one entry of it, either directly
    (`jmp [reg+disp]`) or by loading it first (`mov reg2,[reg+disp]; jmp
    reg2`)."""
    if image.exports.get(name) is None:
        raise Failure("%s: %s is not exported as code, so its slot can't be read"
                      % (image.path, name))
    code = image.code(name)
    try:
        disp = table_call_displacement(code, 7 if platform == "linux" else 1)  # rdi, rcx
    except (IndexError, struct.error):
        disp = None  # ran off the end of the code
    if disp is None or disp < 0 or disp % 8:
        raise Failure("%s: %s does not start with a table load and a jump through a slot "
                      "(bytes %s)" % (image.path, name, code.hex(" ")))
    return disp // 8


def probe_slots(probe):
    """{(side, interface, operation): slot} printed by the slot probe."""
    completed = programs.run([probe], timeout=RUN_TIMEOUT)
    if completed.returncode != 0:
        raise Failure("the slot probe failed (exit status %d): %s"
                      % (completed.returncode, completed.stderr.decode("latin-1")))
    slots = {}
    for line in completed.stdout.decode("latin-1").splitlines():
        side, interface, operation, slot = line.split()
        slots[(side, interface, operation)] = int(slot)
    return slots


def declared_operations(header):
    """{interface: [operation]}: the public member functions of ISteamUtils
    and ISteamUGC in the tool's declaration, so an operation added there
    without a line in the probe is noticed."""
    with open(header, encoding="utf-8") as source:
        text = source.read()
    operations = {}
    for interface in ("ISteamUtils", "ISteamUGC"):
        match = re.search(r"class %s \{\n public:\n(.*?)\n private:" % interface, text, re.S)
        if match is None:
            raise Failure("%s: no declaration of %s found" % (header, interface))
        operations[interface] = re.findall(r"^  [\w:]+\*? (\w+)\(", match.group(1), re.M)
    return operations


def looked_up_symbols(header):
    """The names the tool resolves in the library: the shared list that the
    loader and the checker both read."""
    with open(header, encoding="utf-8") as source:
        text = source.read()
    match = re.search(r"kClientLibraryExports\[[^]]*\] = \{(.*?)\};", text, re.S)
    names = re.findall(r'"(\w+)"', match.group(1)) if match else []
    if not names:
        raise Failure("%s: no list of exports found" % header)
    return names


def check_exports_and_slots(options, libraries):
    images = {"linux": read_elf(libraries["linux"]), "windows": read_pe(libraries["windows"])}
    errors = []
    symbols = looked_up_symbols(os.path.join(options.source_dir, "platform",
                                             "client_library_exports.h"))
    for image in images.values():
        for symbol in symbols:
            if symbol not in image.exports:
                errors.append("%s: the tool looks up %s, which is not exported"
                              % (image.path, symbol))

    slots = probe_slots(options.probe)
    declared = declared_operations(os.path.join(options.source_dir, "workshop", "steam_api.h"))
    checked = 0
    for interface, operations in sorted(declared.items()):
        for operation in operations:
            tool_slot = slots.get(("tool", interface, operation))
            if tool_slot is None:
                errors.append("%s::%s is declared but the slot probe doesn't call it"
                              % (interface, operation))
                continue
            simulator_slot = slots.get(("simulator", interface, operation))
            wrapper = "SteamAPI_%s_%s" % (interface, operation)
            for platform, image in sorted(images.items()):
                try:
                    real_slot = wrapper_slot(image, wrapper, platform)
                except Failure as failure:
                    errors.append(str(failure))
                    continue
                checked += 1
                if tool_slot != real_slot:
                    errors.append("%s::%s: the tool calls slot %d, the real library (%s) uses "
                                  "slot %d" % (interface, operation, tool_slot, image.path,
                                               real_slot))
                if simulator_slot != real_slot:
                    errors.append("%s::%s: the simulator serves it at slot %s, the real library "
                                  "(%s) uses slot %d" % (interface, operation, simulator_slot,
                                                         image.path, real_slot))
    if errors:
        raise Failure("\n".join(errors))
    print("exports: %d looked-up symbols found in both libraries" % len(symbols))
    print("slots: %d operations x 2 libraries agree with the tool and the simulator"
          % (checked // 2))


# ---------------------------------------------------------------- behaviour

def loaded_client_libraries(trace, platform, folder):
    """The client libraries a loader trace on standard error (LD_DEBUG=files
    on Linux, Wine's +loaddll) shows as loaded, as host paths; relative ones
    are taken from `folder`, the run's current folder. A library found by its
    bare name shows up under that name as well as under its path."""
    trace = trace.decode("utf-8", "replace")
    if platform == "linux":
        paths = re.findall(r"file=(\S*libsteam_api\.so) \[\d+\];\s+generating link map", trace)
        paths += re.findall(r"calling init: (\S*libsteam_api\.so)$", trace, re.M)
    else:
        paths = [path.replace("\\\\", "/")
                 for path in re.findall(r'Loaded L"Z:([^"]*\\steam_api64\.dll)"', trace, re.I)]
    return sorted({os.path.realpath(os.path.join(folder, path)) if "/" in path else path
                   for path in paths})


def check_behaviour(options, libraries):
    platform = programs.PLATFORM
    library = libraries[platform]
    name = LIBRARY_NAMES[platform]
    scratch = os.path.join(options.work_dir, "run")
    shutil.rmtree(scratch, ignore_errors=True)
    # The tool alone in one folder, and beside the real library in another;
    # the simulated library of the build tree is in neither.
    alone = os.path.join(scratch, "alone")
    beside = os.path.join(scratch, "beside")
    work = os.path.join(scratch, "work")
    home = os.path.join(scratch, "home")
    for folder in (alone, beside, work, home):
        os.makedirs(folder)
    tool_name = os.path.basename(options.tool)
    shutil.copy2(options.tool, os.path.join(alone, tool_name))
    shutil.copy2(options.tool, os.path.join(beside, tool_name))
    shutil.copy2(library, os.path.join(beside, name))
    checker_name = os.path.basename(options.checker)
    shutil.copy2(options.checker, os.path.join(beside, checker_name))
    shutil.copytree(os.path.join(options.source_dir, "examples", "example_mod"),
                    os.path.join(work, "example_mod"))
    with open(os.path.join(work, "steam_appid.txt"), "w", encoding="ascii") as appid:
        appid.write("480\n")

    environment = dict(os.environ)
    for variable in list(environment):
        if variable.lower().startswith("steam"):
            del environment[variable]
    if platform == "linux":
        # An empty home: a developer's own running Steam client must never
        # be reached, or the run would publish for real.
        environment["HOME"] = home

    traced_environment = dict(environment, LD_DEBUG="files", MODPUBLISH_WINEDEBUG="+loaddll")

    def run(folder, *args, trace=False, program=None):
        command = [os.path.join(folder, program or tool_name)] + list(args)
        try:
            return programs.run(command, cwd=work, timeout=RUN_TIMEOUT,
                                env=traced_environment if trace else environment)
        except subprocess.TimeoutExpired:
            raise Failure("%s did not finish within %d s" % (" ".join(command),
                                                              RUN_TIMEOUT)) from None

    errors = []

    def expect(what, completed, stdout, stderr=None):
        if completed.stdout != stdout:
            errors.append("%s: standard output differs\n--- expected\n%s--- actual\n%s"
                          % (what, stdout.decode("utf-8", "replace"),
                             completed.stdout.decode("utf-8", "replace")))
        # Every run here fails its first step: a failed run ends with 1.
        if completed.returncode != 1:
            errors.append("%s: exit status %d, expected 1; standard error:\n%s"
                          % (what, completed.returncode,
                             completed.stderr.decode("utf-8", "replace")))
        if stderr is not None and completed.stderr != stderr:
            errors.append("%s: standard error %r, expected %r" % (what, completed.stderr, stderr))

    # Without any library the first step fails; that output, and only that,
    # is what a run against the real library with no Steam client must show.
    missing = run(alone, "example_mod")
    parsed = missing.stdout.split(b"Starting initing tool")[0].decode("utf-8", "replace")
    parsed = parsed.replace("\r\n", "\n")
    # The bar of a creating run: 6 steps, 5 per description section, 1 more.
    width = 6 + 5 * parsed.count("Parsing [") + 1
    expected = programs.text(parsed + INIT_FAILED.format(pad=" " * (width - 1)))
    expect("without a library", missing, expected, stderr=b"")

    verbose = run(beside, "example_mod")
    expect("real %s beside the tool" % name, verbose, expected)
    silent = run(beside, "-s", "example_mod")
    expect("real %s beside the tool, silent" % name, silent, programs.text(SILENT_INIT_FAILED))

    # The checker reads the real library without loading it: a 64-bit
    # library of its platform with every export the tool resolves.
    checked = run(beside, "example_mod", program=checker_name)
    findings = [line for line in checked.stdout.decode("utf-8", "replace").splitlines()
                if ": error: " in line or ": warning: " in line]
    if checked.returncode != 0 or findings:
        errors.append("%s beside the real %s: exit status %d, findings:\n%s"
                      % (checker_name, name, checked.returncode, "\n".join(findings)))

    # The library in the current folder and in the mod folder, none beside
    # the tool: it must not be loaded. With no Steam client the output
    # can't tell, so the loader's own trace is asked which libraries were
    # loaded; the run beside the library shows that the trace does tell.
    traced = run(beside, "-s", "example_mod", trace=True)
    if loaded_client_libraries(traced.stderr, platform, work) != [os.path.realpath(
            os.path.join(beside, name))]:
        errors.append("the loader trace of a run beside the real %s doesn't show it loaded; "
                      "standard error:\n%s" % (name, traced.stderr.decode("utf-8", "replace")))
    shutil.copy2(library, os.path.join(work, name))
    shutil.copy2(library, os.path.join(work, "example_mod", name))
    planted = run(alone, "example_mod", trace=True)
    expect("real %s in the current folder only" % name, planted, expected)
    loaded = loaded_client_libraries(planted.stderr, platform, work)
    if loaded:
        errors.append("real %s in the current folder only: loaded %s" % (name, loaded))
    os.remove(os.path.join(work, "example_mod", name))  # never left in a mod

    if errors:
        raise Failure("\n".join(errors))
    print("behaviour: the %s tool fails \"Initializing SteamAPI\" cleanly against the real %s "
          "(verbose, silent, current folder); the checker finds nothing wrong with it"
          % (platform, name))


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--source-dir", required=True)
    parser.add_argument("--work-dir", required=True, help="cache and scratch folders go here")
    parser.add_argument("--tool", required=True)
    parser.add_argument("--probe", required=True)
    parser.add_argument("--checker", required=True, help="modpublish-check of the same build")
    programs.add_arguments(parser)
    options = parser.parse_args()
    options.tool = os.path.abspath(options.tool)
    programs.configure(options, options.tool)
    options.probe = os.path.abspath(options.probe)
    options.checker = os.path.abspath(options.checker)
    options.work_dir = os.path.abspath(options.work_dir)
    try:
        libraries = fetch(os.path.join(options.work_dir, "cache"))
        check_exports_and_slots(options, libraries)
        check_behaviour(options, libraries)
    except Skip as skip:
        print("skipped: %s" % skip)
        return SKIP
    except Failure as failure:
        print("FAILED: %s" % failure)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
