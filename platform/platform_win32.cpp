#include <io.h>
#include <windows.h>
// After windows.h, which it needs.
#include <bcrypt.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace platform {

const char kPathSeparator = '\\';
const bool kNamesHoldQuotes = false;
const char* const kSteamLibraryName = "steam_api64.dll";
const LibraryFormat kLibraryFormat = LibraryFormat::kPe;

std::string ProgramFolder() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) {
      return std::string();
    }
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

namespace {

// `bytes` in code page `codePage` as UTF-16; false when they aren't valid
// there (a lossy conversion would name another file).
bool ToWide(UINT codePage, const std::string& bytes, std::wstring& wide) {
  const int length = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(),
                                         static_cast<int>(bytes.size()), nullptr, 0);
  if (length <= 0) {
    return false;
  }
  wide.assign(static_cast<size_t>(length), L'\0');
  return MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(),
                             static_cast<int>(bytes.size()), wide.data(), length) == length;
}

// `wide` as UTF-8; false for a lone surrogate, which UTF-8 can't hold.
bool ToUtf8(const std::wstring& wide, std::string& bytes) {
  const int length =
      WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(), static_cast<int>(wide.size()),
                          nullptr, 0, nullptr, nullptr);
  if (length <= 0) {
    return false;
  }
  bytes.assign(static_cast<size_t>(length), '\0');
  return WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(),
                             static_cast<int>(wide.size()), bytes.data(), length, nullptr,
                             nullptr) == length;
}

// The system's handle of `stream`, which the C library hands out as an
// integer; INVALID_HANDLE_VALUE when it has none.
HANDLE HandleOf(std::FILE* stream) {
  // NOLINTNEXTLINE(performance-no-int-to-ptr)
  return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
}

}  // namespace

bool IsRootedPath(std::string_view path) {
  if (!path.empty() && (path[0] == '\\' || path[0] == '/')) {
    return true;
  }
  const bool letter = path.size() >= 2 &&
                      ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
  return letter && path[1] == ':';
}

bool MakeAbsolutePath(const std::string& path, std::string& absolute) {
  std::wstring wide;
  if (path.empty() || path.find('\0') != std::string::npos || path.size() > INT_MAX / 2 ||
      !ToWide(CP_ACP, path, wide)) {
    return false;
  }
  // The size needed changes only if another thread changes the current
  // folder in between; then ask again.
  std::wstring full;
  DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  while (size > 0) {
    full.assign(size, L'\0');
    const DWORD length = GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
    if (length < size) {
      full.resize(length);
      break;
    }
    size = length;
  }
  std::string result;
  if (size == 0 || full.empty() || !ToUtf8(full, result)) {
    return false;
  }
  absolute = std::move(result);
  return true;
}

namespace {

// The console's output code page before UseUtf8ConsoleOutput, 0 while it
// has changed nothing; and the console output mode before
// UseTerminalControlSequences, with the handle it belongs to (null while it
// has changed nothing). Console control handlers run on a thread of their
// own, hence the atomics.
std::atomic<UINT> savedOutputCodePage{0};
std::atomic<DWORD> savedOutputMode{0};
std::atomic<HANDLE> changedModeOf{nullptr};

void RestoreConsole() {
  UINT codePage = savedOutputCodePage.exchange(0);
  if (codePage != 0) {
    SetConsoleOutputCP(codePage);
  }
  HANDLE console = changedModeOf.exchange(nullptr);
  if (console != nullptr) {
    SetConsoleMode(console, savedOutputMode.load());
  }
}

void RestoreAtExit() {
  // What is still buffered is shown in the code page it was written for.
  std::fflush(stdout);
  RestoreConsole();
}

// Ctrl+C and the like end the process without running exit's handlers. No
// flush here: the main thread may hold the stream.
BOOL WINAPI RestoreOnControlEvent(DWORD /*event*/) {
  RestoreConsole();
  return FALSE;  // the default handling (ending the process) goes on
}

// The console is shared with the program that started this one (cmd, say):
// whatever is changed in it is changed back when this process ends.
void RestoreWhenProcessEnds() {
  static std::atomic<bool> registered{false};
  if (!registered.exchange(true)) {
    std::atexit(RestoreAtExit);
    SetConsoleCtrlHandler(RestoreOnControlEvent, TRUE);
  }
}

}  // namespace

