// Reading the start of a file for a check, the one way every check of
// modpublish-check does it: opened as modpublish opens its own files
// (OpenRegularFile), so that a pipe or a device is never read and a link is
// followed as modpublish would.
#ifndef MODPUBLISH_CHECK_READ_FILE_H_
#define MODPUBLISH_CHECK_READ_FILE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "description/regular_file.h"

// Reads at most `limit` bytes from the start of the regular file `path`
// into `bytes` (replacing what it held) and sets `size` to the file's whole
// size. Returns kRead, or why not: kMissing, kNotAFile or kUnreadable, with
// `bytes` empty and `size` 0.
FileStatus ReadFileStart(const std::string& path, size_t limit, std::string& bytes, uint64_t& size);

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

  // What ReadFileStart needs. resize() leaves new bytes undefined and
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

// The same read into the room of a FileBytes.
FileStatus ReadFileStart(const std::string& path, size_t limit, FileBytes& bytes, uint64_t& size);

#endif  // MODPUBLISH_CHECK_READ_FILE_H_
