#include <windows.h>

#include <cstdlib>
#include <string>

#include "steam_sim/sim_platform.h"

namespace steam_sim {

namespace {

// Any object inside this library: GetModuleHandleEx maps its address to our
// module.
const char kAnchor = 0;

std::wstring Widen(const char* text) {
  std::wstring wide;
  for (const char* c = text; *c != '\0'; ++c) {
    wide += static_cast<wchar_t>(static_cast<unsigned char>(*c));
  }
  return wide;
}

// FileLock keeps its handle in an integer, as the POSIX side keeps its
// descriptor.
HANDLE HandleOf(intptr_t file) {
  return reinterpret_cast<HANDLE>(file);  // NOLINT(performance-no-int-to-ptr)
}

}  // namespace

std::filesystem::path OwnLibraryFolder() {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCWSTR>(&kAnchor), &module)) {
    return {};
  }
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(module, name.data(), static_cast<DWORD>(name.size()));
    if (length == 0) {
      return {};
    }
    if (length < name.size()) {
      name.resize(length);
      return std::filesystem::path(name).parent_path();
    }
    name.resize(name.size() * 2);
  }
}

std::optional<std::filesystem::path> EnvironmentPath(const char* name) {
  // The variable names used here are ASCII, so widening byte by byte is
  // exact.
  const wchar_t* value = _wgetenv(Widen(name).c_str());
  if (value == nullptr || *value == L'\0') {
    return std::nullopt;
  }
  return std::filesystem::path(value);
}

std::optional<std::string> EnvironmentString(const char* name) {
  // Read through the wide table too, which is the one every way of setting
  // a variable keeps up to date; the bytes come back as UTF-8.
  const wchar_t* value = _wgetenv(Widen(name).c_str());
  if (value == nullptr) {
    return std::nullopt;
  }
  const std::wstring wide(value);
  if (wide.empty()) {
    return std::string();
  }
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(size > 0 ? size : 0), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), bytes.data(), size,
                      nullptr, nullptr);
  return bytes;
}

bool IsFullyQualifiedPath(std::string_view path) {
  const auto separator = [&](size_t i) { return path[i] == '\\' || path[i] == '/'; };
  if (path.size() >= 2 && separator(0) && separator(1)) {
    return true;  // UNC, or a \\?\ or \\.\ path
  }
  const char drive = static_cast<char>(path.empty() ? 0 : path[0] | 0x20);
  return path.size() >= 3 && drive >= 'a' && drive <= 'z' && path[1] == ':' && separator(2);
}

unsigned long ProcessId() { return GetCurrentProcessId(); }

FileLock::FileLock(const std::filesystem::path& path)
    : file_(reinterpret_cast<intptr_t>(
          CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                      FILE_ATTRIBUTE_NORMAL, nullptr))) {
  const HANDLE handle = HandleOf(file_);
  if (handle == INVALID_HANDLE_VALUE) {
    return;
  }
  // Without LOCKFILE_FAIL_IMMEDIATELY this waits for the holder to let go.
  OVERLAPPED start{};
  locked_ = LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &start) != 0;
}

FileLock::~FileLock() {
  const HANDLE handle = HandleOf(file_);
  if (handle == INVALID_HANDLE_VALUE) {
    return;
  }
  if (locked_) {
    OVERLAPPED start{};
    UnlockFileEx(handle, 0, 1, 0, &start);
  }
  CloseHandle(handle);
}

}  // namespace steam_sim
