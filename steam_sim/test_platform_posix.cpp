#include <dlfcn.h>
#include <sys/wait.h>

#include <cstdlib>

#include "steam_sim/test_platform.h"

namespace steam_sim_test {

namespace {

// `text` as one word for /bin/sh.
std::string ShellWord(const std::string& text) {
  std::string word = "'";
  for (char c : text) {
    word += c == '\'' ? std::string("'\\''") : std::string(1, c);
  }
  return word + "'";
}

}  // namespace

void* LoadSharedLibrary(const std::string& path) { return dlopen(path.c_str(), RTLD_NOW); }

void* FindExport(void* library, const char* name) { return dlsym(library, name); }

void SetEnvironment(const char* name, const std::string& value) { setenv(name, value.c_str(), 1); }

void UnsetEnvironment(const char* name) { unsetenv(name); }

int RunProgram(const std::string& program, const std::vector<std::string>& arguments,
               const std::filesystem::path& output) {
  std::string command = ShellWord(program);
  for (const std::string& argument : arguments) {
    command += " " + ShellWord(argument);
  }
  command += " > " + ShellWord(output.string());
  const int status = std::system(command.c_str());
  return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace steam_sim_test
