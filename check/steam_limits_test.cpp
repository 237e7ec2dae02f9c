#include "check/steam_limits.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "description/reader.h"
#include "tests/support/scratch_folder.h"

namespace {

// What SureFailures says, each line up to its ';', of a section [en] with a
// title and description of these sizes, a preview of `previewBytes` bytes
// (none when negative) and a change note of `noteBytes` bytes (none when
// negative). The preview's path is shown as "P".
std::vector<std::string> Failures(size_t title, size_t description, long long previewBytes,
                                  long long noteBytes) {
  ScratchFolder scratch("steam-limits-");
  const std::string preview = (scratch.Path() / "steam_logo.png").string();
  if (previewBytes >= 0) {
    std::ofstream(preview, std::ios::binary) << std::string(static_cast<size_t>(previewBytes), 'p');
  }
  DescriptionParser parser;
  // A skipped section's texts are never sent, whatever their size.
  parser.Feed("[en]\ntitle = " + std::string(title, 't') + "\ndescription = " +
              std::string(description, 'd') + "\n[vi]\ntitle = " + std::string(500, 't') + "\n");
  const ModDescription record = parser.Finish();
  const std::string note(noteBytes < 0 ? 0 : static_cast<size_t>(noteBytes), 'n');
  std::vector<std::string> said;
  for (std::string line : SureFailures(record, preview, noteBytes < 0 ? nullptr : note.c_str())) {
    line = line.substr(0, line.find(';'));
    if (const size_t at = line.find(preview); at != std::string::npos) {
      line.replace(at, preview.size(), "P");
    }
    said.push_back(line);
  }
  return said;
}

using Lines = std::vector<std::string>;

TEST(SureFailuresTest, EachLimitAtItsBoundary) {
  const uint64_t title = kTitleLimit.bytes;
  const uint64_t description = kDescriptionLimit.bytes;
  const long long preview = kPreviewLimit.bytes;
  const long long note = kChangeNoteLimit.bytes;
  EXPECT_EQ(Failures(title, description, preview - 1, note), Lines{});
  EXPECT_EQ(Failures(title + 1, description + 1, preview, note + 1),
            (Lines{"The preview P has 1048576 bytes", "The title of section [en] has 129 bytes",
                   "The description of section [en] has 8001 bytes",
                   "The change note (-c) has 8001 bytes"}));
  EXPECT_EQ(Failures(1, 1, -1, -1), Lines{"The preview P is missing"});
}

}  // namespace
