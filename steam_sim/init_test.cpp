// SteamAPI_Init, ContextInit, GetHSteamUser and the interface lookup,
// driven through the built library's exports.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "steam_sim/sim_fixture.h"
#include "steam_sim/test_platform.h"

namespace steam_sim_test {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

using InitTest = SimTest;

// 1025 bytes: one more than steam_appid.txt may hold.
const std::string kLongFile = std::string(1021, ' ') + "480\n";

TEST_F(InitTest, AppIdComesFromScenarioThenFileThenEnvironment) {
  const struct {
    const char* name;
    const char* scenario;
    const char* file;         // steam_appid.txt in the current folder
    const char* environment;  // SteamAppId
    int result;
    uint32_t appId;
  } cases[] = {
      {"nowhere", "", nullptr, nullptr, 1, 0},
      {"file", "", "480\r\n", nullptr, 0, 480},
      {"environment", "", nullptr, "570", 0, 570},
      {"file before environment", "", "480", "570", 0, 480},
      {"scenario before file", "app_id 250", "480", "570", 0, 250},
      {"scenario zero", "app_id 0", "480", nullptr, 0, 0},
      {"blanks around", "", " \t480 \r\n\n", nullptr, 0, 480},
      {"empty variable is unset", "", "480", "", 0, 480},
      // A file or variable that is there and holds no app id fails the
      // start, whatever the other holds.
      {"no number in file", "", "four", "570", 1, 0},
      {"byte-order mark in file", "",
       "\xEF\xBB\xBF"
       "480",
       "570", 1, 0},
      {"words in file", "", "AppID = 480", nullptr, 1, 0},
      {"empty file", "", "", "570", 1, 0},
      {"zero in file", "", "0", nullptr, 1, 0},
      {"beyond 32 bits", "", "4294967296", nullptr, 1, 0},
      {"no number in variable", "", "480", "four", 1, 0},
      {"too long a file", "", kLongFile.c_str(), nullptr, 1, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::error_code ignored;
    fs::remove("steam_appid.txt", ignored);
    if (c.file != nullptr) {
      WriteFile(fs::current_path() / "steam_appid.txt", c.file);
    }
    if (c.environment != nullptr) {
      SetEnvironment("SteamAppId", c.environment);
    } else {
      UnsetEnvironment("SteamAppId");
    }
    UseScenario(c.scenario);
    char message[1024];
    std::memset(message, 'x', sizeof message);
    ASSERT_EQ(Init(message), c.result);
    if (c.result == 0) {
      utils_ = sim_.findInterface(1, "SteamUtils010");
      EXPECT_EQ(GetAppID(), c.appId);
    } else {
      ASSERT_NE(std::memchr(message, '\0', sizeof message), nullptr);
      EXPECT_NE(std::string(message).find("no app id"), std::string::npos) << message;
      EXPECT_EQ(sim_.findInterface(1, "SteamUtils010"), nullptr);
    }
  }
}

TEST_F(InitTest, VersionListMustNameUtilsAndUGC) {
  const struct {
    std::string list;
    int result;
  } cases[] = {
      {"SteamUtils010\0STEAMUGC_INTERFACE_VERSION020\0\0"s, 0},
      {"SteamUser023\0STEAMUGC_INTERFACE_VERSION020\0SteamFriends017\0SteamUtils010\0\0"s, 0},
      {"SteamUtils010\0\0"s, 1},
      {"SteamUtils010\0STEAMUGC_INTERFACE_VERSION019\0\0"s, 1},
      {"SteamUtils010\0\0STEAMUGC_INTERFACE_VERSION020\0\0"s, 1},  // after the end
      {"\0"s, 1},
  };
  UseScenario("app_id 250");
  for (const auto& c : cases) {
    char message[1024] = "";
    EXPECT_EQ(sim_.init(c.list.c_str(), message), c.result) << c.list;
    if (c.result != 0) {
      EXPECT_NE(std::string(message).find("version list lacks"), std::string::npos) << message;
    }
  }
}

TEST_F(InitTest, FailsAndSaysWhy) {
  const fs::path scenario = root_ / "scenario.txt";
  const fs::path noFolder = root_ / "no" / "journal.txt";
  const struct {
    const char* name;
    const char* scenarioText;  // null: no scenario file at all
    fs::path journal;
    const char* uploadRate;  // STEAMSIM_UPLOAD_RATE; null: unset
    int result;
    std::string message;
    bool printed;  // a broken set-up is printed on standard error too
  } cases[] = {
      {"unknown directive", "app_id 250\nbogus 1", journal_, nullptr, 1,
       scenario.string() + ":2: unknown directive \"bogus\"", true},
      {"missing scenario", nullptr, journal_, nullptr, 1,
       "cannot read the scenario file " + scenario.string(), true},
      {"journal folder missing", "app_id 250", noFolder, nullptr, 1,
       "cannot open the journal " + noFolder.string() + " for writing", true},
      {"upload rate not a number", "app_id 250", journal_, "1MB", 1,
       "STEAMSIM_UPLOAD_RATE \"1MB\" is not a number", true},
      {"upload rate zero", "app_id 250", journal_, "0", 1,
       "STEAMSIM_UPLOAD_RATE \"0\" is not a number", true},
      {"init code", "app_id 250\ninit 3", journal_, nullptr, 3,
       "the scenario makes SteamAPI_Init answer 3", false},
      {"fail directive", "app_id 250\nfail SteamAPI_Init", journal_, nullptr, 1,
       "the scenario fails SteamAPI_Init", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::error_code ignored;
    fs::remove(scenario, ignored);
    if (c.scenarioText != nullptr) {
      WriteFile(scenario, c.scenarioText);
    }
    SetEnvironment("STEAMSIM_SCENARIO", scenario.string());
    SetEnvironment("STEAMSIM_JOURNAL", c.journal.string());
    if (c.uploadRate != nullptr) {
      SetEnvironment("STEAMSIM_UPLOAD_RATE", c.uploadRate);
    }
    char message[1024] = "";
    testing::internal::CaptureStderr();
    EXPECT_EQ(Init(message), c.result);
    const std::string printed = testing::internal::GetCapturedStderr();
    const std::string expected = "steam_sim: " + c.message;
    EXPECT_EQ(std::string(message).substr(0, expected.size()), expected);
    EXPECT_EQ(printed.substr(0, expected.size()), c.printed ? expected : "") << printed;
    EXPECT_EQ(sim_.getHSteamUser(), 0);
    UnsetEnvironment("STEAMSIM_UPLOAD_RATE");
  }
}

// A context's init function, counting its calls and caching the utils
// object as the caller's accessor would.
int contextCalls = 0;
SimExports* contextSim = nullptr;
void FillContext(void* slot) {
  ++contextCalls;
  *static_cast<void**>(slot) = contextSim->findInterface(1, "SteamUtils010");
}

TEST_F(InitTest, ContextRefreshesOncePerSuccessfulInit) {
  contextSim = &sim_;
  contextCalls = 0;
  Start();
  void* context[3] = {reinterpret_cast<void*>(&FillContext), nullptr, nullptr};
  EXPECT_EQ(sim_.contextInit(context), &context[2]);
  EXPECT_EQ(contextCalls, 1);
  EXPECT_EQ(context[2], utils_);
  const void* generation = context[1];
  EXPECT_NE(generation, nullptr);

  sim_.contextInit(context);
  EXPECT_EQ(contextCalls, 1) << "same session, same generation";

  UseScenario("app_id 250\ninit 2");
  ASSERT_EQ(Init(), 2);
  sim_.contextInit(context);
  EXPECT_EQ(contextCalls, 1) << "a failed init starts no generation";

  Start();
  sim_.contextInit(context);
  EXPECT_EQ(contextCalls, 2);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(context[1]), reinterpret_cast<uintptr_t>(generation) + 1);
}

// null_interface is the boundary's test's (workshop/steam_api_test).
TEST_F(InitTest, InterfacesGoOnlyToTheRightUserAndVersion) {
  EXPECT_EQ(sim_.findInterface(1, "SteamUtils010"), nullptr) << "before any init";
  Start();
  const struct {
    const char* version;
    int32_t user;
    bool found;
  } cases[] = {
      {"SteamUtils010", 0, true},
      {"SteamUtils010", 7, true},
      {"STEAMUGC_INTERFACE_VERSION020", 1, true},
      {"STEAMUGC_INTERFACE_VERSION020", 0, false},
      {"STEAMUGC_INTERFACE_VERSION020", 2, false},
      {"SteamUtils009", 1, false},
      {"STEAMUGC_INTERFACE_VERSION0200", 1, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(sim_.findInterface(c.user, c.version) != nullptr, c.found)
        << c.user << " " << c.version;
  }
}

// The interface lookups' lines are the boundary's test's
// (workshop/steam_api_test).
TEST_F(InitTest, JournalsLookups) {
  Start();
  ClearJournal();
  sim_.getHSteamUser();
  GetAppID();
  EXPECT_EQ(Journal(), (std::vector<std::string>{"GetHSteamUser -> 1", "GetAppID -> 250"}));
}

// The library's first generation and SteamAPI_Init's call count belong to
// the process, so they are watched from a fresh one.
TEST_F(InitTest, FreshProcessCountsInitsFromOne) {
  UseScenario("app_id 250\nfail SteamAPI_Init 2");
  EXPECT_EQ(RunProbe({"init", "3"}), "before=0 results=0,1,0 generation=2\n");
}

}  // namespace
}  // namespace steam_sim_test
