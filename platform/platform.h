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
#include <string_view>
#include <vector>

namespace platform {

// The byte that separates a folder from a file name in the paths the tool
// composes: '\\' on Windows, '/' elsewhere.
extern const char kPathSeparator;

// Whether a file or folder name may hold a double quote: yes on POSIX; not
// on Windows, where a '"' inside an argument comes from how the command
// line was quoted (a backslash before a closing quote escapes it).
extern const bool kNamesHoldQuotes;

// The file name of the Steam client library on this platform:
// "steam_api64.dll" on Windows, "libsteam_api.so" elsewhere.
extern const char* const kSteamLibraryName;

// The file format of this platform's shared libraries, for checks that read
// one without loading it: PE on Windows, ELF elsewhere.
enum class LibraryFormat { kPe, kElf };
extern const LibraryFormat kLibraryFormat;

// Loads the shared library `fileName` from trusted places only: the folder
// of the running program first, then the system's own library folders. The
// current folder is never searched, so a library planted in a downloaded
// mod folder is never picked up. Shows no loader dialog. Returns an opaque
// handle, or null when the library is missing or can't be loaded, a file
// cut short included (which the POSIX loader would map and then crash on). A loaded
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

// The width in columns of the terminal or console `stream` writes to: the
// column after which a line wraps. 0 when it is none, or won't say.
int TerminalColumns(std::FILE* stream);

// Makes the terminal or console `stream` writes to take the ANSI control
// sequences that move the cursor up and right and erase (ESC [ n A, ESC [
// n C, ESC [ J). Returns whether it takes them: a POSIX terminal does
// unless TERM is unset or "dumb"; a Windows console does once its
// virtual-terminal processing is switched on here (Windows 10 and later),
// and gets its previous mode back when the process ends, as
// UseUtf8ConsoleOutput does for the code page. False when `stream` is no
// terminal.
bool UseTerminalControlSequences(std::FILE* stream);

// True when the program is the only process attached to its console: on
// Windows, it was started by a double-click or by dropping something on
// it, and its console window closes the moment it ends. False when it was
// started from a console (cmd, PowerShell, a terminal), which another
// process shares, when it has no console, and always on POSIX, where a
// terminal outlives the programs run in it.
bool IsOnlyProcessOnConsole();

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

// Makes `path` absolute, for a program that works in another folder (the
// Steam client does the upload in its own). Returns false, leaving
// `absolute` alone, when the current folder can't be determined (on POSIX,
// say, because it was removed) or `path` is empty or holds a NUL byte.
// - POSIX: a path that starts with '/' is returned unchanged; any other
//   becomes the current folder, '/', then `path`. Nothing is normalised and
//   no symbolic link is resolved: a folder the author reaches through a
//   link keeps that name.
// - Windows: GetFullPathNameW, which also makes '/' into '\\', resolves a
//   drive-relative path such as "C:mod" against that drive's current folder
//   and removes "." and ".." segments, absolute paths included. `path` is
//   read in the active code page and the result is UTF-8, the encoding
//   Steam expects; under the programs' manifest both are UTF-8. Fails also
//   when `path` isn't valid in that code page.
bool MakeAbsolutePath(const std::string& path, std::string& absolute);

// Whether `path` names its place without a folder to start from: on POSIX
// it starts with '/'; on Windows with '\\' or '/', or with a drive letter
// and ':' ("C:\\mods", and "C:mods", which depends on that drive alone).
// A path that isn't rooted is taken from some folder the caller chooses.
bool IsRootedPath(std::string_view path);

// Why a file or folder can't be opened, listed or looked at.
enum class AccessProblem {
  kNone,
  kDenied,       // the user has no permission
  kInUse,        // another program holds it open without sharing it (Windows)
  kPathTooLong,  // the path is longer than Windows takes (MAX_PATH, 260
                 // characters) without its long-path setting
  kTooDeep,      // the path is longer than the system takes at all (POSIX:
                 // PATH_MAX): folders nested too deep
  kGone,         // nothing there (any more)
  kOther,        // anything else, such as a disk error
};

// What a path names, for checks that must not open or load it.
enum class PathKind {
  kMissing,  // nothing there, or the path can't be looked at
  kFile,     // a regular file
  kFolder,
  kOther,  // a device, socket, pipe or the like
};

// Which file or folder a path leads to: two paths lead to the same one
// exactly when their identities are equal (a link and its target, two hard
// links). POSIX: the device and inode numbers; Windows: the volume serial
// number and the file index.
struct FileIdentity {
  uint64_t volume = 0;
  uint64_t index = 0;

  bool operator==(const FileIdentity& other) const {
    return volume == other.volume && index == other.index;
  }
  bool operator<(const FileIdentity& other) const {
    return volume != other.volume ? volume < other.volume : index < other.index;
  }
};

// Looks `path` up without reading it, following symbolic links (and, on
// Windows, every other kind of reparse point the system follows when it
// opens a path) to what they lead to. Sets `size` to the byte count of a
// regular file, else to 0. When `identity` is not null, sets it to the
// identity of the file or folder found, and leaves it alone for the other
// kinds. A link that leads nowhere (its target is missing, or links lead in
// a circle) is kMissing.
PathKind StatPath(const std::string& path, uint64_t& size, FileIdentity* identity = nullptr);

// One entry of a folder: its name (bytes, no separator) and, like StatPath,
// what it leads to once links are followed.
struct FolderEntry {
  std::string name;
  PathKind kind = PathKind::kMissing;  // kMissing for a link that leads nowhere
  uint64_t size = 0;                   // regular files only
  FileIdentity identity;               // files and folders only
  bool isLink = false;                 // a symbolic link or other reparse point itself
  bool linkLoops = false;              // kMissing because links lead in a circle
  // Why it is kMissing (kGone for a link that leads nowhere); for a
  // regular file that ListFolder was asked to open, why it can't be opened.
  AccessProblem problem = AccessProblem::kNone;
};

// Lists the entries of `folder`, without "." and "..", in no particular
// order. Returns kNone, or why it is no folder or can't be read. An entry
// that can't be looked at is listed as kMissing, with why in its `problem`.
// With `openFiles`, every regular file is also opened for reading and
// closed again, nothing read, as a program that copies it would open it:
// on Windows with read sharing alone, so a file another program has open
// for writing, or shares with no one, can't be opened; its `problem` says
// why. (Wine leaves links that lead nowhere out of the listing altogether.)
AccessProblem ListFolder(const std::string& folder, std::vector<FolderEntry>& entries,
                         bool openFiles = false);

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
