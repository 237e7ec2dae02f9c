#include "description/description_file.h"

#include <cstdio>
#include <limits>
#include <new>

#include "description/upload_plan.h"
#include "platform/platform.h"

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Reads the open file to its end; throws std::bad_alloc.
bool ReadAll(std::FILE* file, uint64_t sizeHint, std::string& bytes) {
  // The size looked up is only a hint (the file may change meanwhile), but
  // it makes one allocation of a file of any size, and a file far too big
  // for the memory left fails here at once instead of after reading it.
  if (sizeHint >= std::numeric_limits<size_t>::max() / 2) {
    throw std::bad_alloc();
  }
  bytes.reserve(static_cast<size_t>(sizeHint) + 1);
  char chunk[1 << 14];
  for (;;) {
    const size_t got = std::fread(chunk, 1, sizeof chunk, file);
    bytes.append(chunk, got);
    if (got < sizeof chunk) {
      return std::ferror(file) == 0;
    }
  }
}

}  // namespace

std::string DescriptionFilePath(std::string_view modFolder, std::string_view named) {
  std::string relative(named);
  for (char& c : relative) {
    if (c == '/' || c == '\\') {
      c = platform::kPathSeparator;
    }
  }
  if (platform::IsRootedPath(relative)) {
    return relative;
  }
  std::string path(modFolder);
  path += platform::kPathSeparator;
  return path + relative;
}

void MakeDescriptionText(std::string& bytes) {
  const size_t start =
      bytes.compare(0, kByteOrderMark.size(), kByteOrderMark) == 0 ? kByteOrderMark.size() : 0;
  size_t kept = 0;
  for (size_t at = start; at < bytes.size(); ++at) {
    if (bytes[at] == '\r' && at + 1 < bytes.size() && bytes[at + 1] == '\n') {
      continue;
    }
    bytes[kept++] = bytes[at];
  }
  while (kept > 0 && bytes[kept - 1] == '\n') {
    --kept;
  }
  bytes.resize(kept);
}

FileStatus ReadDescriptionFile(const std::string& path, std::string& text) {
  text.clear();
  FileStatus status = FileStatus::kRead;
  uint64_t size = 0;
  const OpenFile file = OpenRegularFile(path, status, &size);
  if (file == nullptr) {
    return status;
  }
  try {
    if (!ReadAll(file.get(), size, text)) {
      text = std::string();
      return FileStatus::kUnreadable;
    }
  } catch (const std::bad_alloc&) {
    text = std::string();
    return FileStatus::kTooBig;
  }
  MakeDescriptionText(text);
  return FileStatus::kRead;
}

const DescriptionFile* LoadDescriptionFiles(ModDescription& description, std::string_view modFolder,
                                            bool stopAtFailure) {
  std::vector<DescriptionFile>& files = description.files;
  files.clear();
  size_t failed = SIZE_MAX;
  size_t index = 0;
  for (const DescriptionNamedSection& named : description.sections) {
    const size_t section = index++;
    const auto key = named.section.find(kDescriptionFileKey);
    // The plan decides which sections are uploaded.
    if (key == named.section.end() || PlanSection(named).skip != SectionSkip::kNone) {
      continue;
    }
    DescriptionFile& file = files.emplace_back();
    file.section = section;
    file.named = key->value;
    file.path = DescriptionFilePath(modFolder, key->value);
    file.status = ReadDescriptionFile(file.path, file.text);
    if (file.status != FileStatus::kRead && failed == SIZE_MAX) {
      failed = files.size() - 1;
      if (stopAtFailure) {
        break;
      }
    }
  }
  return failed == SIZE_MAX ? nullptr : &files[failed];
}
