#include "check/app_id.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/scratch_folder.h"

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

// The golden cases appid_* hold the common ones: blanks around, a
// byte-order mark, words, nothing, 0.
TEST(ParseAppIdTest, JustTheNumberWithBlanksAround) {
  const struct {
    std::string text;
    uint32_t appId;
  } cases[] = {
      {"480", 480},
      {"000480", 480},
      {"4294967295", 4294967295u},
      {"4294967296", 0},
      {"99999999999999999999999", 0},
      {" \r\n", 0},
      {"480 570", 0},
      {"+480", 0},
      {"0x1E0", 0},
      {"480\0"s, 0},
      {"\v480", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseAppId(c.text), c.appId) << testing::PrintToString(c.text);
  }
}

// Runs in a scratch folder of its own, as the current folder.
class CheckAppIdTest : public testing::Test {
 protected:
  void SetUp() override {
    saved_ = fs::current_path();
    fs::current_path(folder_.Path());
  }
  void TearDown() override { fs::current_path(saved_); }

  static void Write(const std::string& name, const std::string& bytes) {
    std::ofstream(name, std::ios::binary) << bytes;
  }

  ScratchFolder folder_{"app-id"};
  fs::path saved_;
};

// No finding, or one error holding each of `phrases`.
void ExpectFinding(const std::vector<Diagnostic>& findings,
                   const std::vector<std::string>& phrases) {
  if (phrases.empty()) {
    EXPECT_TRUE(findings.empty()) << findings.front().message;
    return;
  }
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_TRUE(findings[0].error());
  for (const std::string& phrase : phrases) {
    EXPECT_NE(findings[0].message.find(phrase), std::string::npos) << findings[0].message;
  }
}

TEST_F(CheckAppIdTest, EveryWayToGetItWrong) {
  const struct {
    const char* name;
    std::optional<std::string> file;  // steam_appid.txt
    const char* variable;             // SteamAppId, null when unset
    std::vector<std::string> fileFinding;
    std::vector<std::string> variableFinding;
  } cases[] = {
      // The golden cases of tests/check hold the common ones: a byte-order
      // mark, words, nothing, 0, neither file nor variable.
      {"both", "480", "570", {}, {}},
      {"empty variable counts as unset", "480", "", {}, {}},
      {"neither, variable empty", std::nullopt, "", {"SteamAppId is not set"}, {}},
      {"byte-order mark beside a good variable",
       "\xEF\xBB\xBF"
       "480",
       "570",
       {"starts with a byte-order mark"},
       {}},
      {"UTF-16",
       "\xFF\xFE"
       "4\0"
       "8\0"
       "0\0"s,
       nullptr,
       {"is saved as UTF-16"},
       {}},
      {"words without a number", "my game", nullptr, {"holds \"my game\"", "such as 480"}, {}},
      {"blanks", " \n", nullptr, {"holds only blanks"}, {}},
      {"too big", "4294967296", nullptr, {"holds 4294967296, more than any app id"}, {}},
      {"variable zero, no file", std::nullopt, "0", {}, {"SteamAppId holds 0"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove("steam_appid.txt");
    if (c.file) {
      Write("steam_appid.txt", *c.file);
    }
    const AppIdCheck check = CheckAppId(c.variable);
    ExpectFinding(check.file, c.fileFinding);
    ExpectFinding(check.variable, c.variableFinding);
  }
}

TEST_F(CheckAppIdTest, FilesThatAreNoAppIdFile) {
  // Windows hides the second .txt; the variable makes it harmless.
  Write("steam_appid.txt.txt", "480");
  EXPECT_TRUE(CheckAppId("480").file.empty());

  Write("steam_appid.txt", std::string(kAppIdFileLimit - 3, ' ') + "480");
  EXPECT_TRUE(CheckAppId(nullptr).file.empty());
  Write("steam_appid.txt", std::string(kAppIdFileLimit - 2, ' ') + "480");
  AppIdCheck check = CheckAppId(nullptr);
  ASSERT_EQ(check.file.size(), 1u);
  EXPECT_NE(check.file[0].message.find("1025 bytes long"), std::string::npos);

  fs::remove("steam_appid.txt");
  fs::create_directory("steam_appid.txt");
  check = CheckAppId("480");
  ASSERT_EQ(check.file.size(), 1u);
  EXPECT_NE(check.file[0].message.find("is not a regular file"), std::string::npos);
}

}  // namespace
