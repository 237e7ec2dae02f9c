// Opening a file to read, the one way the tool does it, and the one
// vocabulary for what became of reading a file: descript.ion, a description
// file, and every file modpublish-check looks into.
#ifndef MODPUBLISH_DESCRIPTION_REGULAR_FILE_H_
#define MODPUBLISH_DESCRIPTION_REGULAR_FILE_H_

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <string>

// How reading a file went.
enum class FileStatus {
  kRead,        // the whole file, or as much of it as the reader wanted
  kMissing,     // nothing at the path (or a link that leads nowhere)
  kNotAFile,    // a folder, a device, a pipe or the like
  kUnreadable,  // a regular file that can't be opened or read
  kTooBig,      // what was read of it doesn't fit in the memory left
};

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// An open stream, closed when it goes.
using OpenFile = std::unique_ptr<std::FILE, FileCloser>;

// Opens the regular file at `path` for reading bytes, as
// platform::OpenFileForReading does: never a pipe or a device, never
// waiting for one. Sets `status` to kRead, or returns null and sets it to
// why not: kMissing, kNotAFile or kUnreadable. When `size` is not null and
// the file is open, sets it to the file's size as the path gives it then,
// a hint only: the file may change while it is read.
OpenFile OpenRegularFile(const std::string& path, FileStatus& status, uint64_t* size = nullptr);

// Reads at most `limit` bytes from the start of the regular file `path`
// into `bytes` (replacing what it held) and sets `size` to the file's whole
// size. Returns kRead, or why not: kMissing, kNotAFile or kUnreadable, with
// `bytes` empty and `size` 0. `Bytes` is std::string or a store like it
// (clear, resize, size, data) whose resize throws std::bad_alloc when there
// is no room; so does this read for a file no store could hold.
template <class Bytes>
FileStatus ReadRegularFile(const std::string& path, size_t limit, Bytes& bytes, uint64_t& size) {
  constexpr size_t kChunk = 65536;
  bytes.clear();
  size = 0;
  FileStatus status = FileStatus::kRead;
  const OpenFile file = OpenRegularFile(path, status, &size);
  if (file == nullptr) {
    return status;
  }
  // The size the look-up saw, in one read into room taken once: a file far
  // too big for the memory left fails here at once instead of after reading.
  const auto room = static_cast<size_t>(std::min<uint64_t>(size, limit));
  if (room >= std::numeric_limits<size_t>::max() / 2) {
    throw std::bad_alloc();
  }
  bytes.resize(room);
  const size_t got = room == 0 ? 0 : std::fread(bytes.data(), 1, room, file.get());
  bytes.resize(got);
  if (got == room) {
    // The file may have grown since: read on, up to the limit.
    std::string more(kChunk, '\0');
    while (bytes.size() < limit) {
      const size_t extra =
          std::fread(more.data(), 1, std::min(kChunk, limit - bytes.size()), file.get());
      if (extra == 0) {
        break;
      }
      const size_t start = bytes.size();
      bytes.resize(start + extra);
      std::memcpy(bytes.data() + start, more.data(), extra);
    }
  }
  if (std::ferror(file.get()) != 0) {
    bytes.clear();
    size = 0;
    return FileStatus::kUnreadable;
  }
  // The file may have changed since the look-up; a whole read tells its size.
  size = bytes.size() < limit ? bytes.size() : std::max<uint64_t>(size, bytes.size());
  return FileStatus::kRead;
}

#endif  // MODPUBLISH_DESCRIPTION_REGULAR_FILE_H_
