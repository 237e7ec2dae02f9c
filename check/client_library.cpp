#include "check/client_library.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <utility>

#include "check/read_file.h"
#include "console/console.h"
#include "platform/client_library_exports.h"

namespace {

// Far more than any client library (the real ones are under 1 MB); a bigger
// file is not read into memory.
constexpr size_t kLibraryReadLimit = size_t{64} << 20;

// Little-endian or big-endian fields of a file's bytes. Every read says
// whether the field lies inside the bytes; offsets come from the file, so
// none is trusted.
class Fields {
 public:
  Fields(std::string_view bytes, bool bigEndian) : bytes_(bytes), bigEndian_(bigEndian) {}

  size_t size() const { return bytes_.size(); }

  bool Has(uint64_t offset, uint64_t length) const {
    return offset <= bytes_.size() && length <= bytes_.size() - offset;
  }

  // The `width`-byte unsigned field at `offset`; false when it runs past the
  // end.
  bool Read(uint64_t offset, size_t width, uint64_t& value) const {
    if (!Has(offset, width)) {
      return false;
    }
    value = 0;
    for (size_t i = 0; i < width; ++i) {
      const size_t at = bigEndian_ ? i : width - 1 - i;
      value = (value << 8) | static_cast<unsigned char>(bytes_[offset + at]);
    }
    return true;
  }

  // What is found of a NUL-terminated name.
  enum class NameEnd {
    kFound,   // it ends (with its NUL) before `end`, within `limit` bytes
    kLonger,  // it is longer than `limit` bytes, and that is all that is known
    kCut,     // it runs to `end` without its NUL
  };

  // The NUL-terminated name at `offset`, which must end before `end`. The
  // names looked for are short, so a longer one needs no more reading: at
  // most `limit` + 1 bytes are looked at.
  NameEnd Name(uint64_t offset, uint64_t end, size_t limit, std::string_view& name) const {
    end = std::min<uint64_t>(end, bytes_.size());
    if (offset >= end) {
      return NameEnd::kCut;
    }
    const std::string_view rest =
        bytes_.substr(offset, std::min<uint64_t>(end - offset, uint64_t{limit} + 1));
    const size_t nul = rest.find('\0');
    if (nul == std::string_view::npos) {
      return rest.size() == end - offset ? NameEnd::kCut : NameEnd::kLonger;
    }
    name = rest.substr(0, nul);
    return NameEnd::kFound;
  }

 private:
  std::string_view bytes_;
  bool bigEndian_;
};

// The names of `wanted` not seen yet; Seen crosses them off.
class WantedNames {
 public:
  explicit WantedNames(const std::vector<std::string_view>& wanted) : wanted_(wanted) {
    found_.assign(wanted.size(), false);
    for (std::string_view name : wanted) {
      longest_ = std::max(longest_, name.size());
    }
  }

  size_t longest() const { return longest_; }

  void Seen(std::string_view name) {
    for (size_t i = 0; i < wanted_.size(); ++i) {
      if (!found_[i] && wanted_[i] == name) {
        found_[i] = true;
      }
    }
  }

  std::vector<std::string_view> Missing() const {
    std::vector<std::string_view> missing;
    for (size_t i = 0; i < wanted_.size(); ++i) {
      if (!found_[i]) {
        missing.push_back(wanted_[i]);
      }
    }
    return missing;
  }

 private:
  const std::vector<std::string_view>& wanted_;
  std::vector<bool> found_;
  size_t longest_ = 0;
};

// Crosses the NUL-terminated name at `offset`, which must end before
// `end`, off `wanted`; false when it runs to `end` without its NUL, as in a
// file cut short. A name longer than any wanted is read no further.
bool SeeName(const Fields& file, uint64_t offset, uint64_t end, WantedNames& wanted) {
  std::string_view name;
  const Fields::NameEnd found = file.Name(offset, end, wanted.longest(), name);
  if (found == Fields::NameEnd::kFound) {
    wanted.Seen(name);
  }
  return found != Fields::NameEnd::kCut;
}

std::string MachineName(uint64_t code, const std::pair<uint64_t, const char*>* names,
                        size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (names[i].first == code) {
      return names[i].second;
    }
  }
  char text[32];
  std::snprintf(text, sizeof text, "machine 0x%04X", static_cast<unsigned>(code));
  return text;
}

// ---------------------------------------------------------------- ELF

