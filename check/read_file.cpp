#include "check/read_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "platform/platform.h"

namespace {

constexpr size_t kChunk = 65536;

// Reads into a std::string or a FileBytes.
template <class Bytes>
FileStatus ReadInto(const std::string& path, size_t limit, Bytes& bytes, uint64_t& size) {
  bytes.clear();
  size = 0;
  FileStatus status = FileStatus::kRead;
  const OpenFile file = OpenRegularFile(path, status, &size);
  if (file == nullptr) {
    return status;
  }
  // The size the look-up saw, in one read into room taken once.
  const auto room = static_cast<size_t>(std::min<uint64_t>(size, limit));
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

}  // namespace

FileStatus ReadFileStart(const std::string& path, size_t limit, std::string& bytes,
                         uint64_t& size) {
  return ReadInto(path, limit, bytes, size);
}

FileStatus ReadFileStart(const std::string& path, size_t limit, FileBytes& bytes, uint64_t& size) {
  return ReadInto(path, limit, bytes, size);
}

bool BlankFrom(const std::string& path, uint64_t offset) {
  FileStatus status = FileStatus::kRead;
  const OpenFile file = OpenRegularFile(path, status);
  if (file == nullptr) {
    return false;
  }
  // Read from the start: no seek of a 64-bit offset is portable.
  std::string chunk(kChunk, '\0');
  uint64_t at = 0;
  for (;;) {
    const size_t got = std::fread(chunk.data(), 1, kChunk, file.get());
    for (size_t i = 0; i < got; ++i, ++at) {
      const char c = chunk[i];
      if (at >= offset && c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != '\x1A') {
        return false;
      }
    }
    if (got < kChunk) {
      return std::ferror(file.get()) == 0;
    }
  }
}

FileBytes::~FileBytes() { platform::FreeLargeBlock(data_, room_); }

void FileBytes::resize(size_t size) {
  if (size > room_) {
    // Grows by half again at least, as a file that grew is read in chunks.
    const size_t room = std::max(size, room_ + room_ / 2);
    auto* const block = static_cast<char*>(platform::AllocateLargeBlock(room));
    if (block == nullptr) {
      throw std::bad_alloc();
    }
    if (size_ != 0) {
      std::memcpy(block, data_, size_);
    }
    platform::FreeLargeBlock(data_, room_);
    data_ = block;
    room_ = room;
  }
  size_ = size;
}
