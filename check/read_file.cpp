#include "check/read_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "platform/platform.h"

namespace {

constexpr size_t kChunk = 65536;

}  // namespace

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
