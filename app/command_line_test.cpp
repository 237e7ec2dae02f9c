#include "app/command_line.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

struct ParseCase {
  std::vector<const char*> args;  // without the program name
  bool run;
  bool verbose;
  int64_t existingId;
  const char* contentDir;  // null: none
};

class ParseCommandLineTest : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseCommandLineTest, Reads) {
  const ParseCase& c = GetParam();
  std::vector<const char*> argv{"modpublish"};
  argv.insert(argv.end(), c.args.begin(), c.args.end());
  RunSettings settings;
  bool run = ParseCommandLine(static_cast<int>(argv.size()), argv.data(), settings);
  EXPECT_EQ(run, c.run);
  if (!run) {
    return;
  }
  EXPECT_EQ(settings.verbose, c.verbose);
  EXPECT_EQ(settings.existingId, c.existingId);
  ASSERT_NE(settings.contentDir, nullptr);
  EXPECT_STREQ(settings.contentDir, c.contentDir);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, ParseCommandLineTest,
    testing::Values(
        ParseCase{{}, false, true, 0, nullptr}, ParseCase{{"mod"}, true, true, 0, "mod"},
        ParseCase{{"a", "b"}, true, true, 0, "b"},  // the last path wins
        ParseCase{{"-s", "mod"}, true, false, 0, "mod"},
        ParseCase{{"mod", "-s"}, true, false, 0, "-s"},  // "-s" is also a path
        ParseCase{{"-s"}, true, false, 0, "-s"},
        ParseCase{{"-u", "917", "mod"}, true, true, 917, "mod"},
        ParseCase{{"mod", "-u", "1", "-u", "2"}, true, true, 2, "mod"},  // the last -u wins
        ParseCase{{"-u", "mod"}, false, true, 0, nullptr},               // -u swallowed the path
        ParseCase{{"mod", "-u"}, false, true, 0, nullptr},               // trailing -u
        ParseCase{{"-u", "-h", "mod"}, true, true, 0, "mod"},            // -u swallows even -h
        ParseCase{{"-u", "-s", "mod"}, true, true, 0, "mod"},            // ... and -s, unseen
        ParseCase{{"mod", "-h"}, false, true, 0, nullptr},
        ParseCase{{"-h", "mod"}, false, true, 0, nullptr},
        ParseCase{{"-h"}, false, true, 0, nullptr},
        ParseCase{{"-s", "-h"}, false, true, 0, nullptr},
        ParseCase{{"-h", "-u"}, false, true, 0, nullptr},
        ParseCase{{"-u", "1", "-u"}, false, true, 0, nullptr},  // the second -u lacks its id
        ParseCase{{"-u", "abc", "mod"}, true, true, 0, "mod"},
        ParseCase{{"-u", "123x", "mod"}, true, true, 123, "mod"},
        ParseCase{{"-u", "  -42", "mod"}, true, true, -42, "mod"},
        ParseCase{{"-u", "+7", "mod"}, true, true, 7, "mod"},
        ParseCase{{"-u", "9223372036854775807", "mod"}, true, true, INT64_MAX, "mod"},
        // Beyond the 64-bit range: clamped, where atoll would be undefined.
        ParseCase{{"-u", "99999999999999999999", "mod"}, true, true, INT64_MAX, "mod"},
        ParseCase{{"-u", "-99999999999999999999", "mod"}, true, true, INT64_MIN, "mod"},
        ParseCase{{"-S"}, true, true, 0, "-S"}, ParseCase{{"-U"}, true, true, 0, "-U"},
        ParseCase{{"-x"}, true, true, 0, "-x"}, ParseCase{{"-hx"}, true, true, 0, "-hx"},
        ParseCase{{"-"}, true, true, 0, "-"}, ParseCase{{"--"}, true, true, 0, "--"},
        ParseCase{{""}, true, true, 0, ""},  // an empty path is still a path
        ParseCase{{"mod", "-x"}, true, true, 0, "-x"}));

}  // namespace
