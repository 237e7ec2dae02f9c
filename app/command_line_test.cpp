#include "app/command_line.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

// What the arguments ask for, in one line: "usage", or the run's settings,
// with "stop" in front when a value after -u is no item id.
std::string Read(std::vector<const char*> args) {
  args.insert(args.begin(), "modpublish");
  RunSettings s;
  const ParseOutcome outcome = ParseCommandLine(static_cast<int>(args.size()), args.data(), s);
  if (outcome == ParseOutcome::kUsage) {
    return "usage";
  }
  if (s.pathCandidates.empty() || s.pathCandidates.back() != s.contentDir) {
    return "the path is not the last candidate";
  }
  std::string line = outcome == ParseOutcome::kBadItemId ? "stop " : "";
  line += std::string(s.verbose ? "" : "silent ") + (s.keepVisibility ? "keep " : "");
  line += s.existingId != 0 ? "id " + std::to_string(s.existingId) + " " : "";
  line += s.changeNote != nullptr ? "note \"" + std::string(s.changeNote) + "\" " : "";
  line += s.badItemId != nullptr ? "bad \"" + std::string(s.badItemId) + "\" " : "";
  return line + "path \"" + s.contentDir + "\"";
}

TEST(ParseCommandLineTest, ReadsTheOptionsAndTheLastPath) {
  const struct {
    std::vector<const char*> args;
    const char* read;
  } cases[] = {
      {{}, "usage"},
      {{"mod"}, "path \"mod\""},
      {{"a", "b"}, "path \"b\""},
      {{"-s", "mod"}, "silent path \"mod\""},
      {{"mod", "-s"}, "silent path \"-s\""},  // "-s" is also a path
      {{"-s"}, "silent path \"-s\""},
      {{"-u", "917", "mod"}, "id 917 path \"mod\""},
      {{"-u", "0", "mod"}, "path \"mod\""},
      {{"mod", "-u", "1", "-u", "2"}, "id 2 path \"mod\""},
      {{"-u", "mod"}, "usage"},  // -u swallowed the path
      {{"mod", "-u"}, "usage"},
      {{"mod", "-h"}, "usage"},
      {{"-h", "mod"}, "usage"},
      {{"-h"}, "usage"},
      {{"-s", "-h"}, "usage"},
      {{"-h", "-u"}, "usage"},
      {{"-u", "1", "-u"}, "usage"},
      // A value that is no id stops the run, wherever it stands, even -h
      // and -s, which -u swallows unseen...
      {{"-u", "abc", "mod"}, "stop bad \"abc\" path \"mod\""},
      {{"-u", "-h", "mod"}, "stop bad \"-h\" path \"mod\""},
      {{"-u", "-s", "mod"}, "stop bad \"-s\" path \"mod\""},
      {{"-u", "x", "-u", "917", "mod"}, "stop id 917 bad \"x\" path \"mod\""},
      {{"-u", "917", "-u", "x", "-u", "y", "mod"}, "stop id 917 bad \"x\" path \"mod\""},
      // ...but the usage text wins over it, and so does a missing path.
      {{"-u", "abc", "mod", "-h"}, "usage"},
      {{"-u", "abc"}, "usage"},
      // Options are whole and case-sensitive; anything else is a path.
      {{"-S"}, "path \"-S\""},
      {{"-U"}, "path \"-U\""},
      {{"-x"}, "path \"-x\""},
      {{"-hx"}, "path \"-hx\""},
      {{"-"}, "path \"-\""},
      {{"--"}, "path \"--\""},
      {{""}, "path \"\""},
      {{"mod", "-x"}, "path \"-x\""},
      {{"-k", "-c", "Lanterns \"refill\"", "-u", "917", "mod"},
       "keep id 917 note \"Lanterns \"refill\"\" path \"mod\""},
      {{"mod", "-k"}, "keep path \"mod\""},
      {{"-c", "-h", "mod"}, "note \"-h\" path \"mod\""},
      {{"-c", "a", "mod", "-c", ""}, "note \"\" path \"mod\""},
      {{"-c", "mod"}, "usage"},
      {{"mod", "-c"}, "usage"},
      {{"-k"}, "usage"},
  };
  for (const auto& c : cases) {
    std::string args;
    for (const char* arg : c.args) {
      args += std::string(" \"") + arg + "\"";
    }
    EXPECT_EQ(Read(c.args), c.read) << "modpublish" << args;
  }
}

TEST(PathCandidatesTest, KeptInOrder) {
  const char* argv[] = {"modpublish", "a", "-s", "-u", "1", "-x", "b"};
  RunSettings settings;
  ASSERT_EQ(ParseCommandLine(7, argv, settings), ParseOutcome::kRun);
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
