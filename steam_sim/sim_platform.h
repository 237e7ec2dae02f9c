// What the simulated library needs from the operating system beyond the
// standard library: its own location, the process id and the environment.
// sim_platform_posix.cpp and sim_platform_win32.cpp implement it; the build
// picks one.
#ifndef MODPUBLISH_STEAM_SIM_SIM_PLATFORM_H_
#define MODPUBLISH_STEAM_SIM_SIM_PLATFORM_H_

#include <filesystem>
#include <optional>
#include <string>

namespace steam_sim {

// The folder holding the simulated library's own file (not the program's),
// or an empty path when the system won't say.
std::filesystem::path OwnLibraryFolder();

// The id of the running process, to keep file names of concurrent
// processes apart.
unsigned long ProcessId();

// The value of environment variable `name` as a path, or nullopt when it is
// unset or empty. On Windows the value is read as UTF-16, so any path works.
std::optional<std::filesystem::path> EnvironmentPath(const char* name);

// The value of environment variable `name` as bytes, or nullopt when unset.
std::optional<std::string> EnvironmentString(const char* name);

}  // namespace steam_sim

#endif  // MODPUBLISH_STEAM_SIM_SIM_PLATFORM_H_
