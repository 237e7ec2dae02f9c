#include "check/steam_limits.h"

#include <cstring>

#include "check/finding.h"
#include "console/console.h"
#include "description/upload_plan.h"
#include "platform/platform.h"

namespace {

// How much of a section name or path a line shows.
constexpr size_t kShownBytes = 80;

constexpr char kHint[] = ". Run modpublish-check on the mod folder for more";

constexpr uint64_t kMebibyte = uint64_t{1} << 20;

}  // namespace

std::string SteamLimit::Size() const {
  return bytes % kMebibyte == 0 ? std::to_string(bytes / kMebibyte) + " MB (" + Bytes(bytes) + ")"
                                : Bytes(bytes);
}

std::string SteamLimit::Refusal() const {
  return std::string("Steam refuses ") + things + (orMore ? " of " : " over ") + Size() +
         (orMore ? " or more" : "");
}

std::vector<std::string> SureFailures(const ModDescription& description,
                                      const std::string& previewPath, const char* changeNote) {
  std::vector<std::string> failures;
  const std::string preview = "The preview " + Excerpt(previewPath, kShownBytes);
  const std::string takes =
      "Steam takes a PNG, JPEG or GIF picture under " + kPreviewLimit.Size() + " there" + kHint;
  uint64_t size = 0;
  switch (platform::StatPath(previewPath, size)) {
    case platform::PathKind::kMissing:
      failures.push_back(preview + " is missing; " + takes);
      break;
    case platform::PathKind::kFile:
      if (kPreviewLimit.Refuses(size)) {
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
    if (kTitleLimit.Refuses(title)) {
      failures.push_back("The title of " + name + " has " + Bytes(title) + "; " +
                         kTitleLimit.Refusal() + kHint);
    }
    const uint64_t text = section.description.Sent().size();
    if (kDescriptionLimit.Refuses(text)) {
      const DescriptionFile* file = section.description.file;
      failures.push_back(
          "The description of " + name +
          (file == nullptr ? std::string() : " (" + Excerpt(file->path, kShownBytes) + ")") +
          " has " + Bytes(text) + "; " + kDescriptionLimit.Refusal() + kHint);
    }
  }
  if (changeNote != nullptr && kChangeNoteLimit.Refuses(std::strlen(changeNote))) {
    failures.push_back("The change note (-c) has " + Bytes(std::strlen(changeNote)) + "; " +
                       kChangeNoteLimit.Refusal() + kHint);
  }
  return failures;
}
