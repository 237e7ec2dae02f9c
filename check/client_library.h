// modpublish-check's look at the Steam client library beside the programs:
// whether modpublish could load it and find every function it needs. The
// file is read, never loaded: the PE export table (Windows) or the ELF
// dynamic symbol table (Linux) tells what a loader would find.
#ifndef MODPUBLISH_CHECK_CLIENT_LIBRARY_H_
#define MODPUBLISH_CHECK_CLIENT_LIBRARY_H_

#include <string>
#include <string_view>
#include <vector>

#include "check/finding.h"
#include "platform/platform.h"

// What a file's bytes say about it as a shared library.
struct LibraryImage {
  enum class Kind {
    kUnknown,     // neither a PE nor an ELF file
    kPeProgram,   // a PE file that is no DLL (a program, or a DOS one)
    kElfProgram,  // an ELF file that is no shared object (a program or an object file)
    kPe,          // a DLL
    kElf,         // an ELF shared object
  };
  Kind kind = Kind::kUnknown;
  // For PE and ELF files: built for 64-bit x86 (a PE32+ image for AMD64; a
  // 64-bit little-endian ELF file for x86-64), and what it is built for in
  // words ("64-bit x86", "32-bit x86", "64-bit ARM", "machine 0x1234").
  bool x64 = false;
  std::string machine;
  // For a 64-bit x86 DLL or shared object: part of what a loader reads lies
  // past the end of the file, as in a file cut short. PE: the section
  // table, a section's raw data, or, of the export table, its directory,
  // its table of names or a name (running past the end of its section).
  // ELF: the program or section headers, a loadable segment, the dynamic
  // symbol table or its string table, or a name of an exported symbol
  // (running past the end of the string table).
  bool damaged = false;
  // For a 64-bit x86 DLL or shared object that is not damaged: the names of
  // `wanted` that it does not export, in the order of `wanted`.
  std::vector<std::string_view> missing;
};

// Reads `bytes`, a whole file, as a shared library and looks for the names
// in `wanted` among its exports: for PE, the names of the export table
// (forwarded ones too); for ELF, the defined global or weak symbols of the
// dynamic symbol table with default or protected visibility. Every offset
// and count in the file is checked against its size: any bytes give an
// answer, in time linear in their size.
LibraryImage ReadLibraryImage(std::string_view bytes, const std::vector<std::string_view>& wanted);

// The findings about the client library `fileName` in `folder` (the
// program's folder, ending in its separator; "" when the system won't say,
// which counts as no library there): missing, not a library, a library for
// another machine or platform, damaged, or lacking one of the functions the
// tool resolves (platform/client_library_exports.h). `format` is the
// platform's library format; with PE, a 32-bit steam_api.dll found in place
// of the library is named. Each finding is a kClientLibrary, since
// modpublish's first step fails; none when the library would load.
std::vector<Diagnostic> CheckClientLibrary(const std::string& folder, const char* fileName,
                                           platform::LibraryFormat format);

#endif  // MODPUBLISH_CHECK_CLIENT_LIBRARY_H_
