// The tool's side of the Steam client library (steam_api64.dll on Windows,
// libsteam_api.so elsewhere), declared here so that it lines up byte for
// byte with the real library: its exports, the two interfaces the tool uses,
// the call-result binding the library calls back into, and the result
// records it hands over. The library is loaded at run time, never linked, so
// the tool starts (and prints its usage) without it.
//
// Windows x64 and Linux x64 differ in two places: record packing and the
// slot order of the binding's two Run overloads. Both are pinned below.
#ifndef MODPUBLISH_WORKSHOP_STEAM_API_H_
#define MODPUBLISH_WORKSHOP_STEAM_API_H_

#include <cstddef>
#include <cstdint>

using AppId_t = uint32_t;
using PublishedFileId_t = uint64_t;
using UGCUpdateHandle_t = uint64_t;
using SteamAPICall_t = uint64_t;
using HSteamUser = int32_t;

// What StartItemUpdate answers when it can't start an update.
constexpr UGCUpdateHandle_t k_UGCUpdateHandleInvalid = 0xFFFFFFFFFFFFFFFFull;
// What CreateItem and SubmitItemUpdate answer when they issue no call.
constexpr SteamAPICall_t k_uAPICallInvalid = 0;

// Workshop file type of an ordinary community item.
constexpr int32_t k_EWorkshopFileTypeCommunity = 0;
// Item visibility: only the owner sees the item.
constexpr int32_t k_ERemoteStoragePublishedFileVisibilityPrivate = 2;

// How far a submitted update has come (EItemUpdateStatus). Invalid: no
// such update, or it is done.
using EItemUpdateStatus = int32_t;
constexpr EItemUpdateStatus k_EItemUpdateStatusInvalid = 0;
constexpr EItemUpdateStatus k_EItemUpdateStatusPreparingConfig = 1;
constexpr EItemUpdateStatus k_EItemUpdateStatusPreparingContent = 2;
constexpr EItemUpdateStatus k_EItemUpdateStatusUploadingContent = 3;
constexpr EItemUpdateStatus k_EItemUpdateStatusUploadingPreviewFile = 4;
constexpr EItemUpdateStatus k_EItemUpdateStatusCommittingChanges = 5;

// Result records. The real library is built with 8-byte packing on Windows
// and 4-byte packing on Linux, which moves the 64-bit fields.
#if defined(_WIN32)
#pragma pack(push, 8)
#else
#pragma pack(push, 4)
#endif

struct CreateItemResult_t {
  static constexpr int k_iCallback = 3403;
  int32_t m_eResult;  // EResult: 1 is success
  PublishedFileId_t m_nPublishedFileId;
  uint8_t m_bUserNeedsToAcceptWorkshopLegalAgreement;  // not 0: the legal agreement is pending
};

struct SubmitItemUpdateResult_t {
  static constexpr int k_iCallback = 3404;
  int32_t m_eResult;                                   // EResult: 1 is success
  uint8_t m_bUserNeedsToAcceptWorkshopLegalAgreement;  // not 0: the legal agreement is pending
  PublishedFileId_t m_nPublishedFileId;
};

#pragma pack(pop)

static_assert(offsetof(CreateItemResult_t, m_eResult) == 0, "CreateItemResult_t layout");
static_assert(offsetof(SubmitItemUpdateResult_t, m_eResult) == 0, "SubmitItemUpdateResult_t");
static_assert(offsetof(SubmitItemUpdateResult_t, m_bUserNeedsToAcceptWorkshopLegalAgreement) == 4,
              "SubmitItemUpdateResult_t layout");
static_assert(offsetof(SubmitItemUpdateResult_t, m_nPublishedFileId) == 8,
              "SubmitItemUpdateResult_t layout");
static_assert(sizeof(SubmitItemUpdateResult_t) == 16, "SubmitItemUpdateResult_t size");
#if defined(_WIN32)
static_assert(offsetof(CreateItemResult_t, m_nPublishedFileId) == 8, "CreateItemResult_t layout");
static_assert(offsetof(CreateItemResult_t, m_bUserNeedsToAcceptWorkshopLegalAgreement) == 16,
              "CreateItemResult_t layout");
static_assert(sizeof(CreateItemResult_t) == 24, "CreateItemResult_t size");
#else
static_assert(offsetof(CreateItemResult_t, m_nPublishedFileId) == 4, "CreateItemResult_t layout");
static_assert(offsetof(CreateItemResult_t, m_bUserNeedsToAcceptWorkshopLegalAgreement) == 12,
              "CreateItemResult_t layout");
static_assert(sizeof(CreateItemResult_t) == 16, "CreateItemResult_t size");
#endif

