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

}  // namespace
