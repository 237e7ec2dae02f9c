#include "steam_sim/text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace steam_sim {
namespace {

using namespace std::string_literals;

TEST(QuoteTest, KeepsPrintableAsciiAndEscapesTheRest) {
  const struct {
    std::string bytes;
    std::string quoted;
  } cases[] = {
      {"My mod", R"("My mod")"},
      {"", R"("")"},
      {R"(a"b\c)", R"("a\"b\\c")"},
      {" ~", R"(" ~")"},
      {"\0\t\n\x1f\x7f\x80\xc3\xa9\xff"s, R"("\x00\x09\x0a\x1f\x7f\x80\xc3\xa9\xff")"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Quote(c.bytes), c.quoted);
  }
}

TEST(QuoteTest, UnquoteReadsBackEveryByteAndRejectsWhatQuoteNeverWrites) {
  std::string all;
  for (int byte = 0; byte < 256; ++byte) {
    all += static_cast<char>(byte);
  }
  std::string back;
  ASSERT_TRUE(Unquote(Quote(all), &back));
  EXPECT_EQ(back, all);
  ASSERT_TRUE(Unquote(R"("\xC3\xA9")", &back));
  EXPECT_EQ(back, "\xc3\xa9");
  for (const char* bad : {"", "\"", "abc", R"("a"b")", R"("\q")", R"("\x4")", R"("\x4g")", R"("\")",
                          "\"\t\"", "\"a\" "}) {
    EXPECT_FALSE(Unquote(bad, &back)) << bad;
  }
}

TEST(ParseUnsignedTest, ReadsDecimalAndHexUpTo64Bits) {
  const struct {
    const char* token;
    uint64_t value;
  } good[] = {
      {"0", 0},
      {"917", 917},
      {"18446744073709551615", UINT64_MAX},
      {"0x10", 16},
      {"0XfFfFfFfFfFfFfFfF", UINT64_MAX},
  };
  for (const auto& c : good) {
    uint64_t value = 1;
    EXPECT_TRUE(ParseUnsigned(c.token, &value)) << c.token;
    EXPECT_EQ(value, c.value) << c.token;
  }
  for (const char* bad : {"", "-1", "+1", " 1", "1 ", "18446744073709551616", "0x",
                          "0x10000000000000000", "0x1g", "12a", "never"}) {
    uint64_t value = 0;
    EXPECT_FALSE(ParseUnsigned(bad, &value)) << bad;
  }
}

TEST(SplitTest, QuotedTokensKeepBlanksAndEscapedQuotes) {
  std::vector<std::string_view> tokens;
  ASSERT_TRUE(SplitQuotedTokens(R"(title  "en"	"a \" b")", &tokens));
  ASSERT_EQ(tokens.size(), 3U);
  EXPECT_EQ(tokens[1], R"("en")");
  EXPECT_EQ(tokens[2], R"("a \" b")");
  EXPECT_FALSE(SplitQuotedTokens(R"(title "open)", &tokens));
  EXPECT_FALSE(SplitQuotedTokens(R"(title "a"b)", &tokens));
  EXPECT_EQ(SplitTokens(" \tpumps 1\t never  ").size(), 3U);
}

}  // namespace
}  // namespace steam_sim
