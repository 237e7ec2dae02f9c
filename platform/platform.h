// The one seam between the tool and the operating system. Everything that
// differs between Windows and POSIX (loading a library, sleeping, opening a
// file, asking whether standard output is a terminal, the console's code
// page) lives behind these few functions; platform_win32.cpp and
// platform_posix.cpp implement them and the build picks one.
#ifndef MODPUBLISH_PLATFORM_PLATFORM_H_
#define MODPUBLISH_PLATFORM_PLATFORM_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace platform {

// The byte that separates a folder from a file name in the paths the tool
// composes: '\\' on Windows, '/' elsewhere.
extern const char kPathSeparator;

// The file name of the Steam client library on this platform:
// "steam_api64.dll" on Windows, "libsteam_api.so" elsewhere.
extern const char* const kSteamLibraryName;

// Loads the shared library `fileName` from trusted places only: the folder
// of the running program first, then the system's own library folders. The
// current folder is never searched, so a library planted in a downloaded
// mod folder is never picked up. Shows no loader dialog. Returns an opaque
// handle, or null when the library is missing or can't be loaded. A loaded
// library stays loaded until the process ends.
void* LoadTrustedLibrary(const char* fileName);

// Returns the address of the exported symbol `name` of a library returned by
// LoadTrustedLibrary, or null when it has no such export.
void* FindSymbol(void* library, const char* name);

// Suspends the calling thread for about `milliseconds`.
void SleepMilliseconds(unsigned milliseconds);

// Opens the regular file at `path` for reading bytes, unchanged (no line-end
// translation: callers that want text-mode rules apply them themselves, so
// the result is the same on every platform). Returns null when the file is
// missing or can't be read, and when it is not a regular file: a folder, a
// named pipe, a socket, a character or block device (on Windows: anything
// that is not a disk file), also when reached through a symbolic link. It
// never waits for a writer or a device. The caller closes the stream.
std::FILE* OpenFileForReading(const std::string& path);

// True when `stream` is connected to an interactive terminal or console.
bool IsTerminal(std::FILE* stream);

// When standard output is a Windows console, makes the console show the
// tool's bytes as UTF-8 (the program's code page): switches its output code
// page to UTF-8 and brings the previous one back when the process ends, by
// exit or by Ctrl+C, Ctrl+Break or the closing of the console. Does nothing
// when standard output is a pipe or a file, which get the bytes unchanged
// either way, nor once it has switched, nor on POSIX, where a terminal takes
// the bytes as they are.
void UseUtf8ConsoleOutput();

// The folder of the running program, ending in kPathSeparator, or "" when
// the system won't say.
std::string ProgramFolder();

// What a path names, for checks that must not open or load it.
enum class PathKind {
  kMissing,  // nothing there, or the path can't be looked at
  kFile,     // a regular file
  kFolder,
  kOther,  // a device, socket, pipe or the like
};

// Looks `path` up without opening it, following symbolic links. Sets `size`
// to the byte count of a regular file, else to 0.
PathKind StatPath(const std::string& path, uint64_t& size);

// One entry of a folder: its name (bytes, no separator) and what it is.
struct FolderEntry {
  std::string name;
  PathKind kind = PathKind::kMissing;
  uint64_t size = 0;    // regular files only
  bool isLink = false;  // a symbolic link or other reparse point
};

// Lists the entries of `folder`, without "." and "..", in no particular
// order. Returns false when it is no folder or can't be read.
bool ListFolder(const std::string& folder, std::vector<FolderEntry>& entries);

// Allocates `bytes` (more than 0) of uninitialised memory for a large
// structure that is filled soon after. Where the system grants transparent
// huge pages on request (Linux), the block asks for them, so that filling it
// costs one page fault per 2 MiB instead of one per 4 KiB page; elsewhere it
// is a plain allocation. Returns null when there is no memory. Release it
// with FreeLargeBlock and the same `bytes`.
void* AllocateLargeBlock(size_t bytes);

// Releases a block from AllocateLargeBlock; `bytes` is the size it was
// asked for. A null `block` is ignored.
void FreeLargeBlock(void* block, size_t bytes);

// Fills `bytes` bytes at `buffer` from the system's random source. Where
// that fails, falls back to a mix of the clock and the process's addresses,
// which differs from run to run but is no secret. Never fails.
void FillRandom(void* buffer, size_t bytes);

}  // namespace platform

#endif  // MODPUBLISH_PLATFORM_PLATFORM_H_
