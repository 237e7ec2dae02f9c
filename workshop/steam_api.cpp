#include "workshop/steam_api.h"

#include <cstddef>
#include <cstdint>

#include "platform/client_library_exports.h"
#include "platform/platform.h"

namespace {

// The interface versions the tool is built against, each followed by a NUL,
// and one more NUL to end the list. The library checks it at start.
constexpr char kInterfaceVersions[] =
    "SteamUtils010\0"
    "SteamNetworkingUtils004\0"
    "STEAMAPPS_INTERFACE_VERSION008\0"
    "SteamController008\0"
    "SteamFriends017\0"
    "SteamMatchGameSearch001\0"
    "STEAMHTMLSURFACE_INTERFACE_VERSION_005\0"
    "STEAMHTTP_INTERFACE_VERSION003\0"
    "SteamInput006\0"
    "STEAMINVENTORY_INTERFACE_V003\0"
    "SteamMatchMakingServers002\0"
    "SteamMatchMaking009\0"
    "STEAMMUSICREMOTE_INTERFACE_VERSION001\0"
    "STEAMMUSIC_INTERFACE_VERSION001\0"
    "SteamNetworkingMessages002\0"
    "SteamNetworkingSockets012\0"
    "SteamNetworking006\0"
    "STEAMPARENTALSETTINGS_INTERFACE_VERSION001\0"
    "SteamParties002\0"
    "STEAMREMOTEPLAY_INTERFACE_VERSION002\0"
    "STEAMREMOTESTORAGE_INTERFACE_VERSION016\0"
    "STEAMSCREENSHOTS_INTERFACE_VERSION003\0"
    "STEAMUGC_INTERFACE_VERSION020\0"
    "STEAMUSERSTATS_INTERFACE_VERSION012\0"
    "SteamUser023\0"
    "STEAMVIDEO_INTERFACE_V007\0";

constexpr char kUtilsVersion[] = "SteamUtils010";
constexpr char kUgcVersion[] = "STEAMUGC_INTERFACE_VERSION020";

// The exports the tool uses, found by name after loading.
struct Exports {
  int32_t (*init)(const char* versions, char* errMsg) = nullptr;
  void* (*contextInit)(void* context) = nullptr;
  void* (*findOrCreateUserInterface)(HSteamUser user, const char* version) = nullptr;
  HSteamUser (*getHSteamUser)() = nullptr;
  void (*registerCallResult)(CCallbackBase* binding, SteamAPICall_t call) = nullptr;
  void (*unregisterCallResult)(CCallbackBase* binding, SteamAPICall_t call) = nullptr;
  void (*runCallbacks)() = nullptr;
};

// Process-wide, like the library itself: the context init functions below
// get no argument to find it through.
Exports exports;

template <typename Function>
void Take(void* address, Function& function) {
  function = reinterpret_cast<Function>(address);
}

// The library's per-interface cache: when `generation` differs from the
// library's, it calls `init` with the address of `cached`, then stores its
// generation. The library sees three pointer-sized slots.
struct InterfaceContext {
  void (*init)(void* cached);
  uintptr_t generation;
  void* cached;
};
static_assert(sizeof(InterfaceContext) == 3 * sizeof(void*), "InterfaceContext layout");
static_assert(offsetof(InterfaceContext, cached) == 2 * sizeof(void*), "InterfaceContext layout");

void InitUtils(void* cached) {
  *static_cast<void**>(cached) = exports.findOrCreateUserInterface(0, kUtilsVersion);
}

void InitUgc(void* cached) {
  *static_cast<void**>(cached) =
      exports.findOrCreateUserInterface(exports.getHSteamUser(), kUgcVersion);
}

InterfaceContext utilsContext{&InitUtils, 0, nullptr};
InterfaceContext ugcContext{&InitUgc, 0, nullptr};

void* InterfaceFrom(InterfaceContext& context) {
  if (exports.contextInit == nullptr) {
    return nullptr;
  }
  void* cached = exports.contextInit(&context);
  return cached == nullptr ? nullptr : *static_cast<void**>(cached);
}

// Calls table slot `slot` of the interface object `self` as an ordinary
// function with the object first, which is what a virtual call is on x64.
template <typename Result, typename... Args>
Result CallSlot(void* self, int slot, Args... args) {
  using Function = void (*)();
  using Typed = Result (*)(void*, Args...);
  const Function* table = *static_cast<const Function* const*>(self);
  return reinterpret_cast<Typed>(table[slot])(self, args...);
}

}  // namespace

