#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
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

bool IsFullyQualifiedPath(std::string_view path) { return !path.empty() && path[0] == '/'; }

unsigned long ProcessId() { return static_cast<unsigned long>(getpid()); }

FileLock::FileLock(const std::filesystem::path& path)
    : file_(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666)) {
  if (file_ < 0) {
    return;
  }
  // flock rather than fcntl locks: those belong to the process and vanish
  // when any descriptor of the file is closed, these to this descriptor.
  int status = 0;
  do {
    status = flock(static_cast<int>(file_), LOCK_EX);
  } while (status != 0 && errno == EINTR);
  locked_ = status == 0;
}

FileLock::~FileLock() {
  if (file_ >= 0) {
    close(static_cast<int>(file_));  // releases the lock
  }
}

}  // namespace steam_sim
