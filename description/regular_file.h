// Opening a file to read, the one way the tool does it, and the one
// vocabulary for what became of reading a file: descript.ion, a description
// file, and every file modpublish-check looks into.
#ifndef MODPUBLISH_DESCRIPTION_REGULAR_FILE_H_
#define MODPUBLISH_DESCRIPTION_REGULAR_FILE_H_

#include <cstdint>
#include <cstdio>
#include <memory>
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

#endif  // MODPUBLISH_DESCRIPTION_REGULAR_FILE_H_
