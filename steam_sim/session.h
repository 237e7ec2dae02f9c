// The simulated Steam client: everything the library does behind its
// exports and interface slots. A session runs from one SteamAPI_Init to the
// next; each Init forgets the previous session's calls, handles, counters
// and registrations, while the Workshop on disk stays.
//
// Every entry point writes one journal line (see README.md for the forms).
// Single-threaded: callers must not enter it from two threads at once.
//
// The definitions are spread by concern: session.cpp (sessions, interfaces,
// app id), session_ugc.cpp (recording items and updates),
// session_calls.cpp (registering and scheduling asynchronous calls, and the
// pump) and session_delivery.cpp (completing them and sending the records,
// strays included).
#ifndef MODPUBLISH_STEAM_SIM_SESSION_H_
#define MODPUBLISH_STEAM_SIM_SESSION_H_

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "steam_sim/abi.h"
#include "steam_sim/handle_source.h"
#include "steam_sim/journal.h"
#include "steam_sim/registrations.h"
#include "steam_sim/scenario.h"
#include "steam_sim/workshop.h"

namespace steam_sim {

// Which interface object FindInterface hands out.
enum class InterfaceKind { kNone, kUtils, kUGC };

class Session {
 public:
  // SteamInternal_SteamAPI_Init. Starts a new session: reads the
  // environment (STEAMSIM_JOURNAL, STEAMSIM_SCENARIO, STEAMSIM_WORKSHOP),
  // opens the journal, loads the scenario and finds the app id. Returns
  // kInitOk, or a failure code with a message in `errMsg` (when not null,
  // at most 1024 bytes with the NUL). A bad scenario or journal path is
  // also reported on standard error.
  int Init(const char* versionList, char* errMsg);

  // SteamInternal_ContextInit: refreshes the caller's three-slot context
  // when it was filled in an earlier session (or never). Returns &context[2].
  void* ContextInit(void* context);

  // SteamAPI_GetHSteamUser: kSessionUser while a session runs, else 0.
  HSteamUser GetHSteamUser();

  // SteamInternal_FindOrCreateUserInterface: which object to return.
  InterfaceKind FindInterface(HSteamUser user, const char* version);

  // ISteamUtils::GetAppID.
  AppId GetAppID();

  // ISteamUGC operations; the results are the real library's.
  SteamAPICall CreateItem(AppId app, int32_t fileType);
  UGCUpdateHandle StartItemUpdate(AppId app, PublishedFileId item);
  bool SetItemTitle(UGCUpdateHandle update, const char* title);
  bool SetItemDescription(UGCUpdateHandle update, const char* description);
  bool SetItemUpdateLanguage(UGCUpdateHandle update, const char* language);
  bool SetItemVisibility(UGCUpdateHandle update, int32_t visibility);
  bool SetItemContent(UGCUpdateHandle update, const char* folder);
  bool SetItemPreview(UGCUpdateHandle update, const char* file);
  SteamAPICall SubmitItemUpdate(UGCUpdateHandle update, const char* changeNote);
  // How far the submission of `update` has come: kUpdateStatusInvalid, 0
  // and 0 for an update that is open, unknown, or whose result was
  // delivered or given up; else uploading content or the preview (with
  // their bytes sent and in all) and then committing (0 and 0) until it is
  // delivered. Null pointers are skipped.
  int32_t GetItemUpdateProgress(UGCUpdateHandle update, uint64_t* bytesProcessed,
                                uint64_t* bytesTotal);

  // SteamAPI_RegisterCallResult / SteamAPI_UnregisterCallResult. The
  // binding must stay alive while registered.
  void RegisterCallResult(void* binding, SteamAPICall call);
  void UnregisterCallResult(void* binding, SteamAPICall call);

  // SteamAPI_RunCallbacks: one pump; delivers the results due by now to
  // their bindings. A call from inside a delivery does nothing.
  void RunCallbacks();

  // A table slot the simulator doesn't implement was called.
  void Unexpected(const char* interfaceName, int slot);

 private:
  enum class CallKind { kCreateItem, kSubmitItemUpdate };

