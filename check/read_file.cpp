#include "check/read_file.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "platform/platform.h"

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

constexpr size_t kChunk = 65536;

}  // namespace

FileRead ReadFileStart(const std::string& path, size_t limit, std::string& bytes, uint64_t& size) {
  bytes.clear();
  const platform::PathKind kind = platform::StatPath(path, size);
  if (kind != platform::PathKind::kFile) {
    size = 0;
    return kind == platform::PathKind::kMissing ? FileRead::kMissing : FileRead::kNotFile;
  }
  std::unique_ptr<std::FILE, FileCloser> file(platform::OpenFileForReading(path));
  if (file == nullptr) {
    size = 0;
    return FileRead::kUnreadable;
  }
  // Room for the size the look-up saw, so a whole file is read without
  // moving it; a file that grew meanwhile still reads on, up to the limit.
  bytes.reserve(static_cast<size_t>(std::min<uint64_t>(size, limit)));
  while (bytes.size() < limit) {
    const size_t start = bytes.size();
    bytes.resize(start + std::min(kChunk, limit - start));
    const size_t got = std::fread(bytes.data() + start, 1, bytes.size() - start, file.get());
    bytes.resize(start + got);
    if (got == 0) {
      break;
    }
  }
  if (std::ferror(file.get()) != 0) {
    bytes.clear();
    size = 0;
    return FileRead::kUnreadable;
  }
  // The file may have changed since the look-up; a whole read tells its size.
  size = bytes.size() < limit ? bytes.size() : std::max<uint64_t>(size, bytes.size());
  return FileRead::kRead;
}
