#include "check/text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr size_t kNone = std::string::npos;

TEST(TextTest, Utf8WellFormedOnly) {
  const struct {
    std::string text;
    size_t firstBad;     // FirstBadUtf8
    size_t firstLength;  // Utf8CharacterLength
  } cases[] = {
      {"", kNone, 0},
      {"plain", kNone, 1},
      {"\xC2\x80\xDF\xBF", kNone, 2},  // U+0080, U+07FF
      {"\xD0\x9C\xD0\xBE\xD0\xB9", kNone, 2},
      {"\xE2\x82\xAC", kNone, 3},
      {"\xED\x9F\xBF\xEE\x80\x80", kNone, 3},          // either side of the surrogates
      {"\xF0\x90\x80\x80\xF4\x8F\xBF\xBF", kNone, 4},  // U+10000, U+10FFFF
      {"\xC3", 0, 0},                                  // cut short
      {"\xE2\x82", 0, 0},
      {"\xC3(", 0, 0},     // bad continuation
      {"\x80", 0, 0},      // stray continuation
      {"\xC1\xBF", 0, 0},  // overlong
      {"\xE0\x9F\xBF", 0, 0},
      {"\xF0\x8F\xBF\xBF", 0, 0},
      {"\xED\xA0\x80", 0, 0},      // surrogate
      {"\xF4\x90\x80\x80", 0, 0},  // past U+10FFFF
      {"\xF5\x80\x80\x80", 0, 0},
      {"\xFF", 0, 0},
      {"ok\xC3(", 2, 1},
      {"\xE2\x82\xAC\xE2\x82", 3, 3},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FirstBadUtf8(c.text), c.firstBad) << testing::PrintToString(c.text);
    EXPECT_EQ(Utf8CharacterLength(c.text), c.firstLength) << testing::PrintToString(c.text);
  }
}

// Only ASCII letters fold: the bytes beside them in the table ('@' '['
// '`' '{') and every byte past ASCII stay as they are.
TEST(TextTest, AsciiLettersMatchInEitherCase) {
  const struct {
    std::string text;
    std::string part;
    bool equal, starts, ends, contains;
  } cases[] = {
      {"Title", "tITLE", true, true, true, true},
      {"HTTPS://x", "https://", false, true, false, true},
      {"store.SteamPowered.com", "steampowered.com", false, false, true, true},
      {"a[/CODE]b", "[/code]", false, false, false, true},
      {"[/cod", "[/code]", false, false, false, false},
      {"@[", "`{", false, false, false, false},
      {"\xC3\x89", "\xC3\xA9", false, false, false, false},  // É, é
  };
  for (const auto& c : cases) {
    const std::string what = c.text + " / " + c.part;
    EXPECT_EQ(EqualIgnoringCase(c.text, c.part), c.equal) << what;
    EXPECT_EQ(StartsWithIgnoringCase(c.text, c.part), c.starts) << what;
    EXPECT_EQ(EndsWithIgnoringCase(c.text, c.part), c.ends) << what;
    EXPECT_EQ(ContainsIgnoringCase(c.text, c.part), c.contains) << what;
  }
}

}  // namespace
