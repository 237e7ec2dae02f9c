#include "workshop/result_text.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <set>
#include <string>

namespace {

TEST(ResultTextTest, KnownCodesAndBoundaries) {
  struct Case {
    int32_t code;
    const char* text;
  };
  const Case cases[] = {
      {0, "NONE"},
      {1, "success"},
      {2, "generic failure"},
      {4, "OBSOLETE - removed"},
      {9, "file was not found"},
      {15, "access is denied"},
      {25, "Too much of a good thing"},
      {61, "The requested new password is not legal"},
      {64, "The requested new password is not legal"},
      {59,
       "External account (PSN, Facebook...) is already linked to some other account, must "
       "explicitly request to replace/delete the link first"},
      {106, "this token has expired from disuse; can be reset for use"},
      {107, "UNKNOWN"},
      {1000, "UNKNOWN"},
      {INT32_MAX, "UNKNOWN"},
      {-1, "UNKNOWN"},
      {INT32_MIN, "UNKNOWN"},
  };
  for (const Case& c : cases) {
    EXPECT_STREQ(ResultText(c.code), c.text) << "code " << c.code;
  }
}

TEST(ResultTextTest, EveryCodeInRangeHasItsOwnText) {
  std::set<std::string> texts;
  for (int32_t code = 0; code <= 106; ++code) {
    const char* text = ResultText(code);
    ASSERT_NE(text, nullptr) << "code " << code;
    EXPECT_GT(std::strlen(text), 0u) << "code " << code;
    EXPECT_STRNE(text, "UNKNOWN") << "code " << code;
    texts.insert(text);
  }
  // 107 codes, of which only 61 and 64 share a text.
  EXPECT_EQ(texts.size(), 106u);
}

}  // namespace
