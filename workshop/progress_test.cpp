#include "workshop/progress.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

TEST(ProgressBarWidthTest, CountsSectionsAndCreation) {
  EXPECT_EQ(ProgressBarWidth(0, false), 6);
  EXPECT_EQ(ProgressBarWidth(0, true), 7);
  EXPECT_EQ(ProgressBarWidth(1, false), 11);
  EXPECT_EQ(ProgressBarWidth(2, true), 17);
  EXPECT_EQ(ProgressBarWidth(1, false, false), 10);  // an update that keeps the visibility
  EXPECT_EQ(ProgressBarWidth(100000, true), 500007);
  // Far beyond any real description: capped, never wrapped to negative.
  EXPECT_EQ(ProgressBarWidth(static_cast<size_t>(1) << 40, true), 2147483647);
}

// The bars of a new item with the sections "en" and "ru" (width 17): the
// line of step k holds k "#", then spaces up to the width, and past the
// width the bracket moves right.
TEST(StepProgressTest, BarsOfNewItemWithTwoLanguages) {
  StepProgress progress(17);
  std::vector<std::string> lines;
  for (int step = 1; step <= 22; ++step) {
    lines.push_back(progress.Next("Step"));
  }
  EXPECT_EQ(lines[0], "[#                ] Step...");
  EXPECT_EQ(lines[4], "[#####            ] Step...");
  EXPECT_EQ(lines[15], "[################ ] Step...");
  EXPECT_EQ(lines[16], "[#################] Step...");
  EXPECT_EQ(lines[17], "[##################] Step...");
  EXPECT_EQ(lines[21], "[######################] Step...");
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    size_t bar = line.find(']');
    EXPECT_EQ(std::count(line.begin(), line.begin() + bar, '#'), static_cast<long>(i + 1));
    EXPECT_EQ(bar, std::max<size_t>(17, i + 1) + 1) << line;
  }
  EXPECT_EQ(progress.Step(), 22);
}

TEST(StepProgressTest, SkipMovesTheNumberingOnWithoutALine) {
  StepProgress progress(16);
  for (int step = 1; step <= 13; ++step) {
    progress.Next("x");
  }
  progress.Skip(5);  // a section without a Steam language
  EXPECT_EQ(progress.Next("Starting item update with SteamUGC"),
            "[###################] Starting item update with SteamUGC...");
  EXPECT_EQ(progress.Step(), 19);
}

TEST(StepProgressTest, UpdateWithoutSectionsRunsPastTheWidth) {
  StepProgress progress(ProgressBarWidth(0, false));
  for (int step = 1; step <= 5; ++step) {
    progress.Next("x");
  }
  EXPECT_EQ(progress.Next("x"), "[######] x...");
  EXPECT_EQ(progress.Next("x"), "[#######] x...");
}

}  // namespace
