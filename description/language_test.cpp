#include "description/language.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace std::string_literals;

// Steam's name of every code; the names themselves are held to the user
// guide's table by language_docs_test.
TEST(SteamLanguageForTest, KnownCodes) {
  for (const KnownLanguage& language : KnownLanguages()) {
    EXPECT_STREQ(SteamLanguageFor(language.code), language.steamName) << language.code;
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
