#include <io.h>
#include <windows.h>

#include <string>

#include "platform/platform.h"

namespace platform {

const char kPathSeparator = '\\';
const char* const kSteamLibraryName = "steam_api64.dll";

namespace {

// The folder of the running program, with a trailing '\\', or "" when
// Windows won't say.
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
  // folder can't be opened this way on Windows, so no extra check is needed.
  return std::fopen(path.c_str(), "rb");
}

bool IsTerminal(std::FILE* stream) { return _isatty(_fileno(stream)) != 0; }

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

}  // namespace platform