void* LoadTrustedLibrary(const char* fileName) {
  // No "cannot find DLL" dialog box: a missing library is an ordinary,
  // reported failure.
  SetErrorMode(GetErrorMode() | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  std::string folder = ProgramFolder();
  if (!folder.empty()) {
    // An absolute path with the altered search order: the library's own
    // dependencies are looked up beside it, not in the current folder.
    if (HMODULE library =
            LoadLibraryExA((folder + fileName).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH)) {
      return reinterpret_cast<void*>(library);
    }
  }
  return reinterpret_cast<void*>(LoadLibraryExA(fileName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
}

void* FindSymbol(void* library, const char* name) {
  if (library == nullptr) {
    return nullptr;
  }
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void SleepMilliseconds(unsigned milliseconds) { Sleep(milliseconds); }

std::FILE* OpenFileForReading(const std::string& path) {
  if (path.find('\0') != std::string::npos) {
    return nullptr;
  }
  // The narrow API keeps the path a byte string in the active code page. A
  // folder can't be opened this way on Windows.
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    return nullptr;
  }
  // Only a disk file has an end: a path such as \\.\pipe\descript.ion
  // names a pipe, and a read from a pipe or a character device may block or
  // never end.
  HANDLE handle = HandleOf(file);
  if (handle == INVALID_HANDLE_VALUE || GetFileType(handle) != FILE_TYPE_DISK) {
    std::fclose(file);
    return nullptr;
  }
  return file;
}

bool IsTerminal(std::FILE* stream) { return _isatty(_fileno(stream)) != 0; }

void UseUtf8ConsoleOutput() {
  DWORD mode = 0;
  // Only a console handle has a console mode.
  if (savedOutputCodePage.load() != 0 || !GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode)) {
    return;
  }
  UINT previous = GetConsoleOutputCP();
  if (previous == 0 || previous == CP_UTF8 || !SetConsoleOutputCP(CP_UTF8)) {
    return;
  }
  savedOutputCodePage.store(previous);
  RestoreWhenProcessEnds();
}

int TerminalColumns(std::FILE* stream) {
  HANDLE handle = HandleOf(stream);
  CONSOLE_SCREEN_BUFFER_INFO info{};
  // A console wraps lines at its buffer's width, not its window's.
  if (handle == INVALID_HANDLE_VALUE || !GetConsoleScreenBufferInfo(handle, &info)) {
    return 0;
  }
  return info.dwSize.X;
}

bool UseTerminalControlSequences(std::FILE* stream) {
  HANDLE handle = HandleOf(stream);
  DWORD mode = 0;
  // Only a console handle has a console mode.
  if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) {
    return false;
  }
  if ((mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0) {
    return true;
  }
  // Consoles before Windows 10 refuse the flag.
  if (!SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING)) {
    return false;
  }
  savedOutputMode.store(mode);
  changedModeOf.store(handle);
  RestoreWhenProcessEnds();
  return true;
}

bool IsOnlyProcessOnConsole() {
  // The count of the processes attached to this console, this one included;
  // 0 without a console. Room for two is enough to tell one from more.
  DWORD processes[2] = {};
  return GetConsoleProcessList(processes, 2) == 1;
}

namespace {

uint64_t Join(DWORD high, DWORD low) { return (static_cast<uint64_t>(high) << 32) | low; }

// Why `path` failed with `error`. Without the long-path setting, the narrow
// API refuses a path whose full form, with its closing NUL, takes more than
// MAX_PATH characters: as "not found" on some systems, "name too long" on
// others. A relative path counts with the current folder before it.
AccessProblem ProblemOf(DWORD error, const std::string& path) {
  std::wstring wide;
  const bool tooLong =
      ToWide(CP_ACP, path, wide) && GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr) > MAX_PATH;
  switch (error) {
    case ERROR_ACCESS_DENIED:
      return AccessProblem::kDenied;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return AccessProblem::kInUse;
    case ERROR_FILENAME_EXCED_RANGE:
      return AccessProblem::kPathTooLong;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_CANT_RESOLVE_FILENAME:
      return tooLong ? AccessProblem::kPathTooLong : AccessProblem::kGone;
    default:
      return tooLong ? AccessProblem::kPathTooLong : AccessProblem::kOther;
  }
}

// Looks `path` up through a handle: opening follows symbolic links and
// junctions, where the attribute and search functions describe the link
// itself (a linked file would show 0 bytes). `loops` tells a circle of links
// from a missing target, `problem` why it is kMissing.
PathKind Describe(const std::string& path, uint64_t& size, FileIdentity* identity, bool* loops,
                  AccessProblem* problem) {
  size = 0;
  // The narrow API: the path stays bytes in the active code page.
  if (path.find('\0') != std::string::npos) {
    if (problem != nullptr) {
      *problem = AccessProblem::kGone;
    }
    return PathKind::kMissing;
  }
  // A device is not opened: opening a serial port or a printer could
  // disturb it.
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) &&
      (data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) != 0) {
    return PathKind::kOther;
  }
  // No access asked for: only the file's description is wanted, which
  // needs no permission to read and never meets a sharing conflict.
  // FILE_FLAG_BACKUP_SEMANTICS lets a folder be opened too.
  HANDLE handle =
      CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (loops != nullptr) {
      *loops = error == ERROR_CANT_RESOLVE_FILENAME;
    }
    if (problem != nullptr) {
      *problem = ProblemOf(error, path);
    }
    return PathKind::kMissing;
  }
  PathKind kind = PathKind::kOther;
  BY_HANDLE_FILE_INFORMATION info{};
  // A pipe or a character device (Wine shows a POSIX named pipe so) has no
  // file information.
  if (GetFileType(handle) == FILE_TYPE_DISK && GetFileInformationByHandle(handle, &info)) {
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      kind = PathKind::kFolder;
    } else {
      kind = PathKind::kFile;
      size = Join(info.nFileSizeHigh, info.nFileSizeLow);
    }
    if (identity != nullptr) {
      identity->volume = info.dwVolumeSerialNumber;
      identity->index = Join(info.nFileIndexHigh, info.nFileIndexLow);
    }
  }
  CloseHandle(handle);
  return kind;
}

}  // namespace

