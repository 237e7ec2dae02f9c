#include "check/client_library.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/client_library_exports.h"
#include "tests/support/scratch_folder.h"

namespace {

namespace fs = std::filesystem;
using Kind = LibraryImage::Kind;

const std::vector<std::string_view> kWanted(std::begin(platform::kClientLibraryExports),
                                            std::end(platform::kClientLibraryExports));

// Writes `value` as a `width`-byte little-endian field at `at`, growing
// `bytes` with zeros when it ends before.
void Put(std::string& bytes, size_t at, uint64_t value, size_t width) {
  std::string field;
  for (size_t i = 0; i < width; ++i) {
    field += static_cast<char>((value >> (8 * i)) & 0xFF);
  }
  if (bytes.size() < at + width) {
    bytes.resize(at + width, '\0');
  }
  bytes.replace(at, width, field);
}

// A symbol of a made-up library: its name, and whether a loader would find
// it by that name.
struct Symbol {
  std::string name;
  bool exported = true;
};

std::vector<Symbol> Exported(const std::vector<std::string_view>& names) {
  std::vector<Symbol> symbols;
  symbols.reserve(names.size());
  for (std::string_view name : names) {
    symbols.push_back(Symbol{std::string(name)});
  }
  return symbols;
}

// The `width`-byte little-endian field at `at`.
uint64_t Get(const std::string& bytes, size_t at, size_t width) {
  uint64_t value = 0;
  for (size_t i = width; i > 0; --i) {
    value = value << 8 | static_cast<unsigned char>(bytes.at(at + i - 1));
  }
  return value;
}

// The smallest 64-bit little-endian ELF shared object for x86-64 with
// `symbols` in its dynamic symbol table: header, one loadable segment that
// is the whole file, .dynstr, .dynsym, section headers. An unexported
// symbol is made one of the three ways a loader skips: undefined, local or
// hidden, in turn.
std::string Elf(const std::vector<Symbol>& symbols) {
  std::string bytes = std::string(
      "\x7F"
      "ELF\x02\x01\x01",
      7);
  Put(bytes, 16, 3, 2);   // ET_DYN
  Put(bytes, 18, 62, 2);  // EM_X86_64
  Put(bytes, 20, 1, 4);
  Put(bytes, 0x20, 64, 8);  // program headers
  Put(bytes, 0x34, 64, 2);
  Put(bytes, 0x36, 56, 2);
  Put(bytes, 0x38, 1, 2);
  Put(bytes, 64, 1, 4);  // PT_LOAD from offset 0; its size comes last
  std::string strings(1, '\0');
  std::vector<uint64_t> nameAt;
  for (const Symbol& symbol : symbols) {
    nameAt.push_back(strings.size());
    strings += symbol.name + '\0';
  }
  const size_t stringsAt = 64 + 56;
  bytes.resize(stringsAt, '\0');
  bytes += strings;
  const size_t symbolsAt = bytes.size();
  bytes.append(24, '\0');  // symbol 0 is always the null symbol
  for (size_t i = 0; i < symbols.size(); ++i) {
    const size_t at = bytes.size();
    const uint64_t way = i % 3;
    const bool exported = symbols[i].exported;
    Put(bytes, at, nameAt[i], 4);
    Put(bytes, at + 4, (exported || way != 1 ? 1 : 0) << 4 | 2, 1);  // global (or local) function
    Put(bytes, at + 5, exported || way != 2 ? 0 : 2, 1);             // default (or hidden)
    Put(bytes, at + 6, exported || way != 0 ? 7 : 0, 2);             // defined (or undefined)
    Put(bytes, at + 8, 0x1000 + i * 16, 8);
    Put(bytes, at + 16, 16, 8);
  }
  const size_t symbolsSize = bytes.size() - symbolsAt;
  const size_t sectionsAt = bytes.size();
  bytes.append(size_t{3} * 64, '\0');
  Put(bytes, sectionsAt + 64 + 4, 3, 4);  // [1] .dynstr: SHT_STRTAB
  Put(bytes, sectionsAt + 64 + 24, stringsAt, 8);
  Put(bytes, sectionsAt + 64 + 32, strings.size(), 8);
  Put(bytes, sectionsAt + 128 + 4, 11, 4);  // [2] .dynsym: SHT_DYNSYM
  Put(bytes, sectionsAt + 128 + 24, symbolsAt, 8);
  Put(bytes, sectionsAt + 128 + 32, symbolsSize, 8);
  Put(bytes, sectionsAt + 128 + 40, 1, 4);
  Put(bytes, sectionsAt + 128 + 56, 24, 8);
  Put(bytes, 0x28, sectionsAt, 8);
  Put(bytes, 0x3A, 64, 2);
  Put(bytes, 0x3C, 3, 2);
  Put(bytes, 64 + 32, bytes.size(), 8);
  return bytes;
}

// The smallest PE32+ DLL for AMD64 whose export table names `symbols` (an
// unexported one is left out of the table): DOS header, PE header, optional
// header, one section holding the export directory, the name table and the
// names. The section starts at `address`.
std::string Pe(const std::vector<Symbol>& symbols, uint64_t address = 0x1000) {
  std::string bytes = "MZ";
  Put(bytes, 0x3C, 0x40, 4);
  bytes += "PE";
  Put(bytes, 0x44, 0x8664, 2);
  Put(bytes, 0x46, 1, 2);       // one section
  Put(bytes, 0x54, 240, 2);     // optional header size
  Put(bytes, 0x56, 0x2022, 2);  // a DLL
  const size_t optional = 0x58;
  Put(bytes, optional, 0x20B, 2);
  Put(bytes, optional + 108, 16, 4);
  const size_t table = optional + 240;
  const size_t raw = 0x200;
  std::vector<std::string> names;
  for (const Symbol& symbol : symbols) {
    if (symbol.exported) {
      names.push_back(symbol.name);
    }
  }
  std::string section(40, '\0');
  Put(section, 20, names.size(), 4);
  Put(section, 24, names.size(), 4);
  Put(section, 32, address + 40, 4);
  std::string strings;
  const size_t stringsStart = 40 + 4 * names.size();
  for (size_t i = 0; i < names.size(); ++i) {
    Put(section, 40 + 4 * i, address + stringsStart + strings.size(), 4);
    strings += names[i] + '\0';
  }
  section += strings;
  Put(bytes, optional + 112, address, 4);
  Put(bytes, optional + 116, section.size(), 4);
  Put(bytes, table + 8, section.size(), 4);
  Put(bytes, table + 12, address, 4);
  Put(bytes, table + 16, section.size(), 4);
  Put(bytes, table + 20, raw, 4);
  bytes.resize(raw, '\0');
  return bytes + section;
}

std::string Patched(std::string bytes, size_t at, uint64_t value, size_t width) {
  Put(bytes, at, value, width);
  return bytes;
}

TEST(ReadLibraryImageTest, WhatTheBytesAre) {
  const std::string elf = Elf(Exported(kWanted));
  const std::string pe = Pe(Exported(kWanted));
  const struct {
    const char* name;
    std::string bytes;
    Kind kind;
    bool x64;
    std::string machine;
    bool damaged;
  } cases[] = {
      {"ELF library", elf, Kind::kElf, true, "64-bit x86", false},
      {"PE library", pe, Kind::kPe, true, "64-bit x86", false},
      {"32-bit ELF", Patched(Patched(elf, 4, 1, 1), 18, 3, 2), Kind::kElf, false, "32-bit x86",
       false},
      {"ELF for ARM", Patched(elf, 18, 183, 2), Kind::kElf, false, "64-bit ARM", false},
      {"big-endian ELF", Patched(elf, 5, 2, 1), Kind::kElfProgram, false,
       "machine 0x3E00, big-endian", false},
      {"ELF program", Patched(elf, 16, 2, 2), Kind::kElfProgram, true, "64-bit x86", false},
      {"32-bit PE", Patched(Patched(pe, 0x44, 0x14C, 2), 0x58, 0x10B, 2), Kind::kPe, false,
       "32-bit x86", false},
      {"PE32 image for AMD64", Patched(pe, 0x58, 0x10B, 2), Kind::kPe, false, "64-bit x86", false},
      {"PE program", Patched(pe, 0x56, 0x22, 2), Kind::kPeProgram, true, "64-bit x86", false},
      {"DOS program", "MZ" + std::string(100, '\0'), Kind::kPeProgram, false, "DOS", false},
      {"saved web page", "<!DOCTYPE html><html>steam_api64.dll</html>", Kind::kUnknown, false, "",
       false},
      {"empty", "", Kind::kUnknown, false, "", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const LibraryImage image = ReadLibraryImage(c.bytes, kWanted);
    EXPECT_EQ(image.kind, c.kind);
    EXPECT_EQ(image.x64, c.x64);
    EXPECT_EQ(image.machine, c.machine);
    EXPECT_EQ(image.damaged, c.damaged);
    EXPECT_TRUE(image.missing.empty());
  }
}

// One row per check of damage, each made so that only that check sees it:
// without the check, the file would pass as sound or lacking functions.
TEST(ReadLibraryImageTest, EachPartPastTheEndIsDamage) {
  const std::string elf = Elf(Exported(kWanted));
  const std::string pe = Pe(Exported(kWanted));
  const uint64_t elfSections = Get(elf, 0x28, 8);
  const uint64_t dynstr = elfSections + 64;
  const uint64_t dynsym = elfSections + 128;
  const uint64_t firstSymbol = Get(elf, dynsym + 24, 8) + 24;
  // The PE maker's one section: its header, and its raw data at 0x200.
  const size_t section = 0x58 + 240;
  const uint64_t sectionBytes = pe.size() - 0x200;
  // A table said to hold 2^28 names, at the end of the file, with a second
  // section at address 0: a read past the end gives 0, the address of an
  // empty name there.
  std::string endless = pe + pe.substr(0x200 + 40, 4 * kWanted.size());
  Put(endless, 0x46, 2, 2);
  Put(endless, section + 40 + 16, 16, 4);
  Put(endless, section + 40 + 20, 0x1F0, 4);
  Put(endless, section + 8, endless.size() - 0x200, 4);
  Put(endless, section + 16, endless.size() - 0x200, 4);
  Put(endless, 0x200 + 24, uint64_t{1} << 28, 4);
  Put(endless, 0x200 + 32, 0x1000 + sectionBytes, 4);
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"ELF header cut short", elf.substr(0, 0x30)},
      {"ELF program headers past the end", Patched(elf, 0x38, 1000, 2)},
      {"ELF program headers too small", Patched(elf, 0x36, 8, 2)},
      {"ELF loadable segment past the end", Patched(elf, 64 + 32, elf.size() + 1, 8)},
      {"ELF section headers past the end", Patched(elf, 0x3C, 200, 2)},
      {"ELF section headers too small", Patched(elf, 0x3A, 8, 2)},
      {"ELF symbols linked to no section", Patched(elf, dynsym + 40, 7, 4)},
      {"ELF symbols too small", Patched(elf, dynsym + 56, 8, 8)},
      {"ELF symbols past the end", Patched(elf, dynsym + 32, 1 << 20, 8)},
      {"ELF names past the end", Patched(elf, dynstr + 32, 1 << 20, 8)},
      {"ELF name beyond its table", Patched(elf, firstSymbol, 1 << 20, 4)},
      {"ELF last name without its end", Patched(elf, dynstr + 32, Get(elf, dynstr + 32, 8) - 1, 8)},
      {"PE section table past the end", Patched(pe, 0x46, 200, 2)},
      {"PE section cut short", pe.substr(0, pe.size() - 1)},
      {"PE export table in no section", Patched(pe, 0x58 + 112, 0x9000, 4)},
      {"PE export table at its section's end",
       Patched(pe, 0x58 + 112, 0x1000 + sectionBytes - 20, 4)},
      // Its section lies where the file's first bytes, "MZ\0\0", would
      // point, were they read as the one name's address.
      {"PE name table in no section",
       Patched(Patched(Pe(Exported(kWanted), 0x5A00), 0x200 + 32, 0x9000, 4), 0x200 + 24, 1, 4)},
      {"PE name table past its section", endless},
      {"PE name in no section", Patched(pe, 0x200 + 40, 0x9000, 4)},
      {"PE last name without its end",
       Patched(pe.substr(0, pe.size() - 1), section + 16, sectionBytes - 1, 4)},
  };
  for (const auto& c : cases) {
    const LibraryImage image = ReadLibraryImage(c.bytes, kWanted);
    EXPECT_TRUE(image.damaged) << c.name << ": " << image.missing.size() << " missing";
    EXPECT_TRUE(image.missing.empty()) << c.name;
  }
  // Cut anywhere past its headers, a library is damaged, never one that
  // lacks functions.
  for (const std::string& whole : {elf, pe}) {
    for (size_t length = 0x60; length < whole.size(); ++length) {
      const LibraryImage image =
          ReadLibraryImage(std::string_view(whole).substr(0, length), kWanted);
      EXPECT_TRUE(image.damaged && image.missing.empty())
          << (whole == pe ? "PE" : "ELF") << " cut at " << length << " of " << whole.size();
    }
  }
}

