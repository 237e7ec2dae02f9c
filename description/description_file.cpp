#include "description/description_file.h"

#include <limits>
#include <new>

#include "description/upload_plan.h"
#include "platform/platform.h"

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

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
  uint64_t size = 0;
  FileStatus status = FileStatus::kRead;
  try {
    status = ReadRegularFile(path, std::numeric_limits<size_t>::max(), text, size);
  } catch (const std::bad_alloc&) {
    text = std::string();
    return FileStatus::kTooBig;
  }
  if (status == FileStatus::kRead) {
    MakeDescriptionText(text);
  }
  return status;
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
