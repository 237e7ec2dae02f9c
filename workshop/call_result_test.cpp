// The call-result binding and the wait, against the simulated library: what
// is registered, which table slot the library calls with which record, and
// how many pumps and dots a wait takes.
#include "workshop/call_result.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/sim_session.h"
#include "workshop/uploader.h"

namespace {

using Lines = std::vector<std::string>;

// The slot the library calls the three-argument Run through.
#if defined(_WIN32)
constexpr const char* kRunSlot = "slot=0";
#else
constexpr const char* kRunSlot = "slot=1";
#endif

std::ptrdiff_t Count(const Lines& lines, const std::string& line) {
  return std::count(lines.begin(), lines.end(), line);
}

class CallResultTest : public testing::Test {
 protected:
  // Starts a library session with `scenario` and an uploader bound to it.
  void Start(const std::vector<std::string>& scenario, bool verbose = true) {
    sim_ = std::make_unique<SimSession>(scenario);
    ASSERT_TRUE(sim_->Start());
    uploader_ = std::make_unique<SteamUploader>(verbose);
    uploader_->ugc = steam::SteamUGC();
    ASSERT_NE(uploader_->ugc, nullptr);
  }

  // Issues a creation, waits for it and returns what the wait printed.
  std::string CreateAndWait() {
    SteamAPICall_t call = uploader_->ugc->CreateItem(250, 0);
    uploader_->createItemCall.Set(call, uploader_.get(), &SteamUploader::OnItemCreated);
    testing::internal::CaptureStdout();
    uploader_->WaitForCallResult(uploader_->createItemCall);
    return testing::internal::GetCapturedStdout();
  }

  std::string SubmitAndWait() {
    UGCUpdateHandle_t update = uploader_->ugc->StartItemUpdate(250, uploader_->publishedFileId);
    SteamAPICall_t call = uploader_->ugc->SubmitItemUpdate(update, "note");
    uploader_->submitUpdateCall.Set(call, uploader_.get(), &SteamUploader::OnItemUpdateSubmitted);
    testing::internal::CaptureStdout();
    uploader_->WaitForCallResult(uploader_->submitUpdateCall);
    return testing::internal::GetCapturedStdout();
  }

