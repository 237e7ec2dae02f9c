// What the checks of modpublish-check read files with beside
// ReadRegularFile, which opens them as modpublish opens its own files, so
// that a pipe or a device is never read and a link is followed as
// modpublish would: a test of a file's tail, and room for a big file.
#ifndef MODPUBLISH_CHECK_READ_FILE_H_
#define MODPUBLISH_CHECK_READ_FILE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "description/regular_file.h"

// Whether every byte of the regular file `path` from `offset` on is a
// blank (space, tab), a line end (CR, LF) or a Ctrl-Z (0x1A): bytes that
// hold no text. False when the file can't be read.
bool BlankFrom(const std::string& path, uint64_t offset);

// Room for the bytes of a big file, from platform::AllocateLargeBlock: a
// client library with its debug information runs to megabytes, and filled
// page by page it would take longer to read than the description. Empty
// until read into.
class FileBytes {
 public:
  FileBytes() = default;
  FileBytes(const FileBytes&) = delete;
  FileBytes& operator=(const FileBytes&) = delete;
  ~FileBytes();

  std::string_view view() const { return {data_, size_}; }

  // What ReadRegularFile needs. resize() leaves new bytes undefined and
  // throws std::bad_alloc when there is no room to be had.
  void clear() { size_ = 0; }
  void resize(size_t size);
  size_t size() const { return size_; }
  char* data() { return data_; }

 private:
  char* data_ = nullptr;
  size_t size_ = 0;
  size_t room_ = 0;
};

#endif  // MODPUBLISH_CHECK_READ_FILE_H_
