#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace platform {

const char kPathSeparator = '/';
const char* const kSteamLibraryName = "libsteam_api.so";

std::string ProgramFolder() {
  std::string path(4096, '\0');
  ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
  if (length <= 0 || static_cast<size_t>(length) >= path.size()) {
    return std::string();
  }
  path.resize(static_cast<size_t>(length));
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

void* LoadTrustedLibrary(const char* fileName) {
  std::string folder = ProgramFolder();
  if (!folder.empty()) {
    if (void* library = dlopen((folder + fileName).c_str(), RTLD_NOW | RTLD_LOCAL)) {
      return library;
    }
  }
  // A bare name makes the dynamic loader search only its configured folders,
  // never the current one.
  return dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
}

void* FindSymbol(void* library, const char* name) {
  return library == nullptr ? nullptr : dlsym(library, name);
}

void SleepMilliseconds(unsigned milliseconds) {
  timespec rest{static_cast<time_t>(milliseconds / 1000),
                static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&rest, &rest) != 0 && errno == EINTR) {
  }
}

std::FILE* OpenFileForReading(const std::string& path) {
  // A path with a NUL byte inside can't name a file; open() would silently
  // cut it short.
  if (path.find('\0') != std::string::npos) {
    return nullptr;
  }
  // O_NONBLOCK: opening a named pipe for reading would otherwise wait for a
  // writer, possibly forever, before anything can be checked. O_NOCTTY: a
  // terminal named here must not become the process's controlling one.
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    return nullptr;
  }
  // Only a regular file has an end. A folder can't be read, and a pipe, a
  // socket or a device such as /dev/zero (or a link to one, which a mod
  // folder unpacked from an archive may hold) could block or never end.
  // The check is on the open descriptor, so the entry can't be swapped
  // between the check and the read.
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return nullptr;
  }
  int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    close(fd);
    return nullptr;
  }
  std::FILE* file = fdopen(fd, "rb");
  if (file == nullptr) {
    close(fd);
  }
  return file;
}

bool IsTerminal(std::FILE* stream) { return isatty(fileno(stream)) != 0; }

void UseUtf8ConsoleOutput() {}

PathKind StatPath(const std::string& path, uint64_t& size) {
  size = 0;
  struct stat info {};
  if (path.find('\0') != std::string::npos || stat(path.c_str(), &info) != 0) {
    return PathKind::kMissing;
  }
  if (S_ISREG(info.st_mode)) {
    size = static_cast<uint64_t>(info.st_size);
    return PathKind::kFile;
  }
  return S_ISDIR(info.st_mode) ? PathKind::kFolder : PathKind::kOther;
}

bool ListFolder(const std::string& folder, std::vector<FolderEntry>& entries) {
  if (folder.find('\0') != std::string::npos) {
    return false;
  }
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) {
    return false;
  }
  const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + '/';
  while (const dirent* found = readdir(dir)) {
    std::string name = found->d_name;
    if (name == "." || name == "..") {
      continue;
    }
    FolderEntry entry;
    std::string path = prefix + name;
    struct stat info {};
    entry.isLink = lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
    entry.kind = StatPath(path, entry.size);
    entry.name = std::move(name);
    entries.push_back(std::move(entry));
  }
  closedir(dir);
  return true;
}

}  // namespace platform