  // An asynchronous call whose result hasn't been delivered.
  struct PendingCall {
    CallKind kind = CallKind::kCreateItem;
    SteamAPICall handle = kInvalidCall;
    uint64_t ordinal = 0;  // 1 for the session's first asynchronous call
    uint64_t madeInPump = 0;
    std::optional<uint64_t> duePump;  // nullopt: never
    bool strayPending = false;
    // kCreateItem
    AppId app = 0;
    int32_t fileType = 0;
    std::optional<PublishedFileId> itemId;  // given by the scenario
    // kSubmitItemUpdate
    ItemUpdate update;
    UGCUpdateHandle updateHandle = kInvalidUpdateHandle;
    // What the upload sends, measured when it was submitted, and when.
    uint64_t contentBytes = 0;
    uint64_t previewBytes = 0;
    std::chrono::steady_clock::time_point submittedAt;
  };

  // What a delivered record says.
  struct Outcome {
    int32_t result = 0;
    PublishedFileId item = 0;
    bool legal = false;
    bool ioFailure = false;
  };

  // Everything a new session forgets.
  struct State {
    bool running = false;
    AppId appId = 0;
    Scenario scenario;
    Workshop workshop{std::filesystem::path()};
    // STEAMSIM_UPLOAD_RATE in bytes per second; 0: uploads take no time.
    uint64_t uploadRate = 0;
    std::map<Operation, uint64_t> calls;
    HandleSource callHandles{1001, kInvalidCall};
    HandleSource updateHandles{1, kInvalidUpdateHandle};
    std::map<UGCUpdateHandle, ItemUpdate> updates;
    uint64_t createdItems = 0;
    uint64_t asyncCalls = 0;
    uint64_t pump = 0;
    bool pumping = false;
    std::vector<PendingCall> pending;  // in call order
    Registrations registrations;
  };

  // Init's work after the reset: returns its result, with the reason in
  // `error` on failure. `versions` are the names in the version list.
  int Start(const std::vector<std::string>& versions, uint64_t initCall, std::string* error);
  // Counts a call of `operation` and returns its number in this session.
  uint64_t CountCall(Operation operation);

  // session_ugc.cpp. Records one setter call; `apply` stores the value in
  // the update, `argument` builds the journal's "<field>=<value>".
  bool RecordSetting(Operation operation, UGCUpdateHandle update,
                     const std::function<std::string()>& argument,
                     const std::function<void(ItemUpdate*)>& apply);
  bool RecordText(Operation operation, const char* field, UGCUpdateHandle update, const char* value,
                  const std::function<void(ItemUpdate*, std::string)>& store);

  // session_calls.cpp. Gives `call` its handle, ordinal and due pump, and
  // queues it. Returns the handle.
  SteamAPICall Schedule(PendingCall call);
  PendingCall* FindPending(uint64_t ordinal);
  // The bytes of `call`'s content and preview sent by `now`, at the upload
  // rate: all of them without one.
  uint64_t BytesSent(const PendingCall& call, std::chrono::steady_clock::time_point now) const;
  // Runs `visit` on each call of `ordinals` that is still pending, in that
  // order. Returns false, leaving the rest alone, as soon as session
  // `session` has ended (a binding may start a new one).
  bool VisitPending(const std::vector<uint64_t>& ordinals, uint64_t session,
                    const std::function<void(PendingCall*)>& visit);

  // session_delivery.cpp. What the service makes of `call`: the Workshop
  // applies it unless the scenario decides the outcome.
  Outcome Complete(const PendingCall& call);
  // Completes `call` and hands the record to its binding, then drops the
  // registration.
  void Deliver(const PendingCall& call);
  void SendStray(CallKind kind, SteamAPICall handle);
  // Hands `binding` the record of `kind` that says `outcome`, for `handle`.
  static void Send(void* binding, CallKind kind, const Outcome& outcome, SteamAPICall handle);

  Journal journal_;
  State state_;
  // Kept across sessions: SteamAPI_Init's own call count, and the
  // generation that ContextInit compares with.
  uint64_t initCalls_ = 0;
  uintptr_t generation_ = 0;
};

// The library's one session object.
Session& TheSession();

}  // namespace steam_sim

#endif  // MODPUBLISH_STEAM_SIM_SESSION_H_
