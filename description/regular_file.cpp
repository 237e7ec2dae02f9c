#include "description/regular_file.h"

#include "platform/platform.h"

OpenFile OpenRegularFile(const std::string& path, FileStatus& status, uint64_t* size) {
  // Opened first and looked at after: what is opened is what is read, and
  // the look-up only explains a failure or gives the size.
  OpenFile file(platform::OpenFileForReading(path));
  uint64_t bytes = 0;
  if (file != nullptr) {
    status = FileStatus::kRead;
    if (size != nullptr) {
      platform::StatPath(path, bytes);
      *size = bytes;
    }
    return file;
  }
  switch (platform::StatPath(path, bytes)) {
    case platform::PathKind::kMissing:
      status = FileStatus::kMissing;
      break;
    case platform::PathKind::kFile:
      status = FileStatus::kUnreadable;
      break;
    default:
      status = FileStatus::kNotAFile;
      break;
  }
  return file;
}
