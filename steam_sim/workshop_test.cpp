// The local Workshop: what creation and updates leave on disk, the
// service's checks, and persistence across sessions and processes.
#include "steam_sim/workshop.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "steam_sim/sim_fixture.h"
#include "steam_sim/sim_platform.h"
#include "steam_sim/test_platform.h"

namespace steam_sim_test {
namespace {

namespace fs = std::filesystem;

using WorkshopTest = SimTest;

TEST_F(WorkshopTest, UpdatesReplaceTheItemWholeAndLeaveNoStaging) {
  WriteFile(fs::current_path() / "mod" / "data.txt", "data");
  WriteFile(fs::current_path() / "mod" / "sub" / "more.bin", std::string("\0\1", 2));
  WriteFile(fs::current_path() / "logo.png", "png");
  Start();
  const uint64_t item = CreateDelivered();
  ASSERT_EQ(item, 1U);

  uint64_t update = StartItemUpdate(250, item);
  SetTitle(update, "My mod");
  SetDescription(update, "Two\nlines");
  SetVisibility(update, 0);
  SetContent(update, Absolute("mod").c_str());
  SetPreview(update, Absolute("logo.png").c_str());
  ASSERT_EQ(SubmitDelivered(update, "initial commit"), 1);

  EXPECT_EQ(Names(workshop_), std::vector<std::string>{"items"}) << "nothing beside the items";
  EXPECT_EQ(Names(ItemFolder(item)), std::vector<std::string>{"r2"});
  const fs::path live = ItemFolder(item) / "r2";
  EXPECT_EQ(ReadFile(live / "item.txt"),
            "id 1\napp 250\ntype 0\nvisibility 0\n"
            "title \"english\" \"My mod\"\n"
            "description \"english\" \"Two\\x0alines\"\n"
            "preview \"logo.png\"\n"
            "change \"initial commit\"\n");
  EXPECT_EQ(ReadFile(live / "content" / "data.txt"), "data");
  EXPECT_EQ(ReadFile(live / "content" / "sub" / "more.bin"), std::string("\0\1", 2));
  EXPECT_EQ(ReadFile(live / "preview" / "logo.png"), "png");

  // A second update in French keeps what it doesn't mention.
  update = StartItemUpdate(250, item);
  SetTitle(update, "Mon mod");
  SetLanguage(update, "french");
  ASSERT_EQ(SubmitDelivered(update, "traduction"), 1);
  EXPECT_EQ(Names(ItemFolder(item)), std::vector<std::string>{"r3"});
  const fs::path next = ItemFolder(item) / "r3";
  EXPECT_EQ(ReadFile(next / "item.txt"),
            "id 1\napp 250\ntype 0\nvisibility 0\n"
            "title \"english\" \"My mod\"\n"
            "title \"french\" \"Mon mod\"\n"
            "description \"english\" \"Two\\x0alines\"\n"
            "preview \"logo.png\"\n"
            "change \"initial commit\"\n"
            "change \"traduction\"\n");
  EXPECT_EQ(ReadFile(next / "content" / "sub" / "more.bin"), std::string("\0\1", 2));
  EXPECT_EQ(ReadFile(next / "preview" / "logo.png"), "png");
}

TEST_F(WorkshopTest, ServiceChecksEverySubmission) {
  WriteFile(fs::current_path() / "mod" / "a.txt", "a");
  WriteFile(fs::current_path() / "small.png", std::string(1048575, 'p'));
  WriteFile(fs::current_path() / "big.png", std::string(1048576, 'p'));
  const std::string mod = Absolute("mod");
  const std::string small = Absolute("small.png");
  Start();
  const uint64_t item = CreateDelivered();
  TestBinding binding = MakeBinding(kCreateItemId);
  Register(&binding, CreateItem(480));  // an item of another app
  Pump();
  const uint64_t foreign = Uint64At(RunLog().back().record, kCreateItemOffset);
  ASSERT_EQ(foreign, 2U);

  const struct {
    const char* name;
    std::string content;  // "": not set
    std::string preview;
    uint64_t item;
    size_t title;
    size_t description;
    size_t note;
    uint32_t app;
    int32_t result;
    const char* journaled = nullptr;  // the RelativePath line's field, if any
  } cases[] = {
      {"all at their limits", mod, small, item, 128, 8000, 8000, 250, 1},
      {"title too long", "", "", item, 129, 0, 0, 250, 8},
      {"description too long", "", "", item, 0, 8001, 0, 250, 8},
      {"change note too long", "", "", item, 0, 0, 8001, 250, 8},
      {"content missing", Absolute("nothing"), "", item, 0, 0, 0, 250, 9},
      {"content is a file", small, "", item, 0, 0, 0, 250, 9},
      {"preview missing", "", Absolute("nothing.png"), item, 0, 0, 0, 250, 9},
      {"preview is a folder", "", mod, item, 0, 0, 0, 250, 9},
      {"preview of 1 MiB", "", Absolute("big.png"), item, 0, 0, 0, 250, 25},
      {"unknown item", "", "", 77, 0, 0, 0, 250, 9},
      {"item of another app", "", "", foreign, 0, 0, 0, 250, 15},
      {"update for another app", "", "", item, 0, 0, 0, 480, 15},
      {"another app for its own item", "", "", foreign, 0, 0, 0, 480, 15},
      // The Steam client runs in its own folder, where relative paths name
      // nothing.
      {"relative folder", "mod", "", item, 0, 0, 0, 250, 9, "folder=\"mod\""},
      {"dotted folder", "./mod/", "", item, 0, 0, 0, 250, 9, "folder=\"./mod/\""},
      // The current folder of drive C, and the root of the current drive.
      {"drive-relative", "C:mod", "", item, 0, 0, 0, 250, 9, "folder=\"C:mod\""},
      {"rooted", "\\mod", "", item, 0, 0, 0, 250, 9, "folder=\"\\\\mod\""},
      {"relative preview", mod, "small.png", item, 0, 0, 0, 250, 9, "file=\"small.png\""},
      {"forward slashes", fs::u8path(mod).generic_u8string(), small, item, 0, 0, 0, 250, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ClearJournal();
    const std::vector<std::string> before = Names(ItemFolder(item));
    const uint64_t update = StartItemUpdate(c.app, c.item);
    if (c.title > 0) {
      SetTitle(update, std::string(c.title, 't').c_str());
    }
    if (c.description > 0) {
      SetDescription(update, std::string(c.description, 'd').c_str());
    }
    if (!c.content.empty()) {
      SetContent(update, c.content.c_str());
    }
    if (!c.preview.empty()) {
      SetPreview(update, c.preview.c_str());
    }
    EXPECT_EQ(SubmitDelivered(update, std::string(c.note, 'n').c_str()), c.result);
    if (c.result != 1) {
      EXPECT_EQ(Names(ItemFolder(item)), before) << "a refused update changes nothing";
    }
    EXPECT_FALSE(fs::exists(ItemFolder(item) / "next")) << "no half-built revision left";
    std::vector<std::string> refused;
    for (const std::string& line : Journal()) {
      if (line.rfind("RelativePath ", 0) == 0) {
        refused.push_back(line.substr(13));
      }
    }
    EXPECT_EQ(refused, c.journaled == nullptr ? std::vector<std::string>()
                                              : std::vector<std::string>{c.journaled});
  }
}

TEST_F(WorkshopTest, CopiesLeaveThePermissionBitsBehind) {
  // Copied with their bits, a read-only folder (mode 555) could not be
  // filled, and on Windows a revision holding a read-only file could not be
  // deleted once superseded.
  const fs::path mod = fs::current_path() / "mod";
  WriteFile(mod / "locked" / "fixed.txt", "fixed");
  const fs::perms readOnly = fs::perms::owner_read | fs::perms::owner_exec;
  fs::permissions(mod / "locked" / "fixed.txt", readOnly);
  fs::permissions(mod / "locked", readOnly);
  Start();
  const uint64_t item = CreateDelivered();
  const uint64_t update = StartItemUpdate(250, item);
  SetContent(update, Absolute("mod").c_str());
  ASSERT_EQ(SubmitDelivered(update), 1);
  const fs::path copy = ItemFolder(item) / "r2" / "content" / "locked";
  EXPECT_EQ(ReadFile(copy / "fixed.txt"), "fixed");
  for (const fs::path& path : {copy, copy / "fixed.txt"}) {
    EXPECT_NE(fs::status(path).permissions() & fs::perms::owner_write, fs::perms::none) << path;
  }
  fs::permissions(mod / "locked", fs::perms::owner_all);  // for the clean-up
}

TEST_F(WorkshopTest, ItemsOutliveTheSessionAndTheProcess) {
  // Another process creates item 1 in this test's Workshop...
  SetEnvironment("SteamAppId", "250");
  ASSERT_EQ(RunProbe({"create"}), "result=1 item=1\n");
  // ...which this one can update, and whose id stays taken.
  Start();
  const uint64_t update = StartItemUpdate(250, 1);
  SetTitle(update, "Updated");
  EXPECT_EQ(SubmitDelivered(update), 1);
  Start("app_id 250\nitem_ids 917");
  EXPECT_EQ(CreateDelivered(), 917U);
  Start();
  EXPECT_EQ(CreateDelivered(), 918U) << "next free id: above the highest";
}

TEST_F(WorkshopTest, DebrisOfInterruptedRunsIsClearedAndNeverRead) {
  WriteFile(fs::current_path() / "mod" / "new.txt", "new");
  Start("app_id 250\nitem_ids 5 1");
  const uint64_t item = CreateDelivered();
  ASSERT_EQ(item, 5U);
  // What runs killed midway may leave: an older revision not yet deleted, a
  // revision half assembled, and a creation of item 7 that never finished.
  fs::copy(ItemFolder(item) / "r1", ItemFolder(item) / "r0", fs::copy_options::recursive);
  WriteFile(ItemFolder(item) / "r0" / "item.txt", "damaged");
  WriteFile(ItemFolder(item) / "next" / "content" / "old.txt", "half");
  WriteFile(ItemFolder(item) / "next" / "item.txt", "id 5\napp");
  WriteFile(ItemFolder(7) / "next" / "item.txt", "id 7\napp 250\ntype 0\nvisibility 2\n");

  const uint64_t update = StartItemUpdate(250, item);
  SetContent(update, Absolute("mod").c_str());
  EXPECT_EQ(SubmitDelivered(update), 1);
  EXPECT_EQ(Names(ItemFolder(item)), std::vector<std::string>{"r2"});
  EXPECT_EQ(Names(ItemFolder(item) / "r2" / "content"), std::vector<std::string>{"new.txt"});

  EXPECT_EQ(SubmitDelivered(StartItemUpdate(250, 7)), 9)
      << "a creation that never finished made no item";
  EXPECT_EQ(CreateDelivered(), 1U);
  EXPECT_EQ(CreateDelivered(), 8U) << "but it took its id";
  // A damaged live revision is the service's failure, not a missing item.
  WriteFile(ItemFolder(item) / "r2" / "item.txt", "id 5\napp 250\n");
  EXPECT_EQ(SubmitDelivered(StartItemUpdate(250, item)), 2);
}

TEST_F(WorkshopTest, AnUpdateWaitsWhileAnotherHoldsTheItem) {
  Start();
  const uint64_t item = CreateDelivered();
  const uint64_t update = StartItemUpdate(250, item);
  SetTitle(update, "waited");
  // What another process's update of the item holds while it runs.
  auto other =
      std::make_unique<steam_sim::FileLock>(workshop_ / "items" / (std::to_string(item) + ".lock"));
  ASSERT_TRUE(other->Locked());
  int32_t result = -1;
  std::thread submitter([&] { result = SubmitDelivered(update); });
  // Once the pump that delivers the update has begun, it can't finish
  // until the lock is let go.
  for (int i = 0; i < 10000 && (Journal().empty() || Journal().back() != "RunCallbacks"); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(Names(ItemFolder(item)), std::vector<std::string>{"r1"}) << "applied under the lock";
  other.reset();
  submitter.join();
  EXPECT_EQ(result, 1);
  EXPECT_EQ(Names(ItemFolder(item)), std::vector<std::string>{"r2"});
}

TEST(ItemFileTest, ReadsBackWhatItWritesAndNothingElse) {
  steam_sim::WorkshopItem item;
  item.id = 0xFFFFFFFFFFFFFFFFULL;
  item.app = 0xFFFFFFFF;
  item.fileType = -1;
  item.visibility = 3;
  item.titles = {{"english", "a \"b\" \\ c"}, {"", std::string("\0\n", 2)}};
  item.descriptions = {{"german", "x"}};
  item.preview = "p q.png";
  item.changeNotes = {"", "two"};
  steam_sim::WorkshopItem back;
  ASSERT_TRUE(steam_sim::ParseItemFile(steam_sim::FormatItemFile(item), &back));
  EXPECT_EQ(steam_sim::FormatItemFile(back), steam_sim::FormatItemFile(item));

  for (const char* damaged : {
           "",
           "id 1\napp 2\ntype 0\n",                              // no visibility
           "id 1\napp 2\ntype 0\nvisibility 2",                  // cut off
           "id 1\nid 1\napp 2\ntype 0\nvisibility 2\n",          // twice
           "id 1\napp 2\ntype 0\nvisibility 2\ncolour red\n",    // unknown
           "id 1\napp 2\ntype 0\nvisibility 2\ntitle \"en\"\n",  // half a title
           "id 1\napp 4294967296\ntype 0\nvisibility 2\n",       // app beyond 32 bits
       }) {
    steam_sim::WorkshopItem ignored;
    EXPECT_FALSE(steam_sim::ParseItemFile(damaged, &ignored)) << damaged;
  }
}

}  // namespace
}  // namespace steam_sim_test