AppId_t ISteamUtils::GetAppID() { return CallSlot<AppId_t>(this, kGetAppIdSlot); }

SteamAPICall_t ISteamUGC::CreateItem(AppId_t appId, int32_t fileType) {
  return CallSlot<SteamAPICall_t>(this, kCreateItemSlot, appId, fileType);
}

UGCUpdateHandle_t ISteamUGC::StartItemUpdate(AppId_t appId, PublishedFileId_t itemId) {
  return CallSlot<UGCUpdateHandle_t>(this, kStartItemUpdateSlot, appId, itemId);
}

bool ISteamUGC::SetItemTitle(UGCUpdateHandle_t update, const char* title) {
  return CallSlot<bool>(this, kSetItemTitleSlot, update, title);
}

bool ISteamUGC::SetItemDescription(UGCUpdateHandle_t update, const char* description) {
  return CallSlot<bool>(this, kSetItemDescriptionSlot, update, description);
}

bool ISteamUGC::SetItemUpdateLanguage(UGCUpdateHandle_t update, const char* language) {
  return CallSlot<bool>(this, kSetItemUpdateLanguageSlot, update, language);
}

bool ISteamUGC::SetItemVisibility(UGCUpdateHandle_t update, int32_t visibility) {
  return CallSlot<bool>(this, kSetItemVisibilitySlot, update, visibility);
}

bool ISteamUGC::SetItemContent(UGCUpdateHandle_t update, const char* folder) {
  return CallSlot<bool>(this, kSetItemContentSlot, update, folder);
}

bool ISteamUGC::SetItemPreview(UGCUpdateHandle_t update, const char* file) {
  return CallSlot<bool>(this, kSetItemPreviewSlot, update, file);
}

SteamAPICall_t ISteamUGC::SubmitItemUpdate(UGCUpdateHandle_t update, const char* changeNote) {
  return CallSlot<SteamAPICall_t>(this, kSubmitItemUpdateSlot, update, changeNote);
}

EItemUpdateStatus ISteamUGC::GetItemUpdateProgress(UGCUpdateHandle_t update,
                                                   uint64_t* bytesProcessed, uint64_t* bytesTotal) {
  return CallSlot<EItemUpdateStatus>(this, kGetItemUpdateProgressSlot, update, bytesProcessed,
                                     bytesTotal);
}

namespace steam {

bool InitSteamAPI(const char* libraryFileName) {
  exports = Exports{};
  void* library = platform::LoadTrustedLibrary(libraryFileName);
  if (library == nullptr) {
    return false;
  }
  // Every export on the shared list, or none: a library without one of
  // them is from another generation of the SDK.
  void* addresses[platform::kClientLibraryExportCount] = {};
  bool complete = true;
  for (size_t index = 0; index < platform::kClientLibraryExportCount; ++index) {
    addresses[index] = platform::FindSymbol(library, platform::kClientLibraryExports[index]);
    complete = complete && addresses[index] != nullptr;
  }
  Exports found;
  Take(addresses[platform::kSteamApiInitExport], found.init);
  Take(addresses[platform::kContextInitExport], found.contextInit);
  Take(addresses[platform::kFindOrCreateUserInterfaceExport], found.findOrCreateUserInterface);
  Take(addresses[platform::kGetHSteamUserExport], found.getHSteamUser);
  Take(addresses[platform::kRegisterCallResultExport], found.registerCallResult);
  Take(addresses[platform::kUnregisterCallResultExport], found.unregisterCallResult);
  Take(addresses[platform::kRunCallbacksExport], found.runCallbacks);
  if (!complete || found.init(kInterfaceVersions, nullptr) != 0) {
    return false;
  }
  exports = found;
  return true;
}

ISteamUtils* SteamUtils() { return static_cast<ISteamUtils*>(InterfaceFrom(utilsContext)); }

ISteamUGC* SteamUGC() { return static_cast<ISteamUGC*>(InterfaceFrom(ugcContext)); }

void RegisterCallResult(CCallbackBase* binding, SteamAPICall_t call) {
  if (exports.registerCallResult != nullptr) {
    exports.registerCallResult(binding, call);
  }
}

void UnregisterCallResult(CCallbackBase* binding, SteamAPICall_t call) {
  if (exports.unregisterCallResult != nullptr) {
    exports.unregisterCallResult(binding, call);
  }
}

void RunCallbacks() {
  if (exports.runCallbacks != nullptr) {
    exports.runCallbacks();
  }
}

}  // namespace steam
