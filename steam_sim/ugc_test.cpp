// The ISteamUGC and ISteamUtils slots and their journal lines, driven
// through the built library.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>

#include "steam_sim/sim_fixture.h"
#include "steam_sim/test_platform.h"
#include "steam_sim/text.h"

namespace steam_sim_test {
namespace {

namespace fs = std::filesystem;
using steam_sim::Quote;

using UGCTest = SimTest;

constexpr uint64_t kInvalidUpdate = 0xFFFFFFFFFFFFFFFFULL;

TEST_F(UGCTest, JournalRecordsAPublicationLineByLine) {
  WriteFile(fs::current_path() / "mod" / "steam_logo.png", "png");
  Start("app_id 250\nitem_ids 917\ncall_handles 6699 6700\nupdate_handles 11");
  ClearJournal();
  TestBinding created = MakeBinding(kCreateItemId);
  TestBinding submitted = MakeBinding(kSubmitItemId);

  GetAppID();
  Register(&created, CreateItem(250));
  Pump();
  const uint64_t update = StartItemUpdate(250, 917);
  SetLanguage(update, "english");
  SetTitle(update, "My mod");
  SetDescription(update, "Line one\nLine two");
  SetVisibility(update, 2);
  SetContent(update, Absolute("mod").c_str());
  SetPreview(update, Absolute("mod/steam_logo.png").c_str());
  Register(&submitted, Submit(update, "initial commit"));
  Pump();
  sim_.unregisterCallResult(&submitted, 6700);

  const std::string slot = std::to_string(kRunSlot);
  EXPECT_EQ(
      Journal(),
      (std::vector<std::string>{
          "GetAppID -> 250",
          "CreateItem app=250 type=0 -> 6699",
          "RegisterCallResult call=6699 id=3403 size=" + std::to_string(kCreateRecordSize),
          "RunCallbacks",
          "Deliver call=6699 slot=" + slot + " result=1 io=false legal=false item=917",
          "StartItemUpdate app=250 item=917 -> 11",
          R"(SetItemUpdateLanguage update=11 language="english" -> true)",
          R"(SetItemTitle update=11 title="My mod" -> true)",
          R"(SetItemDescription update=11 description="Line one\x0aLine two" -> true)",
          "SetItemVisibility update=11 visibility=2 -> true",
          "SetItemContent update=11 folder=" + Quote(Absolute("mod")) + " -> true",
          "SetItemPreview update=11 file=" + Quote(Absolute("mod/steam_logo.png")) + " -> true",
          R"(SubmitItemUpdate update=11 note="initial commit" -> 6700)",
          "RegisterCallResult call=6700 id=3404 size=16",
          "RunCallbacks",
          "Deliver call=6700 slot=" + slot + " result=1 io=false legal=false item=917",
          "UnregisterCallResult call=6700",
      }));
}

TEST_F(UGCTest, JournalQuotesOddBytes) {
  Start("app_id 250\nupdate_handles 11");
  const uint64_t update = StartItemUpdate(250, 1);
  ClearJournal();
  SetTitle(update, "a\"b\\c\x01\x7f\xc3\xa9\t~");
  SetTitle(update, nullptr);
  EXPECT_EQ(Journal(), (std::vector<std::string>{
                           R"(SetItemTitle update=11 title="a\"b\\c\x01\x7f\xc3\xa9\x09~" -> true)",
                           "SetItemTitle update=11 title=null -> false",
                       }));
}

TEST_F(UGCTest, SettersRefuseOnlyUnknownUpdateHandles) {
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
  EXPECT_NE(Submit(update, "n"), 0U);
  // A submitted update is spent.
  for (const auto& set : setters) {
    EXPECT_FALSE(set(update));
  }
  EXPECT_EQ(Submit(update, "n"), 0U);
}

TEST_F(UGCTest, FailDirectiveFailsTheChosenCall) {
  const struct {
    const char* operation;
    std::function<uint64_t()> call;
    uint64_t failed;
  } cases[] = {
      {"GetAppID", [this] { return uint64_t{GetAppID()}; }, 0},
      {"CreateItem", [this] { return CreateItem(250); }, 0},
      {"StartItemUpdate", [this] { return StartItemUpdate(250, 1); }, kInvalidUpdate},
      {"SetItemTitle", [this] { return uint64_t{SetTitle(StartItemUpdate(250, 1), "t")}; }, 0},
      {"SetItemDescription",
       [this] { return uint64_t{SetDescription(StartItemUpdate(250, 1), "d")}; }, 0},
      {"SetItemUpdateLanguage",
       [this] { return uint64_t{SetLanguage(StartItemUpdate(250, 1), "german")}; }, 0},
      {"SetItemVisibility", [this] { return uint64_t{SetVisibility(StartItemUpdate(250, 1), 1)}; },
       0},
      {"SetItemContent", [this] { return uint64_t{SetContent(StartItemUpdate(250, 1), "m")}; }, 0},
      {"SetItemPreview", [this] { return uint64_t{SetPreview(StartItemUpdate(250, 1), "p")}; }, 0},
      {"SubmitItemUpdate", [this] { return Submit(StartItemUpdate(250, 1), "n"); }, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.operation);
    Start(std::string("app_id 250\nfail ") + c.operation + " 2");
    EXPECT_NE(c.call(), c.failed);
    EXPECT_EQ(c.call(), c.failed);
    EXPECT_NE(c.call(), c.failed);
    Start(std::string("app_id 250\nfail ") + c.operation);
    EXPECT_EQ(c.call(), c.failed);
    EXPECT_EQ(c.call(), c.failed);
  }
}

TEST_F(UGCTest, HandlesFollowTheScenarioThenNeverRepeat) {
  Start("app_id 250\ncall_handles 1002 5\nupdate_handles 2 7");
  std::vector<uint64_t> calls;
  std::vector<uint64_t> updates;
  for (int i = 0; i < 4; ++i) {
    calls.push_back(CreateItem(250));
    updates.push_back(StartItemUpdate(250, 1));
  }
  EXPECT_EQ(calls[0], 1002U);
  EXPECT_EQ(calls[1], 5U);
  EXPECT_EQ(updates[0], 2U);
  EXPECT_EQ(updates[1], 7U);
  EXPECT_EQ(std::set<uint64_t>(calls.begin(), calls.end()).size(), calls.size());
  EXPECT_EQ(std::set<uint64_t>(updates.begin(), updates.end()).size(), updates.size());
  EXPECT_EQ(std::count(calls.begin(), calls.end(), 0U), 0);
  EXPECT_EQ(std::count(updates.begin(), updates.end(), kInvalidUpdate), 0);
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
  ClearJournal();
  EXPECT_EQ(Progress(12345, nullptr, nullptr), 0);
  EXPECT_EQ(Journal(), std::vector<std::string>{
                           "GetItemUpdateProgress update=12345 -> 0 processed=0 total=0"});
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