  std::unique_ptr<SimSession> sim_;
  std::unique_ptr<SteamUploader> uploader_;
};

TEST_F(CallResultTest, RegistrationShowsTheBindingLayout) {
  Start({"app_id 250", "call_handles 5 6", "result 2 9"});
  CreateAndWait();
  SubmitAndWait();
  // The library read the id at offset 12 and the size through slot 2.
  EXPECT_EQ(sim_->JournalLines("Register"), (Lines{"RegisterCallResult call=5 id=3403 size=" +
                                                       std::to_string(sizeof(CreateItemResult_t)),
                                                   "RegisterCallResult call=6 id=3404 size=16"}));
  // ... and called the three-argument Run with records the handlers read.
  Lines delivered = sim_->JournalLines("Deliver");
  ASSERT_EQ(delivered.size(), 2u);
  EXPECT_NE(delivered[0].find(kRunSlot), std::string::npos) << delivered[0];
  EXPECT_TRUE(uploader_->updateSubmitted == false);
  EXPECT_NE(uploader_->publishedFileId, 0u);
}

// A wait pumps until its own result comes, a dot for each pump before it
// (none in silent mode); another call's completion is not its own.
TEST_F(CallResultTest, WaitPumpsUntilItsOwnResult) {
  const struct {
    std::vector<std::string> scenario;
    bool verbose;
    const char* shown;
    std::ptrdiff_t pumps;
  } cases[] = {
      {{"app_id 250", "item_ids 917"}, true, "<result success, id is 917>", 1},
      {{"app_id 250", "item_ids 917", "pumps 4"}, true, "...<result success, id is 917>", 4},
      {{"app_id 250", "item_ids 917", "stray 1", "pumps 2"},
       true,
       ".<result success, id is 917>",
       2},
      {{"app_id 250", "item_ids 917", "pumps 3"}, false, "", 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.scenario.back());
    Start(c.scenario, c.verbose);
    EXPECT_EQ(CreateAndWait(), c.shown);
    EXPECT_TRUE(uploader_->itemCreated);
    EXPECT_EQ(uploader_->publishedFileId, 917u);
    EXPECT_EQ(sim_->JournalLines("Deliver").size(), 1u);
    EXPECT_EQ(Count(sim_->Journal(), "RunCallbacks"), c.pumps);
  }
}

TEST_F(CallResultTest, ZeroHandlePumpsOnceAndRunsNoHandler) {
  Start({"app_id 250", "fail CreateItem"});
  uploader_->itemCreated = true;  // a handler would clear it
  EXPECT_EQ(CreateAndWait(), "");
  EXPECT_TRUE(uploader_->itemCreated);
  EXPECT_EQ(sim_->JournalLines("Register"), Lines{});
  EXPECT_EQ(Count(sim_->Journal(), "RunCallbacks"), 1);
}

TEST_F(CallResultTest, SetWhilePendingUnregistersTheOldCall) {
  Start({"app_id 250", "call_handles 31 32", "pumps never 1"});
  SteamAPICall_t first = uploader_->ugc->CreateItem(250, 0);
  uploader_->createItemCall.Set(first, uploader_.get(), &SteamUploader::OnItemCreated);
  SteamAPICall_t second = uploader_->ugc->CreateItem(250, 0);
  uploader_->createItemCall.Set(second, uploader_.get(), &SteamUploader::OnItemCreated);
  EXPECT_EQ(uploader_->createItemCall.PendingCall(), 32u);
  testing::internal::CaptureStdout();
  uploader_->WaitForCallResult(uploader_->createItemCall);
  testing::internal::GetCapturedStdout();
  Lines journal = sim_->Journal();
  Lines bindings;
  for (const std::string& line : journal) {
    if (line.find("CallResult") != std::string::npos || line.rfind("Deliver", 0) == 0) {
      bindings.push_back(line.substr(0, line.find(" slot")));
    }
  }
  EXPECT_EQ(
      bindings,
      (Lines{
          "RegisterCallResult call=31 id=3403 size=" + std::to_string(sizeof(CreateItemResult_t)),
          "UnregisterCallResult call=31",
          "RegisterCallResult call=32 id=3403 size=" + std::to_string(sizeof(CreateItemResult_t)),
          "Deliver call=32"}));
}

TEST_F(CallResultTest, DestroyingAPendingBindingUnregistersIt) {
  Start({"app_id 250", "call_handles 41", "pumps never"});
  {
    SteamUploader uploader(true);
    UGCUpdateHandle_t update = uploader_->ugc->StartItemUpdate(250, 917);
    SteamAPICall_t call = uploader_->ugc->SubmitItemUpdate(update, "x");
    uploader.submitUpdateCall.Set(call, &uploader, &SteamUploader::OnItemUpdateSubmitted);
  }
  EXPECT_EQ(sim_->JournalLines("Unregister"), Lines{"UnregisterCallResult call=41"});
  steam::RunCallbacks();  // nothing left to call into the destroyed binding
  EXPECT_EQ(sim_->JournalLines("Deliver"), Lines{});
}

TEST_F(CallResultTest, AnsweredBindingIsIdleAndUnregistersNothing) {
  Start({"app_id 250"});
  SubmitAndWait();
  EXPECT_EQ(uploader_->submitUpdateCall.PendingCall(), 0u);
  uploader_.reset();
  EXPECT_EQ(sim_->JournalLines("Unregister"), Lines{});
}

TEST_F(CallResultTest, LegalAgreementAndIoFailureArriveThroughTheLibrary) {
  Start({"app_id 250", "item_ids 917", "legal 1", "io_failure 2"});
  EXPECT_EQ(CreateAndWait(), "<Workshop Legal agreement need to be accepted>");
  EXPECT_FALSE(uploader_->itemCreated);
  EXPECT_EQ(uploader_->publishedFileId, 0u);
  EXPECT_EQ(SubmitAndWait(), "<failed to get async call result>");
  EXPECT_FALSE(uploader_->updateSubmitted);
}

}  // namespace