constexpr uint64_t kElfX86_64 = 62;
constexpr std::pair<uint64_t, const char*> kElfMachines[] = {
    {3, "32-bit x86"}, {40, "32-bit ARM"}, {kElfX86_64, "64-bit x86"}, {183, "64-bit ARM"}};
constexpr uint64_t kElfSharedObject = 3;     // e_type ET_DYN
constexpr uint64_t kElfDynamicSymbols = 11;  // sh_type SHT_DYNSYM
constexpr uint64_t kElfLoad = 1;             // p_type PT_LOAD
constexpr uint64_t kElfSectionHeaderBytes = 64;
constexpr uint64_t kElfProgramHeaderBytes = 56;
constexpr uint64_t kElfSymbolBytes = 24;

// A 64-bit little-endian x86-64 shared object: the loader maps every
// loadable segment from the file, so each must lie inside it; then its
// dynamic symbols, found through the section headers.
void ReadElfExports(const Fields& elf, WantedNames& wanted, LibraryImage& image) {
  uint64_t segmentsAt = 0;
  uint64_t segmentBytes = 0;
  uint64_t segmentCount = 0;
  uint64_t sectionsAt = 0;
  uint64_t entryBytes = 0;
  uint64_t count = 0;
  if (!elf.Read(0x20, 8, segmentsAt) || !elf.Read(0x28, 8, sectionsAt) ||
      !elf.Read(0x36, 2, segmentBytes) || !elf.Read(0x38, 2, segmentCount) ||
      !elf.Read(0x3A, 2, entryBytes) || !elf.Read(0x3C, 2, count)) {
    image.damaged = true;
    return;
  }
  if (segmentCount != 0 && (segmentBytes < kElfProgramHeaderBytes ||
                            !elf.Has(segmentsAt, segmentCount * segmentBytes))) {
    image.damaged = true;
    return;
  }
  for (uint64_t segment = 0; segment < segmentCount; ++segment) {
    const uint64_t header = segmentsAt + segment * segmentBytes;
    uint64_t type = 0;
    uint64_t offset = 0;
    uint64_t fileBytes = 0;
    elf.Read(header, 4, type);
    elf.Read(header + 8, 8, offset);
    elf.Read(header + 32, 8, fileBytes);
    if (type == kElfLoad && !elf.Has(offset, fileBytes)) {
      image.damaged = true;
      return;
    }
  }
  if (count == 0) {
    return;  // no sections, so no dynamic symbol table to read
  }
  if (entryBytes < kElfSectionHeaderBytes || !elf.Has(sectionsAt, count * entryBytes)) {
    image.damaged = true;
    return;
  }
  for (uint64_t section = 0; section < count; ++section) {
    const uint64_t header = sectionsAt + section * entryBytes;
    uint64_t type = 0;
    elf.Read(header + 4, 4, type);
    if (type != kElfDynamicSymbols) {
      continue;
    }
    uint64_t offset = 0;
    uint64_t size = 0;
    uint64_t link = 0;
    uint64_t symbolBytes = 0;
    elf.Read(header + 24, 8, offset);
    elf.Read(header + 32, 8, size);
    elf.Read(header + 40, 4, link);
    elf.Read(header + 56, 8, symbolBytes);
    // The section headers lie in the file, the linked one too.
    uint64_t stringsAt = 0;
    uint64_t stringsSize = 0;
    elf.Read(sectionsAt + link * entryBytes + 24, 8, stringsAt);
    elf.Read(sectionsAt + link * entryBytes + 32, 8, stringsSize);
    if (link >= count || symbolBytes < kElfSymbolBytes || !elf.Has(offset, size) ||
        !elf.Has(stringsAt, stringsSize)) {
      image.damaged = true;
      return;
    }
    for (uint64_t symbol = offset; size - (symbol - offset) >= kElfSymbolBytes;
         symbol += symbolBytes) {
      uint64_t nameAt = 0;
      uint64_t info = 0;
      uint64_t other = 0;
      uint64_t sectionIndex = 0;
      elf.Read(symbol, 4, nameAt);
      elf.Read(symbol + 4, 1, info);
      elf.Read(symbol + 5, 1, other);
      elf.Read(symbol + 6, 2, sectionIndex);
      const uint64_t binding = info >> 4;     // 1 global, 2 weak, 10 unique
      const uint64_t visibility = other & 3;  // 0 default, 3 protected
      if (sectionIndex != 0 && (binding == 1 || binding == 2 || binding == 10) &&
          (visibility == 0 || visibility == 3)) {
        // A name past the end of the string table is damage, not a
        // function the library lacks.
        if (!SeeName(elf, stringsAt + nameAt, stringsAt + stringsSize, wanted)) {
          image.damaged = true;
          return;
        }
      }
      if (symbolBytes > size - (symbol - offset)) {
        break;
      }
    }
    return;  // one dynamic symbol table per file
  }
}

