#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace platform {

const char kPathSeparator = '/';
const bool kNamesHoldQuotes = true;
const char* const kSteamLibraryName = "libsteam_api.so";
const LibraryFormat kLibraryFormat = LibraryFormat::kElf;

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

bool MakeAbsolutePath(const std::string& path, std::string& absolute) {
  if (path.empty() || path.find('\0') != std::string::npos) {
    return false;
  }
  if (path[0] == '/') {
    absolute = path;
    return true;
  }
  std::string folder(4096, '\0');
  while (getcwd(folder.data(), folder.size()) == nullptr) {
    // Only a buffer too small is worth another try; far beyond any real
    // folder's length, give up.
    if (errno != ERANGE || folder.size() >= (size_t{1} << 20)) {
      return false;
    }
    folder.resize(folder.size() * 2);
  }
  folder.resize(std::strlen(folder.c_str()));
  // Older C libraries report a folder outside the process's root as
  // "(unreachable)/...": not a path anyone else could use.
  if (folder.empty() || folder[0] != '/') {
    return false;
  }
  absolute = folder.back() == '/' ? folder + path : folder + '/' + path;
  return true;
}

bool IsRootedPath(std::string_view path) { return !path.empty() && path[0] == '/'; }

namespace {

// Whether the 64-bit ELF file at `path` holds every byte its loadable
// segments ask for. The dynamic loader maps a library cut short all the
// same, and its first read past the end of the file kills the process with
// SIGBUS; Windows refuses such a file instead. Anything that is no 64-bit
// ELF file is left to the loader, which refuses it cleanly.
bool LoadableSegmentsWhole(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    return true;  // the loader will tell
  }
  struct stat info {};
  unsigned char header[64];
  bool whole = true;
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
      pread(fd, header, sizeof header, 0) == static_cast<ssize_t>(sizeof header) &&
      std::memcmp(header,
                  "\x7F"
                  "ELF\x02\x01",
                  6) == 0) {
    const auto size = static_cast<uint64_t>(info.st_size);
    uint64_t tableOffset = 0;
    uint16_t entrySize = 0;
    uint16_t entries = 0;
    std::memcpy(&tableOffset, header + 0x20, sizeof tableOffset);
    std::memcpy(&entrySize, header + 0x36, sizeof entrySize);
    std::memcpy(&entries, header + 0x38, sizeof entries);
    whole = entrySize >= 56 && tableOffset <= size &&
            uint64_t{entrySize} * entries <= size - tableOffset;
    for (uint16_t i = 0; whole && i < entries; ++i) {
      unsigned char entry[56];
      uint32_t type = 0;
      uint64_t offset = 0;
      uint64_t bytes = 0;
      whole = pread(fd, entry, sizeof entry,
                    static_cast<off_t>(tableOffset + uint64_t{i} * entrySize)) ==
              static_cast<ssize_t>(sizeof entry);
      std::memcpy(&type, entry, sizeof type);
      std::memcpy(&offset, entry + 8, sizeof offset);
      std::memcpy(&bytes, entry + 32, sizeof bytes);
      constexpr uint32_t kLoad = 1;
      whole = whole && (type != kLoad || (offset <= size && bytes <= size - offset));
    }
  }
  close(fd);
  return whole;
}

}  // namespace

