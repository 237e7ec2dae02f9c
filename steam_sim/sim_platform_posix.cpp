#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>

#include "steam_sim/sim_platform.h"

namespace steam_sim {

namespace {

// Any object inside this library: dladdr maps its address to our file.
const char kAnchor = 0;

}  // namespace

std::filesystem::path OwnLibraryFolder() {
  Dl_info info{};
  if (dladdr(&kAnchor, &info) == 0 || info.dli_fname == nullptr) {
    return {};
  }
  std::error_code error;
  std::filesystem::path file = std::filesystem::absolute(info.dli_fname, error);
  return error ? std::filesystem::path() : file.parent_path();
}

unsigned long ProcessId() { return static_cast<unsigned long>(getpid()); }

std::optional<std::filesystem::path> EnvironmentPath(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') {
    return std::nullopt;
  }
  return std::filesystem::path(value);
}

std::optional<std::string> EnvironmentString(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) {
    return std::nullopt;
  }
  return std::string(value);
}

}  // namespace steam_sim