TEST(ReadLibraryImageTest, ExportsAsALoaderFindsThem) {
  std::vector<Symbol> symbols = Exported(kWanted);
  // An older SDK: the first and the last are missing; the third is there
  // but a loader can't find it by name (undefined, local or hidden).
  symbols.erase(symbols.begin());
  symbols.pop_back();
  symbols[1].exported = false;
  symbols.push_back(Symbol{"SteamAPI_RunCallbacksX"});  // a longer name is another name
  symbols.push_back(Symbol{"SteamAPI_RunCallback"});
  const std::vector<std::string_view> missing = {kWanted[0], kWanted[2], kWanted[6]};
  for (size_t way = 0; way < 3; ++way) {
    // Shift the unexported symbol through the three ways of the ELF maker.
    std::vector<Symbol> shifted(way, Symbol{"padding"});
    shifted.insert(shifted.end(), symbols.begin(), symbols.end());
    EXPECT_EQ(ReadLibraryImage(Elf(shifted), kWanted).missing, missing) << "way " << way;
  }
  EXPECT_EQ(ReadLibraryImage(Pe(symbols), kWanted).missing, missing);
  EXPECT_EQ(ReadLibraryImage(Elf({}), kWanted).missing, kWanted);
  EXPECT_EQ(ReadLibraryImage(Pe({}), kWanted).missing, kWanted);
}