void ReadElf(std::string_view bytes, WantedNames& wanted, LibraryImage& image) {
  const bool is64 = bytes[4] == 2;
  const Fields elf(bytes, bytes[5] == 2);
  uint64_t type = 0;
  uint64_t machine = 0;
  if (!elf.Read(16, 2, type) || !elf.Read(18, 2, machine)) {
    return;  // not even a whole header: no ELF file
  }
  image.kind =
      type == kElfSharedObject ? LibraryImage::Kind::kElf : LibraryImage::Kind::kElfProgram;
  image.machine = MachineName(machine, kElfMachines, std::size(kElfMachines));
  if (!is64 && machine == kElfX86_64) {
    image.machine = "32-bit x86 (x32)";
  }
  if (bytes[5] == 2) {
    image.machine += ", big-endian";
  }
  image.x64 = is64 && bytes[5] == 1 && machine == kElfX86_64;
  if (image.x64 && image.kind == LibraryImage::Kind::kElf) {
    ReadElfExports(elf, wanted, image);
  }
}

// ---------------------------------------------------------------- PE

constexpr uint64_t kPeAmd64 = 0x8664;
constexpr std::pair<uint64_t, const char*> kPeMachines[] = {
    {0x14C, "32-bit x86"}, {0x1C4, "32-bit ARM"}, {kPeAmd64, "64-bit x86"}, {0xAA64, "64-bit ARM"}};
constexpr uint64_t kPeDll = 0x2000;  // IMAGE_FILE_DLL
constexpr uint64_t kPe32Plus = 0x20B;
constexpr uint64_t kPeSectionBytes = 40;

struct PeSection {
  uint64_t address = 0;  // relative virtual address
  uint64_t rawSize = 0;
  uint64_t rawAt = 0;
};

// Where relative virtual addresses lie in the file.
class PeAddresses {
 public:
  explicit PeAddresses(std::vector<PeSection> sections) : sections_(std::move(sections)) {
    std::sort(sections_.begin(), sections_.end(),
              [](const PeSection& a, const PeSection& b) { return a.address < b.address; });
  }

  // The file offset of `address`, and how many bytes of its section follow
  // it in the file; false when no section holds it in the file.
  bool Find(uint64_t address, uint64_t& offset, uint64_t& left) const {
    auto after = std::upper_bound(
        sections_.begin(), sections_.end(), address,
        [](uint64_t wanted, const PeSection& section) { return wanted < section.address; });
    if (after == sections_.begin()) {
      return false;
    }
    const PeSection& section = *(after - 1);
    if (address - section.address >= section.rawSize) {
      return false;
    }
    offset = section.rawAt + (address - section.address);
    left = section.rawSize - (address - section.address);
    return true;
  }

 private:
  std::vector<PeSection> sections_;
};

