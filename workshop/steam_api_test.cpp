// The boundary driven against the simulated client library: what each call
// sends, through which slot, and how a missing library or export fails.
#include "workshop/steam_api.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/sim_session.h"

namespace {

using Lines = std::vector<std::string>;

TEST(SteamApiTest, InitSendsTheWholeVersionList) {
  SimSession sim({"app_id 250"});
  ASSERT_TRUE(sim.Start());
  EXPECT_EQ(sim.JournalLines("SteamAPI_Init"),
            Lines{"SteamAPI_Init versions=\"SteamUtils010\\x00SteamNetworkingUtils004\\x00"
                  "STEAMAPPS_INTERFACE_VERSION008\\x00SteamController008\\x00SteamFriends017"
                  "\\x00SteamMatchGameSearch001\\x00STEAMHTMLSURFACE_INTERFACE_VERSION_005\\x00"
                  "STEAMHTTP_INTERFACE_VERSION003\\x00SteamInput006\\x00"
                  "STEAMINVENTORY_INTERFACE_V003\\x00SteamMatchMakingServers002\\x00"
                  "SteamMatchMaking009\\x00STEAMMUSICREMOTE_INTERFACE_VERSION001\\x00"
                  "STEAMMUSIC_INTERFACE_VERSION001\\x00SteamNetworkingMessages002\\x00"
                  "SteamNetworkingSockets012\\x00SteamNetworking006\\x00"
                  "STEAMPARENTALSETTINGS_INTERFACE_VERSION001\\x00SteamParties002\\x00"
                  "STEAMREMOTEPLAY_INTERFACE_VERSION002\\x00"
                  "STEAMREMOTESTORAGE_INTERFACE_VERSION016\\x00"
                  "STEAMSCREENSHOTS_INTERFACE_VERSION003\\x00STEAMUGC_INTERFACE_VERSION020\\x00"
                  "STEAMUSERSTATS_INTERFACE_VERSION012\\x00SteamUser023\\x00"
                  "STEAMVIDEO_INTERFACE_V007\\x00\\x00\" -> 0"});
}

TEST(SteamApiTest, NoInterfacesWithoutAStartedLibrary) {
  for (const std::vector<std::string>& scenario : {Lines{"init 2"}, Lines{/* no app id */}}) {
    SimSession sim(scenario);
    EXPECT_FALSE(sim.Start());
    EXPECT_EQ(steam::SteamUtils(), nullptr);
    EXPECT_EQ(steam::SteamUGC(), nullptr);
  }
  EXPECT_FALSE(steam::InitSteamAPI("no_such_steam_api_library"));
  EXPECT_EQ(steam::SteamUtils(), nullptr);
  steam::RunCallbacks();  // harmless without a library
  EXPECT_FALSE(steam::InitSteamAPI(MODPUBLISH_INCOMPLETE_LIBRARY));
  EXPECT_EQ(steam::SteamUGC(), nullptr);
}

TEST(SteamApiTest, InterfacesComeThroughTheirContexts) {
  SimSession sim({"app_id 250"});
  ASSERT_TRUE(sim.Start());
  ISteamUtils* utils = steam::SteamUtils();
  ISteamUGC* ugc = steam::SteamUGC();
  ASSERT_NE(utils, nullptr);
  ASSERT_NE(ugc, nullptr);
  // Cached by the context: asked for once per library session.
  EXPECT_EQ(steam::SteamUtils(), utils);
  EXPECT_EQ(steam::SteamUGC(), ugc);
  EXPECT_EQ(sim.JournalLines("FindOrCreateUserInterface"),
            (Lines{"FindOrCreateUserInterface user=0 version=\"SteamUtils010\" -> object",
                   "FindOrCreateUserInterface user=1 "
                   "version=\"STEAMUGC_INTERFACE_VERSION020\" -> object"}));
  EXPECT_EQ(utils->GetAppID(), 250u);

  // A new library session asks again.
  SimSession second({"app_id 480", "null_interface SteamUtils010"});
  ASSERT_TRUE(second.Start());
  EXPECT_EQ(steam::SteamUtils(), nullptr);
  ASSERT_NE(steam::SteamUGC(), nullptr);
}

TEST(SteamApiTest, EveryOperationReachesItsSlotWithItsArguments) {
  SimSession sim({"app_id 250", "update_handles 0x100000002", "call_handles 0xabcdef012 77"});
  ASSERT_TRUE(sim.Start());
  ISteamUGC* ugc = steam::SteamUGC();
  ASSERT_NE(ugc, nullptr);
  EXPECT_EQ(ugc->CreateItem(250, k_EWorkshopFileTypeCommunity), 0xabcdef012u);
  UGCUpdateHandle_t update = ugc->StartItemUpdate(250, 0xFFFFFFFFFFFFFFF0ull);
  EXPECT_EQ(update, 0x100000002u);
  EXPECT_TRUE(ugc->SetItemVisibility(update, k_ERemoteStoragePublishedFileVisibilityPrivate));
  EXPECT_TRUE(ugc->SetItemContent(update, "mod\\sub"));
  EXPECT_TRUE(ugc->SetItemPreview(update, "mod/steam_logo.png"));
  EXPECT_TRUE(ugc->SetItemUpdateLanguage(update, "brazilian"));
  EXPECT_TRUE(ugc->SetItemTitle(update, "Caf\xc3\xa9 \"q\""));
  EXPECT_TRUE(ugc->SetItemDescription(update, "a\r\x01\xff"));
  EXPECT_EQ(ugc->SubmitItemUpdate(update, "initial commit"), 77u);
  uint64_t processed = 1;
  uint64_t total = 1;
  // Relative paths: nothing the service could send, so it commits at once.
  EXPECT_EQ(ugc->GetItemUpdateProgress(update, &processed, &total),
            k_EItemUpdateStatusCommittingChanges);
  EXPECT_EQ(processed + total, 0u);
  EXPECT_FALSE(ugc->SetItemTitle(update + 1, "unknown handle"));
  Lines calls;
  for (const std::string& line : sim.Journal()) {
    if (line.rfind("Create", 0) == 0 || line.rfind("Start", 0) == 0 || line.rfind("Set", 0) == 0 ||
        line.rfind("Submit", 0) == 0 || line.rfind("GetItemUpdateProgress", 0) == 0) {
      calls.push_back(line);
    }
  }
  EXPECT_EQ(calls,
            (Lines{
                "CreateItem app=250 type=0 -> 46118400018",
                "StartItemUpdate app=250 item=18446744073709551600 -> 4294967298",
                "SetItemVisibility update=4294967298 visibility=2 -> true",
                "SetItemContent update=4294967298 folder=\"mod\\\\sub\" -> true",
                "SetItemPreview update=4294967298 file=\"mod/steam_logo.png\" -> true",
                "SetItemUpdateLanguage update=4294967298 language=\"brazilian\" -> true",
                "SetItemTitle update=4294967298 title=\"Caf\\xc3\\xa9 \\\"q\\\"\" -> true",
                "SetItemDescription update=4294967298 description=\"a\\x0d\\x01\\xff\" -> true",
                "SubmitItemUpdate update=4294967298 note=\"initial commit\" -> 77",
                "GetItemUpdateProgress update=4294967298 -> 5 processed=0 total=0",
                "SetItemTitle update=4294967299 title=\"unknown handle\" -> false",
            }));
}

}  // namespace
