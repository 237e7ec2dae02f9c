// Registration and delivery of asynchronous results: which slot, which
// bytes, which pump, and the scenario's switches that bend them.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "steam_sim/sim_fixture.h"

namespace steam_sim_test {
namespace {

namespace fs = std::filesystem;

using CallResultTest = SimTest;

TEST_F(CallResultTest, RecordsArriveWholeThroughTheThreeArgumentRun) {
  Start("app_id 250\nitem_ids 917\nlegal 1");
  TestBinding created = MakeBinding(kCreateItemId);
  const uint64_t createCall = CreateItem(250);
  Register(&created, createCall);
  Pump();
  TestBinding submitted = MakeBinding(kSubmitItemId);
  const uint64_t submitCall = Submit(StartItemUpdate(250, 917), "n");
  Register(&submitted, submitCall);
  Pump();

  ASSERT_EQ(RunLog().size(), 2U);
  const RunRecord& create = RunLog()[0];
  EXPECT_EQ(create.binding, &created);
  EXPECT_EQ(create.slot, kRunSlot);
  EXPECT_EQ(create.call, createCall);
  EXPECT_FALSE(create.ioFailure);
  std::vector<unsigned char> expected(kCreateRecordSize, 0);
  expected[0] = 1;                           // result OK
  expected[kCreateItemOffset] = 917 & 0xFF;  // item id, little-endian
  expected[kCreateItemOffset + 1] = 917 >> 8;
  expected[kCreateLegalOffset] = 1;  // legal agreement needed
  EXPECT_EQ(create.record, expected);

  const RunRecord& submit = RunLog()[1];
  EXPECT_EQ(submit.binding, &submitted);
  EXPECT_EQ(submit.slot, kRunSlot);
  EXPECT_EQ(submit.call, submitCall);
  expected.assign(kSubmitRecordSize, 0);
  expected[0] = 1;
  expected[kSubmitItemOffset] = 917 & 0xFF;
  expected[kSubmitItemOffset + 1] = 917 >> 8;
  EXPECT_EQ(submit.record, expected);
}

TEST_F(CallResultTest, FlagBitShowsTheRegistration) {
  Start();
  TestBinding binding = MakeBinding(kCreateItemId);
  binding.flags = 0x80;  // a bit of the caller's own, which must survive
  Register(&binding, CreateItem(250));
  EXPECT_EQ(int{binding.flags}, 0x81);
  Pump();
  ASSERT_EQ(RunLog().size(), 1U);
  EXPECT_EQ(int{binding.flags}, 0x80) << "dropped after delivery";

  const uint64_t call = CreateItem(250);
  Register(&binding, call);
  EXPECT_EQ(int{binding.flags}, 0x81);
  sim_.unregisterCallResult(&binding, call);
  EXPECT_EQ(int{binding.flags}, 0x80);
  Register(&binding, call);
  Pump(3);
  EXPECT_EQ(RunLog().size(), 1U) << "an unregistered call is never answered";
  EXPECT_EQ(Names(workshop_ / "items"), std::vector<std::string>{"1"});
}

TEST_F(CallResultTest, PumpsSayWhenEachResultArrives) {
  const struct {
    const char* pumps;
    std::vector<int> arrival;  // per call, the pump that delivers it; 0: never
  } cases[] = {
      {"", {1, 1, 1}},
      {"pumps 3 1 2", {3, 1, 2}},
      {"pumps never 2", {0, 2, 1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pumps);
    Start(std::string("app_id 250\n") + c.pumps);
    RunLog().clear();
    TestBinding bindings[3] = {MakeBinding(kCreateItemId), MakeBinding(kCreateItemId),
                               MakeBinding(kCreateItemId)};
    std::map<uint64_t, int> callIndex;
    for (int i = 0; i < 3; ++i) {
      const uint64_t call = CreateItem(250);
      callIndex[call] = i;
      Register(&bindings[i], call);
    }
    std::vector<int> arrival(3, 0);
    for (int pump = 1; pump <= 5; ++pump) {
      const size_t before = RunLog().size();
      Pump();
      for (size_t i = before; i < RunLog().size(); ++i) {
        arrival[callIndex.at(RunLog()[i].call)] = pump;
      }
    }
    EXPECT_EQ(arrival, c.arrival);
  }
}

TEST_F(CallResultTest, DueResultWaitsForItsRegistration) {
  Start();
  TestBinding binding = MakeBinding(kCreateItemId);
  const uint64_t call = CreateItem(250);
  Pump(3);
  EXPECT_TRUE(RunLog().empty());
  EXPECT_FALSE(fs::exists(workshop_ / "items")) << "created on delivery, not before";
  Register(&binding, call);
  EXPECT_TRUE(RunLog().empty()) << "delivered only from inside RunCallbacks";
  Pump();
  ASSERT_EQ(RunLog().size(), 1U);
  EXPECT_EQ(RunLog()[0].call, call);
}

// That the real result still comes after a stray in an earlier pump is the
// boundary's test (workshop/call_result_test).
TEST_F(CallResultTest, StrayCompletionComesFirstWithAForeignHandle) {
  Start("app_id 250\nstray 1");
  ClearJournal();
  TestBinding binding = MakeBinding(kCreateItemId);
  const uint64_t call = CreateItem(250);
  Register(&binding, call);
  Pump();
  ASSERT_EQ(RunLog().size(), 2U);
  EXPECT_EQ(RunLog()[0].call, call ^ 0x8000000000000000ULL);
  EXPECT_EQ(RunLog()[0].slot, kRunSlot);
  EXPECT_NE(Int32At(RunLog()[0].record, 0), 1) << "a stray is no success";
  EXPECT_EQ(RunLog()[1].call, call);
  EXPECT_EQ(Journal()[3], "Stray call=" + std::to_string(call ^ 0x8000000000000000ULL) +
                              " slot=" + std::to_string(kRunSlot));
}

TEST_F(CallResultTest, ScenarioOverridesShapeTheRecordNotTheWorkshop) {
  const struct {
    bool submission;       // of item 1; else the creation
    const char* scenario;  // applies to call 1, the one made here
    uint64_t item;
    int32_t result;
    bool ioFailure;
    bool legal;
    bool changed;  // the item was created, or the update applied
  } cases[] = {
      {false, "legal 1", 1, 1, false, true, true},
      {false, "result 1 1", 1, 1, false, false, false},
      {false, "io_failure 1", 0, 0, true, false, false},
      {false, "item_ids 917\nresult 1 2", 917, 2, false, false, false},
      {true, "result 1 16", 1, 16, false, false, false},
      {true, "io_failure 1", 0, 0, true, false, false},
      {true, "legal 1", 1, 1, false, true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.scenario);
    fs::remove_all(workshop_);
    Start();
    const uint64_t item = c.submission ? CreateDelivered() : 0;
    Start(std::string("app_id 250\n") + c.scenario);
    RunLog().clear();
    TestBinding binding = MakeBinding(c.submission ? kSubmitItemId : kCreateItemId);
    if (c.submission) {
      const uint64_t update = StartItemUpdate(250, item);
      SetTitle(update, c.scenario);
      Register(&binding, Submit(update, "n"));
    } else {
      Register(&binding, CreateItem(250));
    }
    Pump();
    ASSERT_EQ(RunLog().size(), 1U);
    const RunRecord& run = RunLog()[0];
    EXPECT_EQ(Int32At(run.record, 0), c.result);
    EXPECT_EQ(run.ioFailure, c.ioFailure);
    EXPECT_EQ(run.record[c.submission ? kSubmitLegalOffset : kCreateLegalOffset], c.legal ? 1 : 0);
    EXPECT_EQ(Uint64At(run.record, c.submission ? kSubmitItemOffset : kCreateItemOffset), c.item);
    const std::string itemFile = ReadFile(ItemFolder(c.item) / "r2" / "item.txt");
    EXPECT_EQ(c.submission ? itemFile.find(c.scenario) != std::string::npos
                           : fs::exists(ItemFolder(c.item)),
              c.changed);
  }
}

TEST_F(CallResultTest, BindingCanCallBackIntoTheLibraryFromRun) {
  Start();
  TestBinding submitted = MakeBinding(kSubmitItemId);
  OnRun() = [&](const RunRecord& run) {
    if (run.binding->callbackId != kCreateItemId) {
      return;
    }
    const uint64_t update = StartItemUpdate(250, Uint64At(run.record, kCreateItemOffset));
    SetTitle(update, "from inside");
    Register(&submitted, Submit(update, "n"));
  };
  TestBinding created = MakeBinding(kCreateItemId);
  Register(&created, CreateItem(250));
  Pump();
  ASSERT_EQ(RunLog().size(), 1U) << "a call made during a pump waits for the next one";
  Pump();
  ASSERT_EQ(RunLog().size(), 2U);
  EXPECT_EQ(Int32At(RunLog()[1].record, 0), 1);
  EXPECT_NE(ReadFile(ItemFolder(1) / "r2" / "item.txt").find("from inside"), std::string::npos);
}

}  // namespace
}  // namespace steam_sim_test
