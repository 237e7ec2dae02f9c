#include "check/steam_limits.h"

#include <cstring>

#include "console/console.h"
#include "description/upload_plan.h"
#include "platform/platform.h"

namespace {

// How much of a section name or path a line shows.
constexpr size_t kShownBytes = 80;

constexpr char kHint[] = ". Run modpublish-check on the mod folder for more";

std::string Bytes(uint64_t count) { return std::to_string(count) + " bytes"; }

}  // namespace

std::vector<std::string> SureFailures(const ModDescription& description,
                                      const std::string& previewPath, const char* changeNote) {
  std::vector<std::string> failures;
  const std::string preview = "The preview " + Excerpt(previewPath, kShownBytes);
  const std::string takes = "Steam takes a PNG, JPEG or GIF picture under 1 MB (" +
                            std::to_string(kPreviewLimit) + " bytes) there" + kHint;
  uint64_t size = 0;
  switch (platform::StatPath(previewPath, size)) {
    case platform::PathKind::kMissing:
      failures.push_back(preview + " is missing; " + takes);
      break;
    case platform::PathKind::kFile:
      if (size >= kPreviewLimit) {
        failures.push_back(preview + " has " + Bytes(size) + "; " + takes);
      }
      break;
    default:
      failures.push_back(preview + " is no regular file; " + takes);
      break;
  }
  for (const PlannedSection& section : UploadPlan(description)) {
    if (section.skip != SectionSkip::kNone) {
      continue;
    }
    const std::string name = "section [" + Excerpt(section.name, kShownBytes) + "]";
    const uint64_t title = section.title.Sent().size();
    if (title > kTitleLimit) {
      failures.push_back("The title of " + name + " has " + Bytes(title) +
                         "; Steam refuses titles over " + Bytes(kTitleLimit) + kHint);
    }
    const uint64_t text = section.description.Sent().size();
    if (text > kDescriptionLimit) {
      const DescriptionFile* file = section.description.file;
      failures.push_back(
          "The description of " + name +
          (file == nullptr ? std::string() : " (" + Excerpt(file->path, kShownBytes) + ")") +
          " has " + Bytes(text) + "; Steam refuses descriptions over " + Bytes(kDescriptionLimit) +
          kHint);
    }
  }
  if (changeNote != nullptr && std::strlen(changeNote) > kChangeNoteLimit) {
    failures.push_back("The change note (-c) has " + Bytes(std::strlen(changeNote)) +
                       "; Steam refuses change notes over " + Bytes(kChangeNoteLimit) + kHint);
  }
  return failures;
}