// Hostile bytes: every cut of a sound library and random damage to it
// give an answer, never a read outside the bytes (the sanitizer build
// watches) or a hang.
TEST(ReadLibraryImageTest, AnyBytesGiveAnAnswer) {
  std::mt19937 random(20240607);
  for (const std::string& whole : {Elf(Exported(kWanted)), Pe(Exported(kWanted))}) {
    for (size_t length = 0; length <= whole.size(); ++length) {
      ReadLibraryImage(std::string_view(whole).substr(0, length), kWanted);
    }
    for (int round = 0; round < 2000; ++round) {
      std::string damaged = whole;
      for (int flips = 1 + round % 8; flips > 0; --flips) {
        damaged[random() % damaged.size()] = static_cast<char>(random());
      }
      ReadLibraryImage(damaged, kWanted);
    }
  }
}

class CheckClientLibraryTest : public testing::Test {
 protected:
  void Write(const std::string& name, const std::string& bytes) {
    std::ofstream(folder_.Path() / name, std::ios::binary) << bytes;
  }
  std::vector<Diagnostic> Check(const char* name, platform::LibraryFormat format) {
    return CheckClientLibrary(
        folder_.Path().string() + static_cast<char>(fs::path::preferred_separator), name, format);
  }

  ScratchFolder folder_{"client-library"};
};

