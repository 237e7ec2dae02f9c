// The ISteamUGC and ISteamUtils slots, driven through the built library.
// Their journal lines are the boundary's tests' (workshop/steam_api_test,
// workshop/call_result_test), which read them for every operation.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>

#include "steam_sim/sim_fixture.h"
#include "steam_sim/test_platform.h"

namespace steam_sim_test {
namespace {

namespace fs = std::filesystem;

using UGCTest = SimTest;

constexpr uint64_t kInvalidUpdate = 0xFFFFFFFFFFFFFFFFULL;

TEST_F(UGCTest, SettersRefuseOnlyUnknownUpdateHandlesAndNull) {
  Start();
  const std::function<bool(uint64_t)> setters[] = {
      [this](uint64_t u) { return SetTitle(u, "t"); },
      [this](uint64_t u) { return SetDescription(u, "d"); },
      [this](uint64_t u) { return SetLanguage(u, "french"); },
      [this](uint64_t u) { return SetVisibility(u, 0); },
      [this](uint64_t u) { return SetContent(u, "no such folder"); },
      [this](uint64_t u) { return SetPreview(u, "no such file"); },
  };
  // An unknown item still gets an update: the service judges it later.
  const uint64_t update = StartItemUpdate(250, 123456);
  ASSERT_NE(update, kInvalidUpdate);
  for (const auto& set : setters) {
    EXPECT_TRUE(set(update));
    EXPECT_FALSE(set(update + 1000));
    EXPECT_FALSE(set(kInvalidUpdate));
  }
  EXPECT_FALSE(SetTitle(update, nullptr));
  EXPECT_NE(Submit(update, "n"), 0U);
  // A submitted update is spent.
  for (const auto& set : setters) {
    EXPECT_FALSE(set(update));
  }
  EXPECT_EQ(Submit(update, "n"), 0U);
}

TEST_F(UGCTest, HandlesFollowTheScenarioThenNeverRepeat) {
  Start("app_id 250\ncall_handles 1002 5\nupdate_handles 2 7");
  EXPECT_EQ(CreateItem(250), 1002U);
  EXPECT_EQ(StartItemUpdate(250, 1), 2U);
  EXPECT_EQ(CreateItem(250), 5U);
  EXPECT_EQ(StartItemUpdate(250, 1), 7U);
  // Then numbered as usual, past the listed ones: none repeats, none is 0
  // or the invalid update handle.
  std::set<uint64_t> calls{0, 1002, 5};
  std::set<uint64_t> updates{kInvalidUpdate, 2, 7};
  for (int i = 0; i < 2; ++i) {
    EXPECT_TRUE(calls.insert(CreateItem(250)).second);
    EXPECT_TRUE(updates.insert(StartItemUpdate(250, 1)).second);
  }
}

TEST_F(UGCTest, SlowUploadShowsItsProgressAndHoldsTheResultBack) {
  WriteFile(fs::current_path() / "mod" / "data" / "a.bin", std::string(600, 'a'));
  WriteFile(fs::current_path() / "mod" / "b.bin", std::string(400, 'b'));
  fs::create_directories(fs::current_path() / "empty");
  WriteFile(fs::current_path() / "logo.png", std::string(10, 'p'));
  const std::string mod = Absolute("mod");
  const std::string empty = Absolute("empty");
  const std::string logo = Absolute("logo.png");
  Start("app_id 250\nitem_ids 917");
  ASSERT_EQ(CreateDelivered(), 917u);
  const struct {
    const char* name;
    const char* rate;  // STEAMSIM_UPLOAD_RATE; null: unset
    const char* folder;
    const char* preview;
    int32_t status;  // right after the submission
    uint64_t total;
    bool heldBack;  // no result after a few pumps
  } cases[] = {
      // A byte a second: no upload of these ends within the test.
      {"content", "1", mod.c_str(), nullptr, 3, 1000, true},
      {"content then preview", "1", mod.c_str(), logo.c_str(), 3, 1000, true},
      {"preview after empty content", "1", empty.c_str(), logo.c_str(), 4, 10, true},
      {"texts only", "1", nullptr, nullptr, 5, 0, false},
      {"relative folder: nothing to send", "1", "mod", nullptr, 5, 0, false},
      {"no rate: instant", nullptr, mod.c_str(), logo.c_str(), 5, 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.rate != nullptr) {
      SetEnvironment("STEAMSIM_UPLOAD_RATE", c.rate);
    } else {
      UnsetEnvironment("STEAMSIM_UPLOAD_RATE");
    }
    Start();  // reads the rate
    const uint64_t update = StartItemUpdate(250, 917);
    uint64_t processed = 99;
    uint64_t total = 99;
    EXPECT_EQ(Progress(update, &processed, &total), 0) << "not submitted yet";
    EXPECT_EQ(processed + total, 0u);
    if (c.folder != nullptr) {
      SetContent(update, c.folder);
    }
    if (c.preview != nullptr) {
      SetPreview(update, c.preview);
    }
    TestBinding binding = MakeBinding(kSubmitItemId);
    const uint64_t call = Submit(update, "note");
    Register(&binding, call);
    EXPECT_EQ(Progress(update, &processed, &total), c.status);
    EXPECT_EQ(total, c.total);
    EXPECT_LT(processed, std::max<uint64_t>(total, 1));
    const size_t before = RunLog().size();
    Pump(3);
    EXPECT_EQ(RunLog().size(), before + (c.heldBack ? 0 : 1));
    EXPECT_EQ(Progress(update, nullptr, nullptr), c.heldBack ? c.status : 0)
        << "a delivered update is done";
    sim_.unregisterCallResult(&binding, call);
    EXPECT_EQ(Progress(update, &processed, &total), 0) << "an update given up is done";
  }
  EXPECT_EQ(Progress(12345, nullptr, nullptr), 0) << "an unknown update";
}

TEST_F(UGCTest, UnimplementedSlotsAnswerZeroAndAreJournaled) {
  Start();
  ClearJournal();
  EXPECT_EQ(CallSlot<uint64_t>(utils_, 0), 0U);
  EXPECT_EQ(CallSlot<uint64_t>(utils_, 38), 0U);
  EXPECT_EQ(CallSlot<uint64_t>(ugc_, 17), 0U);
  EXPECT_EQ(CallSlot<uint64_t>(ugc_, 49, uint64_t{1}, "key", "value"), 0U);
  EXPECT_EQ(CallSlot<uint64_t>(ugc_, 93), 0U);
  EXPECT_EQ(Journal(), (std::vector<std::string>{
                           "Unexpected ISteamUtils slot 0",
                           "Unexpected ISteamUtils slot 38",
                           "Unexpected ISteamUGC slot 17",
                           "Unexpected ISteamUGC slot 49",
                           "Unexpected ISteamUGC slot 93",
                       }));
}

}  // namespace
}  // namespace steam_sim_test
