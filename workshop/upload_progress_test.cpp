#include "workshop/upload_progress.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

namespace {

constexpr uint64_t kKB = 1024;
constexpr uint64_t kMB = 1024 * kKB;
constexpr uint64_t kGB = 1024 * kMB;

TEST(ProgressTextTest, SaysTheStatusAndWhileUploadingTheBytesAndRate) {
  const struct {
    EItemUpdateStatus status;
    uint64_t processed;
    uint64_t total;
    std::optional<uint64_t> rate;
    const char* text;
  } cases[] = {
      {3, 130547712, 400556032, 5347738,
       " uploading content: 124.5 MB of 382.0 MB (32%), 5.1 MB/s"},
      {4, 12 * kKB, 200 * kKB, std::nullopt, " uploading preview: 12.0 KB of 200.0 KB (6%)"},
      {3, 500, 900, 0, " uploading content: 500 B of 900 B (55%), 0 B/s"},
      // Cut, not rounded: nothing shows done before it is.
      {3, 1023, 1024, 1023, " uploading content: 0.9 KB of 1.0 KB (99%), 1023 B/s"},
      {3, 3 * kGB - 1, 3 * kGB, 2 * kGB, " uploading content: 2.9 GB of 3.0 GB (99%), 2.0 GB/s"},
      {3, 2000 * kGB, 2000 * kGB, std::nullopt,
       " uploading content: 2000.0 GB of 2000.0 GB (100%)"},
      {3, 2000, 1000, std::nullopt, " uploading content: 1000 B of 1000 B (100%)"},
      {3, std::numeric_limits<uint64_t>::max() - 1, std::numeric_limits<uint64_t>::max(),
       std::nullopt, " uploading content: 17179869183.9 GB of 17179869183.9 GB (99%)"},
      {3, 0, 0, 100, " uploading content"},
      {1, 5, 10, 100, " preparing"},
      {2, 0, 0, std::nullopt, " preparing"},
      {5, 10, 10, 100, " committing"},
      {0, 5, 10, 100, ""},
      {6, 5, 10, 100, ""},
      {-1, 5, 10, 100, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ProgressText(c.status, c.processed, c.total, c.rate), c.text)
        << "status " << c.status << ", " << c.processed << " of " << c.total;
  }
}

TEST(ProgressSamplerTest, DrawsChangesAtMostFourTimesASecondWithTheRecentRate) {
  const uint64_t kTotal = 10 * kMB;
  const struct {
    uint64_t milliseconds;
    EItemUpdateStatus status;
    uint64_t processed;
    uint64_t total;
    const char* drawn;  // null: what shows stays
  } samples[] = {
      {0, 5, 0, 0, " committing"},   // the first reading shows at once
      {100, 5, 0, 0, nullptr},       // the same text is not drawn again
      {200, 3, 0, kTotal, nullptr},  // changed, but too soon after the last
      {300, 3, 0, kTotal, " uploading content: 0.0 MB of 10.0 MB (0%)"},
      {400, 3, kMB / 2, kTotal, nullptr},
      {600, 3, kMB, kTotal, " uploading content: 1.0 MB of 10.0 MB (10%)"},
      // A second into the transfer: 2 MB since the reading at 200 ms.
      {1200, 3, 2 * kMB, kTotal, " uploading content: 2.0 MB of 10.0 MB (20%), 2.0 MB/s"},
      // Stalled: five seconds later only the stall counts.
      {4000, 3, 3 * kMB, kTotal, " uploading content: 3.0 MB of 10.0 MB (30%), 808.4 KB/s"},
      {9500, 3, 3 * kMB, kTotal, " uploading content: 3.0 MB of 10.0 MB (30%), 0 B/s"},
      // The preview is a transfer of its own: its rate starts afresh.
      {9800, 4, 0, 100 * kKB, " uploading preview: 0.0 KB of 100.0 KB (0%)"},
      {10800, 4, 50 * kKB, 100 * kKB, " uploading preview: 50.0 KB of 100.0 KB (50%), 50.0 KB/s"},
      {11100, 0, 0, 0, ""},  // done: nothing shows
  };
  ProgressSampler sampler;
  for (const auto& s : samples) {
    const std::optional<std::string> drawn =
        sampler.Sample(s.milliseconds, s.status, s.processed, s.total);
    EXPECT_EQ(drawn.value_or("(stays)"), s.drawn != nullptr ? s.drawn : "(stays)")
        << "at " << s.milliseconds << " ms";
  }
}

}  // namespace