// A PE32+ DLL for AMD64: the loader maps every section's raw data from the
// file, so each must lie inside it; then the names of its export table.
void ReadPeExports(const Fields& pe, uint64_t header, WantedNames& wanted, LibraryImage& image) {
  // ReadPe has read the file header, and the optional header's first field.
  uint64_t sectionCount = 0;
  uint64_t optionalBytes = 0;
  pe.Read(header + 6, 2, sectionCount);
  pe.Read(header + 20, 2, optionalBytes);
  const uint64_t optional = header + 24;
  const uint64_t table = optional + optionalBytes;
  if (!pe.Has(table, sectionCount * kPeSectionBytes)) {
    image.damaged = true;
    return;
  }
  std::vector<PeSection> sections(sectionCount);
  for (uint64_t i = 0; i < sectionCount; ++i) {
    const uint64_t at = table + i * kPeSectionBytes;
    pe.Read(at + 12, 4, sections[i].address);
    pe.Read(at + 16, 4, sections[i].rawSize);
    pe.Read(at + 20, 4, sections[i].rawAt);
    if (sections[i].rawSize != 0 && !pe.Has(sections[i].rawAt, sections[i].rawSize)) {
      image.damaged = true;
      return;
    }
  }
  // The export directory is entry 0 of the data directories, when the
  // optional header holds it; the header ends before the section table, so
  // in the file.
  uint64_t directoryCount = 0;
  uint64_t exportsAddress = 0;
  uint64_t exportsSize = 0;
  if (optionalBytes >= 112 + 8) {
    pe.Read(optional + 108, 4, directoryCount);
    pe.Read(optional + 112, 4, exportsAddress);
    pe.Read(optional + 116, 4, exportsSize);
  }
  if (directoryCount == 0 || exportsAddress == 0 || exportsSize == 0) {
    return;  // exports nothing
  }
  // From here on every place found through a section lies in the file.
  const PeAddresses addresses(std::move(sections));
  uint64_t directory = 0;
  uint64_t left = 0;
  if (!addresses.Find(exportsAddress, directory, left) || left < 40) {
    image.damaged = true;
    return;
  }
  uint64_t nameCount = 0;
  uint64_t namesAddress = 0;
  pe.Read(directory + 24, 4, nameCount);
  pe.Read(directory + 32, 4, namesAddress);
  if (nameCount == 0) {
    return;
  }
  // The table of name addresses lies in one section.
  uint64_t names = 0;
  if (!addresses.Find(namesAddress, names, left) || left / 4 < nameCount) {
    image.damaged = true;
    return;
  }
  for (uint64_t i = 0; i < nameCount; ++i) {
    uint64_t nameAddress = 0;
    uint64_t nameAt = 0;
    uint64_t nameLeft = 0;
    pe.Read(names + i * 4, 4, nameAddress);
    // A name outside every section, or one that runs past the end of its
    // own, is damage, not a function the library lacks.
    if (!addresses.Find(nameAddress, nameAt, nameLeft) ||
        !SeeName(pe, nameAt, nameAt + nameLeft, wanted)) {
      image.damaged = true;
      return;
    }
  }
}

void ReadPe(std::string_view bytes, WantedNames& wanted, LibraryImage& image) {
  const Fields pe(bytes, false);
  uint64_t header = 0;
  uint64_t signature = 0;
  // A DOS program has the MZ header but no PE header behind it.
  image.kind = LibraryImage::Kind::kPeProgram;
  image.machine = "DOS";
  if (!pe.Read(0x3C, 4, header) || !pe.Read(header, 4, signature) || signature != 0x4550) {
    return;
  }
  uint64_t machine = 0;
  uint64_t characteristics = 0;
  uint64_t magic = 0;
  if (!pe.Read(header + 4, 2, machine) || !pe.Read(header + 22, 2, characteristics) ||
      !pe.Read(header + 24, 2, magic)) {
    return;
  }
  image.machine = MachineName(machine, kPeMachines, std::size(kPeMachines));
  image.kind =
      (characteristics & kPeDll) != 0 ? LibraryImage::Kind::kPe : LibraryImage::Kind::kPeProgram;
  image.x64 = machine == kPeAmd64 && magic == kPe32Plus;
  if (image.x64 && image.kind == LibraryImage::Kind::kPe) {
    ReadPeExports(pe, header, wanted, image);
  }
}

// ---------------------------------------------------------------- findings

bool LooksLikeText(std::string_view bytes) {
  const std::string_view start = bytes.substr(0, 512);
  return !start.empty() && std::all_of(start.begin(), start.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x20 || byte == '\t' || byte == '\n' || byte == '\r';
  });
}

// What the file is instead of a library the tool can load; "" when it is
// one.
std::string WhatItIs(const LibraryImage& image, std::string_view bytes,
                     platform::LibraryFormat format) {
  using Kind = LibraryImage::Kind;
  const bool windows = format == platform::LibraryFormat::kPe;
  switch (image.kind) {
    case Kind::kUnknown:
      if (LooksLikeText(bytes)) {
        const std::string_view line = bytes.substr(0, bytes.find_first_of("\r\n"));
        return "not a library but text starting with \"" + Excerpt(line, 40) +
               "\" (a saved web page or a note saved under the library's name)";
      }
      return bytes.empty() ? "an empty file, not a library" : "not a library at all";
    case Kind::kPeProgram:
      return "a Windows program, not a library";
    case Kind::kElfProgram:
      return "a Linux program or object file, not a library";
    case Kind::kPe:
    case Kind::kElf:
      break;
  }
  if ((image.kind == Kind::kPe) != windows) {
    return windows ? "a Linux library (ELF), not a Windows one"
                   : "a Windows library (DLL), not a Linux one";
  }
  if (!image.x64) {
    return "built for " + image.machine + ", where modpublish is a 64-bit x86 program";
  }
  if (image.damaged) {
    return "cut short: part of what a loader reads of it lies past the end of the file, as "
           "after a download or copy that stopped early";
  }
  return std::string();
}

}  // namespace

