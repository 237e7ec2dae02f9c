// What the simulator's tests need from the operating system: loading the
// built library, the environment, and running a second process.
// test_platform_posix.cpp and test_platform_win32.cpp implement it.
#ifndef MODPUBLISH_STEAM_SIM_TEST_PLATFORM_H_
#define MODPUBLISH_STEAM_SIM_TEST_PLATFORM_H_

#include <filesystem>
#include <string>
#include <vector>

namespace steam_sim_test {

// Loads the shared library at `path`; null when it can't.
void* LoadSharedLibrary(const std::string& path);

// The address of export `name` of `library`, or null.
void* FindExport(void* library, const char* name);

// Sets or removes an environment variable of this process, in the table
// that the loaded library reads too.
void SetEnvironment(const char* name, const std::string& value);
void UnsetEnvironment(const char* name);

// Runs `program` with `arguments` in the current folder and environment,
// its standard output going to the file `output`. Returns its exit status,
// or -1 when it couldn't be run.
int RunProgram(const std::string& program, const std::vector<std::string>& arguments,
               const std::filesystem::path& output);

}  // namespace steam_sim_test

#endif  // MODPUBLISH_STEAM_SIM_TEST_PLATFORM_H_
