// What the simulated library needs from the operating system beyond the
// standard library: its own location, the process id, the environment, and
// a file lock that other processes respect.
// sim_platform_posix.cpp and sim_platform_win32.cpp implement it; the build
// picks one.
#ifndef MODPUBLISH_STEAM_SIM_SIM_PLATFORM_H_
#define MODPUBLISH_STEAM_SIM_SIM_PLATFORM_H_

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace steam_sim {

// The folder holding the simulated library's own file (not the program's),
// or an empty path when the system won't say.
std::filesystem::path OwnLibraryFolder();

// The value of environment variable `name` as a path, or nullopt when it is
// unset or empty. On Windows the value is read as UTF-16, so any path works.
std::optional<std::filesystem::path> EnvironmentPath(const char* name);

// The value of environment variable `name` as bytes, or nullopt when unset.
std::optional<std::string> EnvironmentString(const char* name);

// Whether `path` (UTF-8) names the same place from any current folder: on
// POSIX it starts with '/'; on Windows it is fully qualified, a drive
// letter, ':' and a separator (C:\mod, C:/mod) or two separators
// (\\server\share, \\?\C:\mod). On Windows mod, \mod and C:mod depend on
// the current drive or folder.
bool IsFullyQualifiedPath(std::string_view path);

// The id of the running process, to keep file names of concurrent
// processes apart.
unsigned long ProcessId();

// An exclusive lock on a file, honoured by every process that locks the
// same file through this class (an advisory lock: plain reads and writes
// ignore it). Held from construction until destruction.
class FileLock {
 public:
  // Creates the file `path` if it doesn't exist (its folder must), and waits
  // until no other holder has it. Locked() says whether that worked; when
  // it didn't, nothing is held.
  explicit FileLock(const std::filesystem::path& path);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  bool Locked() const { return locked_; }

 private:
  // The open file: a descriptor on POSIX, a HANDLE on Windows.
  intptr_t file_;
  bool locked_ = false;
};

}  // namespace steam_sim

#endif  // MODPUBLISH_STEAM_SIM_SIM_PLATFORM_H_