LibraryImage ReadLibraryImage(std::string_view bytes, const std::vector<std::string_view>& wanted) {
  LibraryImage image;
  WantedNames names(wanted);
  if (bytes.size() >= 6 && bytes.substr(0, 4) ==
                               "\x7F"
                               "ELF") {
    ReadElf(bytes, names, image);
  } else if (bytes.size() >= 2 && bytes.substr(0, 2) == "MZ") {
    ReadPe(bytes, names, image);
  }
  if ((image.kind == LibraryImage::Kind::kPe || image.kind == LibraryImage::Kind::kElf) &&
      image.x64 && !image.damaged) {
    image.missing = names.Missing();
  }
  return image;
}

std::vector<Diagnostic> CheckClientLibrary(const std::string& folder, const char* fileName,
                                           platform::LibraryFormat format) {
  const bool windows = format == platform::LibraryFormat::kPe;
  const std::string from = std::string(
                               " from the game's installation folder or the "
                               "Steamworks SDK (redistributable_bin/") +
                           (windows ? "win64" : "linux64") + ") into this folder";
  const std::string fix = std::string(" Copy ") + fileName + ", the 64-bit library," + from;
  const std::string fails =
      ", so modpublish can't load it and the \"Initializing SteamAPI\" step will fail.";
  std::vector<Diagnostic> findings;
  auto fail = [&findings](std::string message) {
    findings.push_back(Diagnostic{0, FindingKind::kClientLibrary, std::move(message)});
  };

  FileBytes bytes;
  uint64_t size = 0;
  const FileStatus read = folder.empty()
                              ? FileStatus::kMissing
                              : ReadRegularFile(folder + fileName, kLibraryReadLimit, bytes, size);
  if (read == FileStatus::kMissing) {
    uint64_t ignored = 0;
    // The 32-bit library of the Steamworks SDK, copied by mistake.
    if (windows && !folder.empty() &&
        platform::StatPath(folder + "steam_api.dll", ignored) == platform::PathKind::kFile) {
      fail(std::string("the Steam client library is not beside modpublish; steam_api.dll is, "
                       "but that is the library for 32-bit programs, and modpublish is a "
                       "64-bit program, so the \"Initializing SteamAPI\" step will fail.") +
           fix);
    } else {
      fail(std::string("the Steam client library is not beside modpublish, so the "
                       "\"Initializing SteamAPI\" step will fail.") +
           fix);
    }
    return findings;
  }
  if (read != FileStatus::kRead) {
    fail(std::string("the Steam client library ") +
         (read == FileStatus::kNotAFile ? "is not a regular file" : "can't be read") + fails + fix);
    return findings;
  }
  if (size > kLibraryReadLimit) {
    fail("the Steam client library is " + std::to_string(size) +
         " bytes, far bigger than the real one (under 1 MB)" + fails + fix);
    return findings;
  }
  std::vector<std::string_view> wanted(std::begin(platform::kClientLibraryExports),
                                       std::end(platform::kClientLibraryExports));
  const LibraryImage image = ReadLibraryImage(bytes.view(), wanted);
  const std::string other = WhatItIs(image, bytes.view(), format);
  if (!other.empty()) {
    fail("the Steam client library is " + other + fails +
         (image.damaged ? std::string(" Copy ") + fileName + " again" + from : fix));
    return findings;
  }
  if (!image.missing.empty()) {
    std::string names;
    for (std::string_view name : image.missing) {
      names += (names.empty() ? "" : ", ") + std::string(name);
    }
    fail("the Steam client library lacks " + names + " (" + std::to_string(image.missing.size()) +
         " of the " + std::to_string(wanted.size()) +
         " functions modpublish uses), so it comes from an older Steamworks SDK than modpublish "
         "is built for, and the \"Initializing SteamAPI\" step will fail. Copy " +
         fileName +
         " from the game's installation folder if the game is up to date, or from a current "
         "Steamworks SDK (redistributable_bin/" +
         (windows ? "win64" : "linux64") + "), into this folder");
  }
  return findings;
}
