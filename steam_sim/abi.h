// The binary shape of the Steam client library as its callers see it: how
// the exports are marked, the interface version names and slot numbers, the
// call-result binding's layout and the two result records. Callers compiled
// against the real library must work with this one unchanged, so every
// layout here is pinned by static_asserts for the platform at hand.
#ifndef MODPUBLISH_STEAM_SIM_ABI_H_
#define MODPUBLISH_STEAM_SIM_ABI_H_

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define STEAM_SIM_EXPORT extern "C" __declspec(dllexport)
#else
#define STEAM_SIM_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace steam_sim {

using HSteamUser = int32_t;
using AppId = uint32_t;
using SteamAPICall = uint64_t;
using UGCUpdateHandle = uint64_t;
using PublishedFileId = uint64_t;

// Results of SteamInternal_SteamAPI_Init.
constexpr int kInitOk = 0;
constexpr int kInitFailed = 1;

// The HSteamUser of a running session; 0 means "no user".
constexpr HSteamUser kSessionUser = 1;

constexpr SteamAPICall kInvalidCall = 0;
constexpr UGCUpdateHandle kInvalidUpdateHandle = 0xFFFFFFFFFFFFFFFFULL;

constexpr char kUtilsVersion[] = "SteamUtils010";
constexpr char kUGCVersion[] = "STEAMUGC_INTERFACE_VERSION020";

// Interface tables. A slot is called as a plain function whose first
// argument is the interface object; slots are stored type-erased and cast
// back to their real signature by whoever fills or calls them.
using Slot = void (*)();

constexpr int kUtilsSlotCount = 39;
constexpr int kGetAppIDSlot = 9;

constexpr int kUGCSlotCount = 94;
constexpr int kCreateItemSlot = 44;
constexpr int kStartItemUpdateSlot = 45;
constexpr int kSetItemTitleSlot = 46;
constexpr int kSetItemDescriptionSlot = 47;
constexpr int kSetItemUpdateLanguageSlot = 48;
constexpr int kSetItemVisibilitySlot = 50;
constexpr int kSetItemContentSlot = 52;
constexpr int kSetItemPreviewSlot = 53;
constexpr int kSubmitItemUpdateSlot = 66;
constexpr int kGetItemUpdateProgressSlot = 67;

// EItemUpdateStatus, what GetItemUpdateProgress answers; the simulator
// skips the two preparing states (1 and 2), which take no time here.
constexpr int32_t kUpdateStatusInvalid = 0;  // no such update, or it is done
constexpr int32_t kUpdateStatusUploadingContent = 3;
constexpr int32_t kUpdateStatusUploadingPreviewFile = 4;
constexpr int32_t kUpdateStatusCommittingChanges = 5;

// An interface object: nothing but the pointer to its table.
struct InterfaceObject {
  const Slot* table;
};
static_assert(sizeof(InterfaceObject) == sizeof(void*), "an interface is its table pointer");

// The caller's call-result binding (CCallbackBase): table pointer at 0, flags
// byte at 8, callback id at 12, 16 bytes in all. It is the caller's object,
// so the library only reads and writes it at these offsets.
constexpr size_t kBindingFlagsOffset = 8;
constexpr size_t kBindingIdOffset = 12;
constexpr uint8_t kBindingRegisteredFlag = 0x01;
// Windows callers are laid out as MSVC does it, and MSVC lists overloads
// declared together in reverse order: the three-argument Run comes first.
#if defined(_WIN32)
constexpr int kRunWithCallSlot = 0;
#else
constexpr int kRunWithCallSlot = 1;
#endif
constexpr int kGetCallbackSizeBytesSlot = 2;

using RunWithCallFunction = void (*)(void* binding, void* record, bool ioFailure,
                                     SteamAPICall call);
using GetCallbackSizeBytesFunction = int (*)(void* binding);

// Service result codes (EResult) carried by the records.
constexpr int32_t kResultOk = 1;
constexpr int32_t kResultFail = 2;
constexpr int32_t kResultInvalidParam = 8;
constexpr int32_t kResultFileNotFound = 9;
constexpr int32_t kResultAccessDenied = 15;
constexpr int32_t kResultLimitExceeded = 25;

constexpr int32_t kCreateItemResultId = 3403;
constexpr int32_t kSubmitItemUpdateResultId = 3404;

#if defined(_WIN32)
#pragma pack(push, 8)
#else
#pragma pack(push, 4)
#endif

struct CreateItemResult_t {
  int32_t result;
  PublishedFileId publishedFileId;
  bool userNeedsToAcceptWorkshopLegalAgreement;
};

struct SubmitItemUpdateResult_t {
  int32_t result;
  bool userNeedsToAcceptWorkshopLegalAgreement;
  PublishedFileId publishedFileId;
};

#pragma pack(pop)

#if defined(_WIN32)
static_assert(sizeof(CreateItemResult_t) == 24, "Windows packs to 8");
static_assert(offsetof(CreateItemResult_t, publishedFileId) == 8, "");
static_assert(offsetof(CreateItemResult_t, userNeedsToAcceptWorkshopLegalAgreement) == 16, "");
#else
static_assert(sizeof(CreateItemResult_t) == 16, "Linux packs to 4");
static_assert(offsetof(CreateItemResult_t, publishedFileId) == 4, "");
static_assert(offsetof(CreateItemResult_t, userNeedsToAcceptWorkshopLegalAgreement) == 12, "");
#endif
static_assert(offsetof(CreateItemResult_t, result) == 0, "");

static_assert(sizeof(SubmitItemUpdateResult_t) == 16, "same size on both platforms");
static_assert(offsetof(SubmitItemUpdateResult_t, result) == 0, "");
static_assert(offsetof(SubmitItemUpdateResult_t, userNeedsToAcceptWorkshopLegalAgreement) == 4, "");
static_assert(offsetof(SubmitItemUpdateResult_t, publishedFileId) == 8, "");

}  // namespace steam_sim

#endif  // MODPUBLISH_STEAM_SIM_ABI_H_
