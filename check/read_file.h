// Reading the start of a file for a check, the one way every check of
// modpublish-check does it: through the platform seam, so that a pipe or a
// device is never read and a link is followed as modpublish would.
#ifndef MODPUBLISH_CHECK_READ_FILE_H_
#define MODPUBLISH_CHECK_READ_FILE_H_

#include <cstddef>
#include <cstdint>
#include <string>

// What became of the read.
enum class FileRead {
  kMissing,     // nothing at the path (or a link that leads nowhere)
  kNotFile,     // a folder, a pipe, a device or the like
  kUnreadable,  // a regular file that can't be opened or read
  kRead,
};

// Reads at most `limit` bytes from the start of the regular file `path`
// into `bytes` (replacing what it held) and sets `size` to the file's whole
// size. On any answer but kRead, `bytes` is empty and `size` 0.
FileRead ReadFileStart(const std::string& path, size_t limit, std::string& bytes, uint64_t& size);

#endif  // MODPUBLISH_CHECK_READ_FILE_H_
