#include "description/language.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace std::string_literals;

TEST(SteamLanguageForTest, KnownCodes) {
  const struct {
    const char* code;
    const char* name;
  } cases[] = {
      {"bg", "bulgarian"},  {"cs", "czech"},        {"da", "danish"},    {"de", "german"},
      {"el", "greek"},      {"en", "english"},      {"es", "spanish"},   {"fi", "finnish"},
      {"fr", "french"},     {"hu", "hungarian"},    {"it", "italian"},   {"ja", "japanese"},
      {"ko", "koreana"},    {"nl", "dutch"},        {"no", "norwegian"}, {"pl", "polish"},
      {"pt", "portuguese"}, {"pt_BR", "brazilian"}, {"ro", "romanian"},  {"ru", "russian"},
      {"sv", "swedish"},    {"th", "thai"},         {"tr", "turkish"},   {"uk", "ukrainian"},
      {"zh", "schinese"},   {"zh_TW", "tchinese"},
  };
  for (const auto& c : cases) {
    EXPECT_STREQ(SteamLanguageFor(c.code), c.name) << c.code;
  }
}

TEST(SteamLanguageForTest, OtherFormsAreUnknown) {
  const std::string cases[] = {
      "EN",  "En",  "pt_br", "pt-BR", "zh-TW", "zh_CN", "en_US",  "",         "vi",
      " en", "en ", "pt_B",  "e",     "\0"s,   "en\0"s, "en\0x"s, "pt\0_BR"s,
  };
  for (const std::string& name : cases) {
    const char* result = SteamLanguageFor(name);
    ASSERT_NE(result, nullptr);
    EXPECT_STREQ(result, "") << testing::PrintToString(name);
  }
}

}  // namespace
