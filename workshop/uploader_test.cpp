// The uploader's calls of the Steam interfaces, against fake ISteamUtils
// and ISteamUGC tables that record every call with its arguments. The tool
// starts up as it always does, through the client library beside the test
// program, which relays to the fakes here (tests/fixtures/relay_steam_api.h).
// A title sent as the description, a lost change note or a call on the
// wrong item fails here in half a second.
#include "workshop/uploader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "description/reader.h"
#include "platform/platform.h"
#include "tests/fixtures/relay_steam_api.h"

namespace {

using Lines = std::vector<std::string>;
using Function = void (*)();

// Above 32 bits and far apart, so that a handle cut short or taken for
// another shows.
constexpr UGCUpdateHandle_t kFirstUpdate = 0x100000000ull;
constexpr SteamAPICall_t kFirstCall = 0x200000000ull;

// The calls made, the one operation that says no (false, 0 or the invalid
// update handle), the handles issued and the calls waiting for a pump.
struct Fake {
  Lines calls;
  std::string refused;
  uint64_t updates = 0;
  uint64_t issuedCalls = 0;
  std::vector<std::pair<CCallbackBase*, SteamAPICall_t>> registered;
} fake;

bool Record(const char* operation, const std::string& arguments) {
  fake.calls.push_back(std::string(operation) + "(" + arguments + ")");
  return fake.refused != operation;
}

// An update handle as the fake issued it: "update 2".
std::string Update(UGCUpdateHandle_t handle) {
  return handle > kFirstUpdate && handle <= kFirstUpdate + fake.updates
             ? "update " + std::to_string(handle - kFirstUpdate)
             : "unknown update " + std::to_string(handle);
}

SteamAPICall_t Call(bool issued) {
  return issued ? kFirstCall + ++fake.issuedCalls : k_uAPICallInvalid;
}

// The slot functions, called with the interface object first.
uint64_t Unexpected(void* /*self*/) {
  Record("an operation of no test", "");
  return 0;
}

AppId_t GetAppID(void* /*self*/) { return Record("GetAppID", "") ? 480 : 0; }

SteamAPICall_t CreateItem(void* /*self*/, AppId_t app, int32_t type) {
  return Call(Record("CreateItem", std::to_string(app) + ", " + std::to_string(type)));
}

UGCUpdateHandle_t StartItemUpdate(void* /*self*/, AppId_t app, PublishedFileId_t item) {
  return Record("StartItemUpdate", std::to_string(app) + ", " + std::to_string(item))
             ? kFirstUpdate + ++fake.updates
             : k_UGCUpdateHandleInvalid;
}

template <const char* kOperation>
bool SetText(void* /*self*/, UGCUpdateHandle_t update, const char* text) {
  return Record(kOperation, Update(update) + ", \"" + text + "\"");
}

bool SetItemVisibility(void* /*self*/, UGCUpdateHandle_t update, int32_t visibility) {
  return Record("SetItemVisibility", Update(update) + ", " + std::to_string(visibility));
}

SteamAPICall_t SubmitItemUpdate(void* /*self*/, UGCUpdateHandle_t update, const char* note) {
  return Call(Record("SubmitItemUpdate", Update(update) + ", \"" + note + "\""));
}

constexpr char kSetItemTitle[] = "SetItemTitle";
constexpr char kSetItemDescription[] = "SetItemDescription";
constexpr char kSetItemUpdateLanguage[] = "SetItemUpdateLanguage";
constexpr char kSetItemContent[] = "SetItemContent";
constexpr char kSetItemPreview[] = "SetItemPreview";

// An interface object as the library hands it out: its table pointer.
struct FakeInterface {
  const Function* table;
};

template <typename... Slots>
FakeInterface MakeInterface(std::array<Function, 128>& table, Slots... slots) {
  table.fill(reinterpret_cast<Function>(&Unexpected));
  for (const auto& [slot, function] : {slots...}) {
    table[slot] = function;
  }
  return {table.data()};
}

template <typename Operation>
std::pair<int, Function> At(int slot, Operation operation) {
  return {slot, reinterpret_cast<Function>(operation)};
}

std::array<Function, 128> utilsTable;
std::array<Function, 128> ugcTable;
FakeInterface utils = MakeInterface(utilsTable, At(ISteamUtils::kGetAppIdSlot, &GetAppID));
FakeInterface ugc =
    MakeInterface(ugcTable, At(ISteamUGC::kCreateItemSlot, &CreateItem),
                  At(ISteamUGC::kStartItemUpdateSlot, &StartItemUpdate),
                  At(ISteamUGC::kSetItemTitleSlot, &SetText<kSetItemTitle>),
                  At(ISteamUGC::kSetItemDescriptionSlot, &SetText<kSetItemDescription>),
                  At(ISteamUGC::kSetItemUpdateLanguageSlot, &SetText<kSetItemUpdateLanguage>),
                  At(ISteamUGC::kSetItemVisibilitySlot, &SetItemVisibility),
                  At(ISteamUGC::kSetItemContentSlot, &SetText<kSetItemContent>),
                  At(ISteamUGC::kSetItemPreviewSlot, &SetText<kSetItemPreview>),
                  At(ISteamUGC::kSubmitItemUpdateSlot, &SubmitItemUpdate));

// The tool's per-interface context: filled afresh at every start-up here.
struct Context {
  void (*init)(void* cached);
  uintptr_t generation;
  void* cached;
};

// Hands the library's side to the relay the tool loads: the interfaces,
// and call results that all succeed, a new item being 917. False when the
// library beside the test program is no relay.
bool ConnectRelay() {
  auto connect = reinterpret_cast<RelayConnect>(platform::FindSymbol(
      platform::LoadTrustedLibrary(platform::kSteamLibraryName), kRelayConnectExport));
  if (connect == nullptr) {
    return false;
  }
  RelayTargets targets{};
  targets.init = [](const char*, char*) { return 0; };
  targets.contextInit = [](void* context) -> void* {
    auto* interface = &static_cast<Context*>(context)->cached;
    static_cast<Context*>(context)->init(interface);
    return interface;
  };
  targets.findOrCreateUserInterface = [](int32_t, const char* version) -> void* {
    return std::strcmp(version, "SteamUtils010") == 0                   ? &utils
           : std::strcmp(version, "STEAMUGC_INTERFACE_VERSION020") == 0 ? &ugc
                                                                        : nullptr;
  };
  targets.getHSteamUser = [] { return 1; };
  targets.registerCallResult = [](void* binding, uint64_t call) {
    fake.registered.emplace_back(static_cast<CCallbackBase*>(binding), call);
  };
  targets.unregisterCallResult = [](void* binding, uint64_t call) {
    auto& registered = fake.registered;
    registered.erase(std::remove(registered.begin(), registered.end(),
                                 std::make_pair(static_cast<CCallbackBase*>(binding), call)),
                     registered.end());
  };
  targets.runCallbacks = [] {
    for (auto [binding, call] : std::exchange(fake.registered, {})) {
      CreateItemResult_t created{1, 917, 0};
      SubmitItemUpdateResult_t submitted{1, 0, 0};
      binding->Run(binding->callbackId == CreateItemResult_t::k_iCallback
                       ? static_cast<void*>(&created)
                       : static_cast<void*>(&submitted),
                   false, call);
    }
  };
  connect(&targets);
  return true;
}

// Two sections are uploaded, German without a description, and one skipped.
constexpr char kDescription[] =
    "[en]\ntitle = Lanterns\ndescription = Oil lanterns\n[de]\ntitle = Laternen\n"
    "[xx]\ntitle = Skipped\n";

// The calls of a whole run: the app id, the item's creation when it is
// new, then the updates of the content (`content` its setters), of the
// sections and of the preview of `item`, each submitted with `note`.
Lines Run(bool creates, PublishedFileId_t item, const Lines& content, const std::string& note) {
  const std::string start = "StartItemUpdate(480, " + std::to_string(item) + ")";
  const std::string submit = ", \"" + note + "\")";
  Lines calls{"GetAppID()"};
  if (creates) {
    calls.push_back("CreateItem(480, 0)");
  }
  calls.push_back(start);
  calls.insert(calls.end(), content.begin(), content.end());
  const Lines rest{"SubmitItemUpdate(update 1" + submit,
                   start,
                   "SetItemUpdateLanguage(update 2, \"german\")",
                   "SetItemTitle(update 2, \"Laternen\")",
                   "SetItemDescription(update 2, \"No description\")",
                   "SubmitItemUpdate(update 2" + submit,
                   start,
                   "SetItemUpdateLanguage(update 3, \"english\")",
                   "SetItemTitle(update 3, \"Lanterns\")",
                   "SetItemDescription(update 3, \"Oil lanterns\")",
                   "SubmitItemUpdate(update 3" + submit,
                   start,
                   "SetItemPreview(update 4, \"/mods/lanterns/steam_logo.png\")",
                   "SubmitItemUpdate(update 4" + submit};
  calls.insert(calls.end(), rest.begin(), rest.end());
  return calls;
}

// The calls of `run` up to the first `last`: those of a run that stops there.
Lines UpTo(const Lines& run, const std::string& last) {
  const auto end = std::find(run.begin(), run.end(), last);
  return Lines(run.begin(), end == run.end() ? end : end + 1);
}

const Lines kContent{"SetItemContent(update 1, \"/mods/lanterns\")"};
const Lines kPrivateContent{"SetItemVisibility(update 1, 2)", kContent[0]};
const Lines kNewItem = Run(true, 917, kPrivateContent, "initial commit");
const Lines kUpdate = Run(false, 5, kPrivateContent, "update");

struct UploadCase {
  const char* name;
  int64_t existingId;
  UploadOptions options;
  const char* refused;  // the operation that says no; the run succeeds when none does
  Lines calls;
};

const UploadCase kCases[] = {
    {"NewItem", 0, {}, "", kNewItem},
    {"NewItemPrivateWhateverKeepSays", 0, {nullptr, true}, "", kNewItem},
    {"Update", 5, {}, "", kUpdate},
    {"UpdateKeepingVisibilityWithNote", 5, {"v2", true}, "", Run(false, 5, kContent, "v2")},
    {"NoAppId", 0, {}, "GetAppID", UpTo(kNewItem, "GetAppID()")},
    {"NoItemCreated", 0, {}, "CreateItem", UpTo(kNewItem, "CreateItem(480, 0)")},
    {"RefusedTitle", 5, {}, "SetItemTitle", UpTo(kUpdate, "SetItemTitle(update 2, \"Laternen\")")},
};

void PrintTo(const UploadCase& c, std::ostream* out) { *out << c.name; }

// One call a line, so that a failure shows a diff.
std::string Text(const Lines& calls) {
  std::string text;
  for (const std::string& call : calls) {
    text += call + "\n";
  }
  return text;
}

class UploaderCallsTest : public testing::TestWithParam<UploadCase> {};

TEST_P(UploaderCallsTest, EveryCallWithItsArguments) {
  const UploadCase& c = GetParam();
  ASSERT_TRUE(ConnectRelay()) << "the client library beside the test program is no relay";
  DescriptionParser parser;
  parser.Feed(kDescription);
  const ModDescription description = parser.Finish();
  fake = Fake{};
  fake.refused = c.refused;
  SteamUploader uploader(false);
  testing::internal::CaptureStdout();
  const bool succeeded = uploader.Upload(c.existingId, "/mods/lanterns",
                                         "/mods/lanterns/steam_logo.png", description, c.options);
  const std::string output = testing::internal::GetCapturedStdout();
  EXPECT_EQ(succeeded, fake.refused.empty()) << output;
  EXPECT_EQ(Text(fake.calls), Text(c.calls));
  EXPECT_TRUE(fake.registered.empty()) << "a call left registered";
}

INSTANTIATE_TEST_SUITE_P(EveryRow, UploaderCallsTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<UploadCase>& row) {
                           return std::string(row.param.name);
                         });

}  // namespace
