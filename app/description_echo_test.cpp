#include "app/description_echo.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/description_inputs.h"

namespace {

TEST(DescriptionEchoTest, EchoesEveryHeaderAndKeyLineInFileOrder) {
  DescriptionEcho echo;
  DescriptionParser parser(&echo);
  testing::internal::CaptureStdout();
  parser.Feed(ReplaceAll(kSampleDescription, "\n", "\r\n"));
  parser.Finish();
  // A value prints up to a NUL of its own, as %s does.
  parser = DescriptionParser(&echo);
  parser.Feed(std::string("[x]\nk = a\0b\n", 12));
  parser.Finish();
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Parsing [ru]\n[ru] title = \xD0\x9C\xD0\xBE\xD0\xB9\nParsing [en]\n"
            "[en] title = My mod\n[en] description = Line one = \"two\"\nParsing [en]\n"
            "[en] version = 1.0\nParsing []\n[]  = =\nParsing [de]\n[de] title = a\rb\n"
            "Parsing [de]\n[de] title = Mein Mod\n[de] last = x\n"
            "Parsing [x]\n[x] k = a\n");
}

}  // namespace
