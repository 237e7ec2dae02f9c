#include "workshop/progress.h"

#include <cstdint>
#include <limits>

int ProgressBarWidth(size_t sectionCount, bool createsItem, bool setsVisibility) {
  constexpr uint64_t kLimit = std::numeric_limits<int32_t>::max();
  // A run this large can't exist in memory; the cap only keeps the sum
  // from overflowing.
  uint64_t sections = sectionCount < kLimit ? sectionCount : kLimit;
  uint64_t width = 5 + 5 * sections + (createsItem ? 1 : 0) + (setsVisibility ? 1 : 0);
  return static_cast<int>(width < kLimit ? width : kLimit);
}

std::string StepProgress::Next(const char* stepName) {
  ++step_;
  int filled = step_ > 0 ? step_ : 0;
  int padding = barWidth_ > filled ? barWidth_ - filled : 0;
  std::string line;
  line.reserve(static_cast<size_t>(filled) + static_cast<size_t>(padding) + 64);
  line += '[';
  line.append(static_cast<size_t>(filled), '#');
  line.append(static_cast<size_t>(padding), ' ');
  line += "] ";
  line += stepName;
  line += "...";
  return line;
}
