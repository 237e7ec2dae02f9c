#include "console/console.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace std::string_literals;

TEST(PrintableTest, EscapesEveryControlByteAndNothingElse) {
  std::string all;
  for (int byte = 0; byte < 256; ++byte) {
    all += static_cast<char>(byte);
  }
  const std::string shown = Printable(all);
  for (char c : shown) {
    const auto byte = static_cast<unsigned char>(c);
    ASSERT_TRUE(byte >= 0x20 && byte != 0x7F) << static_cast<int>(byte);
  }
  EXPECT_EQ(shown.substr(0, 8), "\\x00\\x01");
  EXPECT_EQ(Printable("a\nb\r\x1B[2J\x7F\xD0\x9C"s), "a\\x0Ab\\x0D\\x1B[2J\\x7F\xD0\x9C");
  // 32 controls take four bytes each, the 224 other bytes one.
  EXPECT_EQ(shown.size(), 33 * 4 + 223u);
}

TEST(ExcerptTest, CutsAtACharacterBoundaryAndEscapesControls) {
  EXPECT_EQ(Excerpt("abc", 3), "abc");
  EXPECT_EQ(Excerpt("abcd", 3), "abc...");
  EXPECT_EQ(Excerpt("a\xD0\x9C\xD0\xBE", 2), "a...");  // not half of the 2-byte letter
  EXPECT_EQ(Excerpt("a\xD0\x9C\xD0\xBE", 3), "a\xD0\x9C...");
  EXPECT_EQ(Excerpt("a\rb\0\x7F"s, 10), "a\\x0Db\\x00\\x7F");
}

// Where a live text ends up on a terminal 80 columns wide: the cursor goes
// back to its first column, however many rows it wrapped onto.
TEST(EraseSequenceTest, GoesBackToWhereTheTextBegan) {
  const struct {
    size_t start;
    size_t length;
    size_t width;
    const char* sequence;
  } cases[] = {
      {69, 10, 80, "\r\x1B[69C\x1B[J"},         // one row
      {69, 12, 80, "\r\x1B[1A\x1B[69C\x1B[J"},  // wrapped onto a second row
      {69, 200, 80, "\r\x1B[3A\x1B[69C\x1B[J"},
      {0, 5, 80, "\r\x1B[J"},  // from the line's start: no move right
      {0, 161, 80, "\r\x1B[2A\x1B[J"},
      {165, 10, 80, "\r\x1B[5C\x1B[J"},  // the line itself had wrapped twice
      {69, 0, 80, ""},                   // nothing shows
      {69, 10, 0, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Printable(EraseSequence(c.start, c.length, c.width)), Printable(c.sequence))
        << c.length << " columns from column " << c.start << " of " << c.width;
  }
}

TEST(ColumnAfterTest, CountsCharactersSinceTheLineBegan) {
  EXPECT_EQ(ColumnAfter(0, "[###   ] Step...<3ea>"), 21u);
  EXPECT_EQ(ColumnAfter(21, "."), 22u);
  EXPECT_EQ(ColumnAfter(20, "OK\nStarting uploading\n[#] S"), 5u);
  EXPECT_EQ(ColumnAfter(7, "50%\r"), 0u);
  EXPECT_EQ(ColumnAfter(0, "\xD0\xA4\xD0\xBE\xD0\xBD"), 3u);  // three letters of UTF-8
}

}  // namespace
