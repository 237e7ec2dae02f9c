#include "app/command_line.h"

#include <gtest/gtest.h>

#include <climits>
#include <ostream>
#include <string>
#include <vector>

namespace {

struct ParseCase {
  const char* name;               // the test's name: letters, digits and '_'
  std::vector<const char*> args;  // without the program name
  ParseOutcome outcome;
  bool verbose;
  int64_t existingId;
  const char* contentDir;  // null: none
  const char* badItemId;   // null: none
  bool keepVisibility = false;
  const char* changeNote = nullptr;  // null: none
};

constexpr ParseOutcome kRun = ParseOutcome::kRun;
constexpr ParseOutcome kUsage = ParseOutcome::kUsage;
constexpr ParseOutcome kBad = ParseOutcome::kBadItemId;

// The case's name, for the test's name (CTest shows it): the same from
// build to build, unlike the bytes of its pointers.
void PrintTo(const ParseCase& c, std::ostream* out) { *out << c.name; }

class ParseCommandLineTest : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseCommandLineTest, Reads) {
  const ParseCase& c = GetParam();
  std::vector<const char*> argv{"modpublish"};
  argv.insert(argv.end(), c.args.begin(), c.args.end());
  RunSettings settings;
  const ParseOutcome outcome =
      ParseCommandLine(static_cast<int>(argv.size()), argv.data(), settings);
  EXPECT_EQ(outcome, c.outcome);
  if (outcome == kUsage) {
    return;
  }
  EXPECT_EQ(settings.verbose, c.verbose);
  EXPECT_EQ(settings.existingId, c.existingId);
  ASSERT_NE(settings.contentDir, nullptr);
  EXPECT_STREQ(settings.contentDir, c.contentDir);
  ASSERT_FALSE(settings.pathCandidates.empty());
  EXPECT_EQ(settings.pathCandidates.back(), settings.contentDir);
  if (c.badItemId == nullptr) {
    EXPECT_EQ(settings.badItemId, nullptr);
  } else {
    EXPECT_STREQ(settings.badItemId, c.badItemId);
  }
  EXPECT_EQ(settings.keepVisibility, c.keepVisibility);
  if (c.changeNote == nullptr) {
    EXPECT_EQ(settings.changeNote, nullptr);
  } else {
    EXPECT_STREQ(settings.changeNote, c.changeNote);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, ParseCommandLineTest,
    testing::Values(
        ParseCase{"NoArguments", {}, kUsage, true, 0, nullptr, nullptr},
        ParseCase{"Path", {"mod"}, kRun, true, 0, "mod", nullptr},
        ParseCase{"LastPathWins", {"a", "b"}, kRun, true, 0, "b", nullptr},
        ParseCase{"SilentBeforePath", {"-s", "mod"}, kRun, false, 0, "mod", nullptr},
        ParseCase{"SilentAfterPathIsThePath",
                  {"mod", "-s"},
                  kRun,
                  false,
                  0,
                  "-s",
                  nullptr},  // "-s" is also a path
        ParseCase{"SilentAlone", {"-s"}, kRun, false, 0, "-s", nullptr},
        ParseCase{"UpdateId", {"-u", "917", "mod"}, kRun, true, 917, "mod", nullptr},
        ParseCase{"UpdateZeroIsNew", {"-u", "0", "mod"}, kRun, true, 0, "mod", nullptr},
        ParseCase{"LastUpdateWins", {"mod", "-u", "1", "-u", "2"}, kRun, true, 2, "mod", nullptr},
        ParseCase{"UpdateSwallowsPath",
                  {"-u", "mod"},
                  kUsage,
                  true,
                  0,
                  nullptr,
                  nullptr},  // -u swallowed the path
        ParseCase{"TrailingUpdate", {"mod", "-u"}, kUsage, true, 0, nullptr, nullptr},
        ParseCase{"HelpAfterPath", {"mod", "-h"}, kUsage, true, 0, nullptr, nullptr},
        ParseCase{"HelpBeforePath", {"-h", "mod"}, kUsage, true, 0, nullptr, nullptr},
        ParseCase{"Help", {"-h"}, kUsage, true, 0, nullptr, nullptr},
        ParseCase{"HelpAfterSilent", {"-s", "-h"}, kUsage, true, 0, nullptr, nullptr},
        ParseCase{"HelpBeforeUpdate", {"-h", "-u"}, kUsage, true, 0, nullptr, nullptr},
        ParseCase{"SecondUpdateLacksId", {"-u", "1", "-u"}, kUsage, true, 0, nullptr, nullptr},
        // A value that is no id stops the run, wherever it stands...
        ParseCase{"BadId", {"-u", "abc", "mod"}, kBad, true, 0, "mod", "abc"},
        ParseCase{
            "BadIdDashH", {"-u", "-h", "mod"}, kBad, true, 0, "mod", "-h"},  // -u swallows even -h
        ParseCase{
            "BadIdDashS", {"-u", "-s", "mod"}, kBad, true, 0, "mod", "-s"},  // ... and -s, unseen
        ParseCase{"BadIdThenGood", {"-u", "x", "-u", "917", "mod"}, kBad, true, 917, "mod", "x"},
        ParseCase{"GoodThenBadIds",
                  {"-u", "917", "-u", "x", "-u", "y", "mod"},
                  kBad,
                  true,
                  917,
                  "mod",
                  "x"},
        // ...but the usage text wins over it, and so does a missing path.
        ParseCase{
            "HelpWinsOverBadId", {"-u", "abc", "mod", "-h"}, kUsage, true, 0, nullptr, nullptr},
        ParseCase{"BadIdWithoutPath", {"-u", "abc"}, kUsage, true, 0, nullptr, nullptr},
        ParseCase{"UpperS", {"-S"}, kRun, true, 0, "-S", nullptr},
        ParseCase{"UpperU", {"-U"}, kRun, true, 0, "-U", nullptr},
        ParseCase{"UnknownOption", {"-x"}, kRun, true, 0, "-x", nullptr},
        ParseCase{"DashHx", {"-hx"}, kRun, true, 0, "-hx", nullptr},
        ParseCase{"LoneDash", {"-"}, kRun, true, 0, "-", nullptr},
        ParseCase{"DoubleDash", {"--"}, kRun, true, 0, "--", nullptr},
        ParseCase{"EmptyPath", {""}, kRun, true, 0, "", nullptr},  // an empty path is still a path
        ParseCase{"UnknownOptionAfterPath", {"mod", "-x"}, kRun, true, 0, "-x", nullptr},
        ParseCase{"KeepAndNote",
                  {"-k", "-c", "Lanterns \"refill\"", "-u", "917", "mod"},
                  kRun,
                  true,
                  917,
                  "mod",
                  nullptr,
                  true,
                  "Lanterns \"refill\""},
        ParseCase{"KeepAfterPath", {"mod", "-k"}, kRun, true, 0, "mod", nullptr, true},
        ParseCase{
            "NoteTakesAnything", {"-c", "-h", "mod"}, kRun, true, 0, "mod", nullptr, false, "-h"},
        ParseCase{
            "LastNoteWins", {"-c", "a", "mod", "-c", ""}, kRun, true, 0, "mod", nullptr, false, ""},
        ParseCase{"NoteSwallowsPath", {"-c", "mod"}, kUsage, true, 0, nullptr, nullptr},
        ParseCase{"TrailingNote", {"mod", "-c"}, kUsage, true, 0, nullptr, nullptr},
        ParseCase{"KeepAlone", {"-k"}, kUsage, true, 0, nullptr, nullptr}));

TEST(PathCandidatesTest, KeptInOrder) {
  const char* argv[] = {"modpublish", "a", "-s", "-u", "1", "-x", "b"};
  RunSettings settings;
  ASSERT_EQ(ParseCommandLine(7, argv, settings), kRun);
  EXPECT_EQ(settings.pathCandidates,
            (std::vector<const char*>{argv[1], argv[2], argv[5], argv[6]}));
}

constexpr char kPage[] = "https://steamcommunity.com/sharedfiles/filedetails/?";
constexpr char kWorkshopPage[] = "https://steamcommunity.com/workshop/filedetails/?";

TEST(ParseItemIdTest, AcceptsDigitsAndThePageAddress) {
  const struct {
    std::string text;
    int64_t id;
  } accepted[] = {
      {"917", 917},
      {"0", 0},
      {" \t917\r\n", 917},  // as a script may pass it, read from a file
      {"9223372036854775807", INT64_MAX},
      {std::string(kPage) + "id=917", 917},
      {"http://steamcommunity.com/sharedfiles/filedetails/?id=917", 917},
      {std::string(kPage) + "searchtext=&id=3121977093", 3121977093},
      {" " + std::string(kPage) + "id=9223372036854775807 ", INT64_MAX},
      {std::string(kWorkshopPage) + "id=1", 1},
      {"http://steamcommunity.com/workshop/filedetails/?searchtext=&id=917", 917},
  };
  for (const auto& c : accepted) {
    int64_t id = -1;
    EXPECT_TRUE(ParseItemId(c.text, id)) << c.text;
    EXPECT_EQ(id, c.id) << c.text;
  }
}

TEST(ParseItemIdTest, RefusesEverythingElse) {
  for (const std::string& text : {
           std::string(""),
           std::string("abc"),
           std::string("123x"),
           std::string("-5"),
           std::string("-h"),
           std::string("9223372036854775808"),  // 2^63
           std::string("917\v"),
           std::string("917\0", 4),
           std::string("\xef\xbc\x99\xef\xbc\x91\xef\xbc\x97"),  // full-width digits
           std::string(kPage) + "id=",
           std::string(kPage) + "id=0",  // no page has id 0
           std::string(kPage) + "id=917x",
           std::string(kPage) + "id=1&id=2",
           std::string(kPage) + "xid=917",
           std::string(kPage) + "id=917#comments",
           std::string("https://steamcommunity.com/sharedfiles/filedetails?id=917"),
           std::string("https://example.com/sharedfiles/filedetails/?id=917"),
           std::string("HTTPS://steamcommunity.com/sharedfiles/filedetails/?id=917"),
           std::string(kWorkshopPage) + "id=0",
           std::string(kWorkshopPage) + "id=1&id=2",
           std::string("https://steamcommunity.com/workshop/browse/?id=917"),
           std::string("https://steamcommunity.com/workshop/filedetails?id=917"),
       }) {
    int64_t id = 42;
    EXPECT_FALSE(ParseItemId(text, id)) << text;
    EXPECT_EQ(id, 42) << "left alone: " << text;
  }
}

}  // namespace