PathKind StatPath(const std::string& path, uint64_t& size, FileIdentity* identity) {
  return Describe(path, size, identity, nullptr, nullptr);
}

namespace {

// Opens the file at `path` for reading and closes it again. Read sharing
// alone, as a copy opens its source: a program that has the file open for
// writing, or shares it with no one, keeps it from being opened.
AccessProblem OpenForReading(const std::string& path) {
  HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return ProblemOf(GetLastError(), path);
  }
  CloseHandle(handle);
  return AccessProblem::kNone;
}

}  // namespace

AccessProblem ListFolder(const std::string& folder, std::vector<FolderEntry>& entries,
                         bool openFiles) {
  uint64_t ignored = 0;
  AccessProblem problem = AccessProblem::kNone;
  const PathKind kind = Describe(folder, ignored, nullptr, nullptr, &problem);
  if (kind != PathKind::kFolder) {
    return kind == PathKind::kMissing ? problem : AccessProblem::kGone;
  }
  const bool separated = !folder.empty() && (folder.back() == '\\' || folder.back() == '/');
  const std::string prefix = separated ? folder : folder + "\\";
  WIN32_FIND_DATAA found{};
  HANDLE search = FindFirstFileA((prefix + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) {
    // An empty folder still lists "." and ".."; this one can't be read.
    // The pattern is two characters longer than the folder's path.
    return ProblemOf(GetLastError(), prefix + "*");
  }
  do {
    std::string name = found.cFileName;
    if (name == "." || name == "..") {
      continue;
    }
    FolderEntry entry;
    entry.isLink = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    const std::string path = prefix + name;
    entry.kind = Describe(path, entry.size, &entry.identity, &entry.linkLoops, &entry.problem);
    if (openFiles && entry.kind == PathKind::kFile) {
      entry.problem = OpenForReading(path);
    }
    entry.name = std::move(name);
    entries.push_back(std::move(entry));
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return AccessProblem::kNone;
}

// Large pages on Windows need a privilege that ordinary accounts lack, so
// the block is plain committed memory; like on Linux its pages are only
// faulted in on first touch.
void* AllocateLargeBlock(size_t bytes) {
  return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void FreeLargeBlock(void* block, size_t /*bytes*/) {
  if (block != nullptr) {
    VirtualFree(block, 0, MEM_RELEASE);
  }
}

void FillRandom(void* buffer, size_t bytes) {
  auto* at = static_cast<unsigned char*>(buffer);
  if (bytes <= ULONG_MAX && BCryptGenRandom(nullptr, at, static_cast<ULONG>(bytes),
                                            BCRYPT_USE_SYSTEM_PREFERRED_RNG) >= 0) {
    return;
  }
  // No random source: the clock and an address of this process still
  // differ per run.
  uint64_t mix =
      static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
      reinterpret_cast<uintptr_t>(&mix);
  for (size_t filled = 0; filled < bytes; ++filled) {
    mix = (mix ^ (mix >> 29)) * 0xBF58476D1CE4E5B9u + filled;
    at[filled] = static_cast<unsigned char>(mix >> 56);
  }
}

}  // namespace platform