// The base of every call-result binding. The library keeps the binding's
// address while a call is registered, reads `callbackId`, may set bit 0x01
// of `callbackFlags`, and calls the three-argument Run through the table
// when the call completes. Layout: table pointer at 0, flags at 8, id at 12,
// 16 bytes in all.
//
// The table slots of the two Run overloads differ by platform: the real
// Windows library is built with MSVC, which groups overloads in reverse
// declaration order, so there Run(record, ioFailure, call) is slot 0; on
// Linux it is slot 1. GCC and Clang lay out virtuals in declaration order on
// every target, MSVC reverses the overloads: the declaration order below
// yields the library's slot order with each of them.
class CCallbackBase {
 public:
  explicit CCallbackBase(int32_t id) : callbackFlags(0), callbackId(id) {}
  CCallbackBase(const CCallbackBase&) = delete;
  CCallbackBase& operator=(const CCallbackBase&) = delete;

#if defined(_WIN32) && !defined(_MSC_VER)
  virtual void Run(void* record, bool ioFailure, SteamAPICall_t call) = 0;  // slot 0
  virtual void Run(void* record) = 0;                                       // slot 1
#else
  virtual void Run(void* record) = 0;  // slot 0 (Linux); slot 1 (MSVC)
  virtual void Run(void* record, bool ioFailure, SteamAPICall_t call) = 0;
#endif
  virtual int GetCallbackSizeBytes() = 0;  // slot 2

  // Read and written by the library only.
  uint8_t callbackFlags;
  int32_t callbackId;

 protected:
  // Not virtual: the library never destroys a binding.
  ~CCallbackBase() = default;
};

static_assert(sizeof(CCallbackBase) == 16, "CCallbackBase layout");
static_assert(alignof(CCallbackBase) == 8, "CCallbackBase layout");

// Interfaces are objects of the library: a pointer to a table of functions,
// each called as an ordinary function with the object as its first
// argument. Only the operations the tool uses are declared, each at its
// real slot; the member functions do nothing but call that slot.

// "SteamUtils010".
class ISteamUtils {
 public:
  static constexpr int kGetAppIdSlot = 9;

  // The application id of the running game; 0 when unknown.
  AppId_t GetAppID();

 private:
  ISteamUtils() = default;
  using Function = void (*)();
  const Function* table_;
};

// "STEAMUGC_INTERFACE_VERSION020".
class ISteamUGC {
 public:
  static constexpr int kCreateItemSlot = 44;
  static constexpr int kStartItemUpdateSlot = 45;
  static constexpr int kSetItemTitleSlot = 46;
  static constexpr int kSetItemDescriptionSlot = 47;
  static constexpr int kSetItemUpdateLanguageSlot = 48;
  static constexpr int kSetItemVisibilitySlot = 50;
  static constexpr int kSetItemContentSlot = 52;
  static constexpr int kSetItemPreviewSlot = 53;
  static constexpr int kSubmitItemUpdateSlot = 66;
  static constexpr int kGetItemUpdateProgressSlot = 67;

  // Asks for a new item; the answer comes as a CreateItemResult_t. Returns
  // the call handle, or 0 when no call was issued.
  SteamAPICall_t CreateItem(AppId_t appId, int32_t fileType);
  // Opens an update of `itemId`. Returns its handle; 0 or
  // k_UGCUpdateHandleInvalid when none was opened.
  UGCUpdateHandle_t StartItemUpdate(AppId_t appId, PublishedFileId_t itemId);
  // The setters record a change in the open update and return false when
  // they can't (an unknown handle). The library copies the text.
  bool SetItemTitle(UGCUpdateHandle_t update, const char* title);
  bool SetItemDescription(UGCUpdateHandle_t update, const char* description);
  bool SetItemUpdateLanguage(UGCUpdateHandle_t update, const char* language);
  bool SetItemVisibility(UGCUpdateHandle_t update, int32_t visibility);
  bool SetItemContent(UGCUpdateHandle_t update, const char* folder);
  bool SetItemPreview(UGCUpdateHandle_t update, const char* file);
  // Sends the update; the answer comes as a SubmitItemUpdateResult_t.
  // Returns the call handle, or 0 when no call was issued.
  SteamAPICall_t SubmitItemUpdate(UGCUpdateHandle_t update, const char* changeNote);
  // How far the submitted `update` has come, asked while its result is
  // pending: the status, and in `bytesProcessed` and `bytesTotal` the bytes
  // of the content (uploading content) or of the preview (uploading
  // preview) sent and in all. Invalid once the update is done or for an
  // unknown one.
  EItemUpdateStatus GetItemUpdateProgress(UGCUpdateHandle_t update, uint64_t* bytesProcessed,
                                          uint64_t* bytesTotal);

 private:
  ISteamUGC() = default;
  using Function = void (*)();
  const Function* table_;
};

namespace steam {

// Loads the client library `libraryFileName` from the program's folder or
// the system's (see platform::LoadTrustedLibrary), finds its exports and
// initialises it with the tool's interface-version list. Returns true when
// the library reports success. False when it is missing, lacks an export, or
// refuses; the tool then has no library and every call below is a no-op
// answering null. The library is never unloaded or shut down.
bool InitSteamAPI(const char* libraryFileName);

// The library's interface objects, through its per-interface context; null
// without an initialised library or when the library has none.
ISteamUtils* SteamUtils();
ISteamUGC* SteamUGC();

// Registration of a pending call with its binding, and the callback pump
// that delivers completed calls to their bindings. No-ops without a library.
void RegisterCallResult(CCallbackBase* binding, SteamAPICall_t call);
void UnregisterCallResult(CCallbackBase* binding, SteamAPICall_t call);
void RunCallbacks();

}  // namespace steam

#endif  // MODPUBLISH_WORKSHOP_STEAM_API_H_