// One error naming the cause, or nothing for a library that would load.
TEST_F(CheckClientLibraryTest, OneErrorNamingTheCause) {
  using platform::LibraryFormat;
  const struct {
    const char* name;
    const char* file;
    std::string bytes;
    LibraryFormat format;
    const char* cause;  // "" when the library would load
  } cases[] = {
      {"ELF", "libsteam_api.so", Elf(Exported(kWanted)), LibraryFormat::kElf, ""},
      {"PE", "steam_api64.dll", Pe(Exported(kWanted)), LibraryFormat::kPe, ""},
      {"PE on Linux", "libsteam_api.so", Pe(Exported(kWanted)), LibraryFormat::kElf,
       "a Windows library (DLL), not a Linux one"},
      {"ELF on Windows", "steam_api64.dll", Elf(Exported(kWanted)), LibraryFormat::kPe,
       "a Linux library (ELF), not a Windows one"},
      {"old SDK", "steam_api64.dll", Pe(Exported({kWanted[0]})), LibraryFormat::kPe,
       "lacks SteamInternal_ContextInit, SteamInternal_FindOrCreateUserInterface, "
       "SteamAPI_GetHSteamUser, SteamAPI_RegisterCallResult, SteamAPI_UnregisterCallResult, "
       "SteamAPI_RunCallbacks (6 of the 7"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Write(c.file, c.bytes);
    const std::vector<Diagnostic> findings = Check(c.file, c.format);
    if (*c.cause == '\0') {
      EXPECT_TRUE(findings.empty()) << findings.front().message;
      continue;
    }
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_TRUE(findings[0].error());
    EXPECT_NE(findings[0].message.find(c.cause), std::string::npos) << findings[0].message;
    EXPECT_NE(findings[0].message.find(std::string("Copy ") + c.file), std::string::npos)
        << findings[0].message;
  }
}

TEST_F(CheckClientLibraryTest, Names32BitLibraryInItsPlace) {
  std::string pe32 = Patched(Patched(Pe(Exported(kWanted)), 0x44, 0x14C, 2), 0x58, 0x10B, 2);
  Write("steam_api.dll", pe32);
  const std::vector<Diagnostic> findings = Check("steam_api64.dll", platform::LibraryFormat::kPe);
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_NE(findings[0].message.find("steam_api.dll is, but that is the library for 32-bit"),
            std::string::npos)
      << findings[0].message;
  // Not on Linux, whose 32-bit library has the same name.
  EXPECT_EQ(
      Check("libsteam_api.so", platform::LibraryFormat::kElf)[0].message.find("steam_api.dll"),
      std::string::npos);
  // No program folder known: no library.
  EXPECT_EQ(CheckClientLibrary("", "steam_api64.dll", platform::LibraryFormat::kPe).size(), 1u);
}

}  // namespace
