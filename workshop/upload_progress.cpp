#include "workshop/upload_progress.h"

#include <cinttypes>
#include <cstdio>
#include <limits>

namespace {

// How far back the rate looks: long enough to be steady, short enough to
// show a stall within seconds.
constexpr uint64_t kRateWindowMilliseconds = 5000;
// How much of a transfer the rate needs before it is shown.
constexpr uint64_t kRateMinimumMilliseconds = 1000;

constexpr const char* kUnits[] = {"B", "KB", "MB", "GB"};
constexpr int kLargestUnit = 3;

// The largest unit not above `bytes` (B below 1 KB, GB from 1 GB on).
int UnitOf(uint64_t bytes) {
  int unit = 0;
  for (uint64_t next = 1024; unit < kLargestUnit && bytes >= next; next *= 1024) {
    ++unit;
  }
  return unit;
}

// `bytes` in `unit`: whole bytes, or one decimal cut.
std::string Size(uint64_t bytes, int unit) {
  char text[48];
  if (unit == 0) {
    std::snprintf(text, sizeof text, "%" PRIu64 " B", bytes);
  } else {
    const uint64_t scale = uint64_t{1} << (10 * unit);
    std::snprintf(text, sizeof text, "%" PRIu64 ".%" PRIu64 " %s", bytes / scale,
                  bytes % scale * 10 / scale, kUnits[unit]);
  }
  return text;
}

bool IsTransfer(EItemUpdateStatus status) {
  return status == k_EItemUpdateStatusUploadingContent ||
         status == k_EItemUpdateStatusUploadingPreviewFile;
}

}  // namespace

std::string ProgressText(EItemUpdateStatus status, uint64_t processed, uint64_t total,
                         std::optional<uint64_t> bytesPerSecond) {
  const char* words = nullptr;
  switch (status) {
    case k_EItemUpdateStatusPreparingConfig:
    case k_EItemUpdateStatusPreparingContent:
      words = " preparing";
      break;
    case k_EItemUpdateStatusUploadingContent:
      words = " uploading content";
      break;
    case k_EItemUpdateStatusUploadingPreviewFile:
      words = " uploading preview";
      break;
    case k_EItemUpdateStatusCommittingChanges:
      words = " committing";
      break;
    default:
      // A status of a later library, or none: nothing is better than a
      // guess.
      return std::string();
  }
  std::string text = words;
  if (!IsTransfer(status) || total == 0) {
    return text;
  }
  processed = processed < total ? processed : total;
  const int unit = UnitOf(total);
  uint64_t percent = total <= std::numeric_limits<uint64_t>::max() / 100
                         ? processed * 100 / total
                         : processed / (total / 100);
  // 100% only when all is sent.
  if (processed < total && percent > 99) {
    percent = 99;
  }
  text += ": " + Size(processed, unit) + " of " + Size(total, unit) + " (" +
          std::to_string(percent) + "%)";
  if (bytesPerSecond) {
    text += ", " + Size(*bytesPerSecond, UnitOf(*bytesPerSecond)) + "/s";
  }
  return text;
}

std::optional<std::string> ProgressSampler::Sample(uint64_t milliseconds, EItemUpdateStatus status,
                                                   uint64_t processed, uint64_t total) {
  if (status != status_ || total != total_ ||
      (!readings_.empty() && processed < readings_.back().processed)) {
    readings_.clear();
    status_ = status;
    total_ = total;
  }
  std::optional<uint64_t> rate;
  if (IsTransfer(status)) {
    readings_.push_back(Reading{milliseconds, processed});
    while (readings_.size() > 2 &&
           milliseconds - readings_[1].milliseconds >= kRateWindowMilliseconds) {
      readings_.pop_front();
    }
    const Reading& first = readings_.front();
    const uint64_t span = milliseconds - first.milliseconds;
    if (span >= kRateMinimumMilliseconds) {
      rate = (processed - first.processed) * 1000 / span;
    }
  }
  std::string text = ProgressText(status, processed, total, rate);
  if (text == shown_ || (drawnAt_ && milliseconds - *drawnAt_ < kRedrawMilliseconds)) {
    return std::nullopt;
  }
  drawnAt_ = milliseconds;
  shown_ = text;
  return text;
}

void SubmissionProgressLine::Show(const std::string& text) {
  if (!live_.Show(text)) {
    Finish();
  }
}

void SubmissionProgressLine::Dot() {
  if (live_.Showing()) {
    ++heldDots_;
  } else {
    Print(".");
  }
}

void SubmissionProgressLine::Finish() {
  live_.Erase();
  if (heldDots_ > 0) {
    Print("%s", std::string(heldDots_, '.').c_str());
    heldDots_ = 0;
  }
}
