// The one seam between the tool and the operating system. Everything that
// differs between Windows and POSIX (loading a library, sleeping, opening a
// file, asking whether standard output is a terminal) lives behind these few
// functions; platform_win32.cpp and platform_posix.cpp implement them and the
// build picks one.
#ifndef MODPUBLISH_PLATFORM_PLATFORM_H_
#define MODPUBLISH_PLATFORM_PLATFORM_H_

#include <cstddef>
#include <cstdio>
#include <string>

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
// missing, can't be read, or is a folder. The caller closes the stream.
std::FILE* OpenFileForReading(const std::string& path);

// True when `stream` is connected to an interactive terminal or console.
bool IsTerminal(std::FILE* stream);

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

}  // namespace platform

#endif  // MODPUBLISH_PLATFORM_PLATFORM_H_