void* LoadTrustedLibrary(const char* fileName) {
  std::string folder = ProgramFolder();
  if (!folder.empty() && LoadableSegmentsWhole(folder + fileName)) {
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

int TerminalColumns(std::FILE* stream) {
  winsize size{};
  if (ioctl(fileno(stream), TIOCGWINSZ, &size) != 0) {
    return 0;
  }
  return size.ws_col;
}

bool UseTerminalControlSequences(std::FILE* stream) {
  // A terminal that declares itself dumb (or nothing at all) would print
  // the sequences as text.
  const char* term = std::getenv("TERM");
  return IsTerminal(stream) && term != nullptr && *term != '\0' && std::strcmp(term, "dumb") != 0;
}

bool IsOnlyProcessOnConsole() { return false; }

void UseUtf8ConsoleOutput() {}

namespace {

AccessProblem ProblemOf(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
      return AccessProblem::kDenied;
    case ENAMETOOLONG:
      return AccessProblem::kTooDeep;
    case ENOENT:
    case ENOTDIR:
    case ELOOP:
      return AccessProblem::kGone;
    default:
      return AccessProblem::kOther;
  }
}

// What `info`, from stat, says; sets `size` and, but for kOther, `identity`.
PathKind KindOf(const struct stat& info, uint64_t& size, FileIdentity* identity) {
  PathKind kind = PathKind::kOther;
  if (S_ISREG(info.st_mode)) {
    size = static_cast<uint64_t>(info.st_size);
    kind = PathKind::kFile;
  } else if (S_ISDIR(info.st_mode)) {
    kind = PathKind::kFolder;
  }
  if (identity != nullptr && kind != PathKind::kOther) {
    identity->volume = static_cast<uint64_t>(info.st_dev);
    identity->index = static_cast<uint64_t>(info.st_ino);
  }
  return kind;
}

// Looks `name` up in the folder open as `folder` (AT_FDCWD: `name` is a
// path), following links; `loops` tells a circle of links from a missing
// target, `problem` why it is kMissing.
PathKind Describe(int folder, const std::string& name, uint64_t& size, FileIdentity* identity,
                  bool* loops, AccessProblem* problem) {
  size = 0;
  struct stat info {};
  const bool holdsNul = name.find('\0') != std::string::npos;
  if (holdsNul || fstatat(folder, name.c_str(), &info, 0) != 0) {
    const int error = holdsNul ? ENOENT : errno;
    if (loops != nullptr) {
      *loops = error == ELOOP;
    }
    if (problem != nullptr) {
      *problem = ProblemOf(error);
    }
    return PathKind::kMissing;
  }
  return KindOf(info, size, identity);
}

// Opens `name` in the folder open as `folder` for reading, as
// OpenFileForReading opens (O_NONBLOCK, O_NOCTTY), and closes it again,
// nothing read. Returns why it can't be opened, or kNone with `regular`
// telling whether it is a regular file, and `info` what fstat says of it.
AccessProblem OpenAndClose(int folder, const std::string& name, struct stat& info, bool& regular) {
  const int file = openat(folder, name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (file < 0) {
    return ProblemOf(errno);
  }
  regular = fstat(file, &info) == 0 && S_ISREG(info.st_mode);
  close(file);
  return AccessProblem::kNone;
}

}  // namespace

PathKind StatPath(const std::string& path, uint64_t& size, FileIdentity* identity) {
  return Describe(AT_FDCWD, path, size, identity, nullptr, nullptr);
}

AccessProblem ListFolder(const std::string& folder, std::vector<FolderEntry>& entries,
                         bool openFiles) {
  if (folder.find('\0') != std::string::npos) {
    return AccessProblem::kGone;
  }
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) {
    return ProblemOf(errno);
  }
  // Entries are looked up relative to the open folder: no path to walk
  // again for each, however deep the folder lies. A program that copies
  // them by their paths can't go past PATH_MAX, though.
  const int at = dirfd(dir);
  const size_t prefix = folder.empty() || folder.back() == '/' ? folder.size() : folder.size() + 1;
  while (const dirent* found = readdir(dir)) {
    FolderEntry entry;
    entry.name = found->d_name;
    if (entry.name == "." || entry.name == "..") {
      continue;
    }
    if (prefix + entry.name.size() >= PATH_MAX) {
      entry.problem = AccessProblem::kTooDeep;
      entries.push_back(std::move(entry));
      continue;
    }
    struct stat info {};
    entry.isLink =
        found->d_type == DT_LNK ||
        (found->d_type == DT_UNKNOWN &&
         fstatat(at, entry.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode));
    // A plain file is opened straight away and looked at through the
    // descriptor: one lookup of its name instead of two. Anything else is
    // looked at first, so a device is never opened.
    const bool plain = openFiles && found->d_type == DT_REG;
    bool regular = false;
    const AccessProblem opened =
        plain ? OpenAndClose(at, entry.name, info, regular) : AccessProblem::kNone;
    if (regular) {
      entry.kind = KindOf(info, entry.size, &entry.identity);
    } else {
      // Not opened, or changed since it was listed: looked up afresh.
      entry.kind =
          Describe(at, entry.name, entry.size, &entry.identity, &entry.linkLoops, &entry.problem);
      if (entry.kind == PathKind::kFile && openFiles) {
        entry.problem = plain ? opened : OpenAndClose(at, entry.name, info, regular);
      }
    }
    entries.push_back(std::move(entry));
  }
  closedir(dir);
  return AccessProblem::kNone;
}

namespace {

// The size of a transparent huge page on x86-64 and arm64 (with 4 KiB base
// pages). Blocks are aligned to it, or the kernel can't map them with huge
// pages at all.
constexpr size_t kHugePage = size_t{2} << 20;

size_t RoundUpToHugePages(size_t bytes) { return (bytes + kHugePage - 1) & ~(kHugePage - 1); }

}  // namespace

void* AllocateLargeBlock(size_t bytes) {
  const size_t size = RoundUpToHugePages(bytes);
  if (size < bytes) {
    return nullptr;
  }
  // Mapped with one huge page to spare, then trimmed to an aligned block.
  // The pages are only reserved here; each is faulted in on first touch.
  const size_t mapped = size + kHugePage;
  void* start = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (start == MAP_FAILED) {
    return nullptr;
  }
  // Offsets from the mapping's start, so the pointers keep their origin.
  char* const first = static_cast<char*>(start);
  const size_t misalignment = reinterpret_cast<uintptr_t>(first) & (kHugePage - 1);
  const size_t head = misalignment == 0 ? 0 : kHugePage - misalignment;
  char* const block = first + head;
  if (head > 0) {
    munmap(first, head);
  }
  if (mapped > head + size) {
    munmap(block + size, mapped - head - size);
  }
#ifdef MADV_HUGEPAGE
  // Only a request: with huge pages off, or none free, the block simply
  // gets base pages.
  madvise(block, size, MADV_HUGEPAGE);
#endif
  return block;
}

void FreeLargeBlock(void* block, size_t bytes) {
  if (block != nullptr) {
    munmap(block, RoundUpToHugePages(bytes));
  }
}

void FillRandom(void* buffer, size_t bytes) {
  auto* at = static_cast<unsigned char*>(buffer);
  size_t filled = 0;
  while (filled < bytes) {
    const ssize_t got = getrandom(at + filled, bytes - filled, 0);
    if (got > 0) {
      filled += static_cast<size_t>(got);
    } else if (got < 0 && errno != EINTR) {
      break;
    }
  }
  // No random source (a kernel without getrandom, a sandbox that forbids
  // it): the clock and an address of this process still differ per run.
  uint64_t mix =
      static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
      reinterpret_cast<uintptr_t>(&mix);
  for (; filled < bytes; ++filled) {
    mix = (mix ^ (mix >> 29)) * 0xBF58476D1CE4E5B9u + filled;
    at[filled] = static_cast<unsigned char>(mix >> 56);
  }
}

}  // namespace platform
