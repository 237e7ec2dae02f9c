#include "steam_sim/session.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <sstream>
#include <utility>

#include "steam_sim/binding.h"
#include "steam_sim/sim_platform.h"
#include "steam_sim/text.h"

namespace steam_sim {

namespace {

constexpr size_t kErrMsgSize = 1024;
// A stray completion carries this handle bit flipped, so it can never match
// a call the caller made.
constexpr SteamAPICall kStrayBit = 0x8000000000000000ULL;

std::string Number(uint64_t value) { return std::to_string(value); }
std::string Number(int64_t value) { return std::to_string(value); }
const char* Bool(bool value) { return value ? "true" : "false"; }
std::string QuoteOrNull(const char* text) { return text == nullptr ? "null" : Quote(text); }

// The bytes of a whole version list: each name with its NUL, then the NUL
// of the empty name that ends the list.
std::string VersionListBytes(const char* list, std::vector<std::string>* names) {
  std::string bytes;
  for (const char* name = list; *name != '\0'; name += std::strlen(name) + 1) {
    names->emplace_back(name);
    bytes += names->back();
    bytes += '\0';
  }
  bytes += '\0';
  return bytes;
}

// Reads an app id from steam_appid.txt or SteamAppId: a positive decimal
// number, blanks and line ends around it allowed (editors add them).
std::optional<AppId> ParseAppId(std::string text) {
  const char* const kBlanks = " \t\r\n";
  text.erase(0, std::min(text.size(), text.find_first_not_of(kBlanks)));
  text.erase(text.find_last_not_of(kBlanks) + 1);
  uint64_t value = 0;
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos ||
      !ParseUnsigned(text, &value) || value == 0 || value > std::numeric_limits<AppId>::max()) {
    return std::nullopt;
  }
  return static_cast<AppId>(value);
}

std::optional<AppId> FindAppId(const Scenario& scenario) {
  if (scenario.appId) {
    return scenario.appId;
  }
  std::ifstream file("steam_appid.txt", std::ios::binary);
  if (file) {
    std::ostringstream text;
    text << file.rdbuf();
    if (std::optional<AppId> appId = ParseAppId(text.str())) {
      return appId;
    }
  }
  if (std::optional<std::string> variable = EnvironmentString("SteamAppId")) {
    return ParseAppId(*variable);
  }
  return std::nullopt;
}

// Builds a result record and hands it to the binding's Run. The record is
// zeroed first, so that its padding bytes are zero too.
template <typename Record>
void SendRecord(void* binding, int32_t result, PublishedFileId item, bool legal, bool ioFailure,
                SteamAPICall call) {
  Record record;
  std::memset(&record, 0, sizeof record);
  record.result = result;
  record.publishedFileId = item;
  record.userNeedsToAcceptWorkshopLegalAgreement = legal;
  RunBinding(binding, &record, ioFailure, call);
}

// Tells the developer why initialisation failed, since a bad scenario or
// journal path is a mistake in the test set-up, not in the program tested.
void Complain(const std::string& message) {
  std::fputs(("steam_sim: " + message + "\n").c_str(), stderr);
  std::fflush(stderr);
}

}  // namespace

HandleSource::HandleSource(uint64_t first, uint64_t invalid)
    : first_(first), invalid_(invalid), counter_(first) {}

void HandleSource::Reset(std::vector<uint64_t> listed) {
  counter_ = first_;
  listed_ = std::move(listed);
  nextListed_ = 0;
  issued_.clear();
}

uint64_t HandleSource::Next() {
  uint64_t handle = 0;
  if (nextListed_ < listed_.size()) {
    handle = listed_[nextListed_++];
  } else {
    do {
      handle = counter_++;
    } while (handle == invalid_ || issued_.count(handle) != 0);
  }
  issued_.insert(handle);
  return handle;
}

int Session::Init(const char* versionList, char* errMsg) {
  state_ = State();
  std::vector<std::string> names;
  const std::string versions =
      versionList == nullptr ? "null" : Quote(VersionListBytes(versionList, &names));
  std::string error;
  const int result = Start(names, ++initCalls_, &error);
  journal_.Write("SteamAPI_Init versions=" + versions + " -> " + Number(int64_t{result}));
  if (result == kInitOk) {
    state_.running = true;
    ++generation_;
  } else if (errMsg != nullptr) {
    const std::string message = "steam_sim: " + error;
    const size_t length = std::min(message.size(), kErrMsgSize - 1);
    std::memcpy(errMsg, message.data(), length);
    errMsg[length] = '\0';
  }
  return result;
}

int Session::Start(const std::vector<std::string>& versions, uint64_t initCall,
                   std::string* error) {
  journal_.Close();
  if (std::optional<std::filesystem::path> path = EnvironmentPath("STEAMSIM_JOURNAL")) {
    if (!journal_.Open(*path, error)) {
      Complain(*error);
      return kInitFailed;
    }
  }
  if (std::optional<std::filesystem::path> path = EnvironmentPath("STEAMSIM_SCENARIO")) {
    if (!LoadScenario(*path, &state_.scenario, error)) {
      Complain(*error);
      return kInitFailed;
    }
  }
  const Scenario& scenario = state_.scenario;
  state_.workshop =
      Workshop(EnvironmentPath("STEAMSIM_WORKSHOP").value_or(OwnLibraryFolder() / "workshop"));
  state_.callHandles.Reset(scenario.callHandles);
  state_.updateHandles.Reset(scenario.updateHandles);

  if (scenario.Fails(Operation::kSteamAPIInit, initCall)) {
    *error = "the scenario fails SteamAPI_Init call " + Number(initCall);
    return kInitFailed;
  }
  if (scenario.initResult != 0) {
    *error = "the scenario makes SteamAPI_Init answer " + Number(uint64_t{scenario.initResult});
    return static_cast<int>(scenario.initResult);
  }
  for (const char* wanted : {kUtilsVersion, kUGCVersion}) {
    if (std::find(versions.begin(), versions.end(), wanted) == versions.end()) {
      *error = std::string("the interface version list lacks ") + wanted;
      return kInitFailed;
    }
  }
  std::optional<AppId> appId = FindAppId(scenario);
  if (!appId) {
    *error =
        "no app id: put it in steam_appid.txt in the current folder, in the environment "
        "variable SteamAppId, or in the scenario's app_id";
    return kInitFailed;
  }
  state_.appId = *appId;
  return kInitOk;
}

void* Session::ContextInit(void* context) {
  auto* slots = static_cast<void**>(context);
  // Slot 1 holds a number in a pointer-sized slot: copy the bits.
  uintptr_t seen = 0;
  std::memcpy(&seen, &slots[1], sizeof seen);
  if (seen != generation_) {
    if (slots[0] != nullptr) {
      reinterpret_cast<void (*)(void*)>(slots[0])(&slots[2]);
    }
    std::memcpy(&slots[1], &generation_, sizeof generation_);
  }
  return &slots[2];
}

HSteamUser Session::GetHSteamUser() {
  const HSteamUser user = state_.running ? kSessionUser : 0;
  journal_.Write("GetHSteamUser -> " + Number(int64_t{user}));
  return user;
}

InterfaceKind Session::FindInterface(HSteamUser user, const char* version) {
  InterfaceKind kind = InterfaceKind::kNone;
  if (state_.running && version != nullptr && state_.scenario.nullInterfaces.count(version) == 0) {
    if (std::strcmp(version, kUtilsVersion) == 0) {
      kind = InterfaceKind::kUtils;
    } else if (std::strcmp(version, kUGCVersion) == 0 && user == kSessionUser) {
      kind = InterfaceKind::kUGC;
    }
  }
  journal_.Write("FindOrCreateUserInterface user=" + Number(int64_t{user}) +
                 " version=" + QuoteOrNull(version) + " -> " +
                 (kind == InterfaceKind::kNone ? "null" : "object"));
  return kind;
}

AppId Session::GetAppID() {
  const uint64_t call = CountCall(Operation::kGetAppID);
  const AppId appId = state_.scenario.Fails(Operation::kGetAppID, call) ? 0 : state_.appId;
  journal_.Write("GetAppID -> " + Number(uint64_t{appId}));
  return appId;
}

SteamAPICall Session::CreateItem(AppId app, int32_t fileType) {
  const uint64_t number = CountCall(Operation::kCreateItem);
  SteamAPICall handle = kInvalidCall;
  if (state_.running && !state_.scenario.Fails(Operation::kCreateItem, number)) {
    PendingCall call;
    call.kind = CallKind::kCreateItem;
    call.app = app;
    call.fileType = fileType;
    const std::vector<uint64_t>& ids = state_.scenario.itemIds;
    if (state_.createdItems < ids.size()) {
      call.itemId = ids[state_.createdItems];
    }
    ++state_.createdItems;
    handle = Schedule(std::move(call));
  }
  journal_.Write("CreateItem app=" + Number(uint64_t{app}) + " type=" + Number(int64_t{fileType}) +
                 " -> " + Number(handle));
  return handle;
}

UGCUpdateHandle Session::StartItemUpdate(AppId app, PublishedFileId item) {
  const uint64_t number = CountCall(Operation::kStartItemUpdate);
  UGCUpdateHandle handle = kInvalidUpdateHandle;
  if (state_.running && !state_.scenario.Fails(Operation::kStartItemUpdate, number)) {
    // Any item id gets a handle: the service judges the item at submission.
    handle = state_.updateHandles.Next();
    ItemUpdate& update = state_.updates[handle];
    update = ItemUpdate();
    update.app = app;
    update.item = item;
  }
  journal_.Write("StartItemUpdate app=" + Number(uint64_t{app}) + " item=" + Number(item) + " -> " +
                 Number(handle));
  return handle;
}

bool Session::SetItemTitle(UGCUpdateHandle update, const char* title) {
  return RecordText(Operation::kSetItemTitle, "title", update, title,
                    [](ItemUpdate* u, std::string text) { u->title = std::move(text); });
}

bool Session::SetItemDescription(UGCUpdateHandle update, const char* description) {
  return RecordText(Operation::kSetItemDescription, "description", update, description,
                    [](ItemUpdate* u, std::string text) { u->description = std::move(text); });
}

bool Session::SetItemUpdateLanguage(UGCUpdateHandle update, const char* language) {
  return RecordText(Operation::kSetItemUpdateLanguage, "language", update, language,
                    [](ItemUpdate* u, std::string text) { u->language = std::move(text); });
}

bool Session::SetItemVisibility(UGCUpdateHandle update, int32_t visibility) {
  return RecordSetting(Operation::kSetItemVisibility, update,
                       "visibility=" + Number(int64_t{visibility}),
                       [visibility](ItemUpdate* u) { u->visibility = visibility; });
}

bool Session::SetItemContent(UGCUpdateHandle update, const char* folder) {
  return RecordText(Operation::kSetItemContent, "folder", update, folder,
                    [](ItemUpdate* u, std::string text) { u->contentFolder = std::move(text); });
}

bool Session::SetItemPreview(UGCUpdateHandle update, const char* file) {
  return RecordText(Operation::kSetItemPreview, "file", update, file,
                    [](ItemUpdate* u, std::string text) { u->previewFile = std::move(text); });
}

SteamAPICall Session::SubmitItemUpdate(UGCUpdateHandle update, const char* changeNote) {
  const uint64_t number = CountCall(Operation::kSubmitItemUpdate);
  SteamAPICall handle = kInvalidCall;
  auto found = state_.updates.find(update);
  if (state_.running && found != state_.updates.end() &&
      !state_.scenario.Fails(Operation::kSubmitItemUpdate, number)) {
    PendingCall call;
    call.kind = CallKind::kSubmitItemUpdate;
    call.update = std::move(found->second);
    call.update.changeNote = changeNote == nullptr ? "" : changeNote;
    // A submitted update is spent: later setters on its handle fail.
    state_.updates.erase(found);
    handle = Schedule(std::move(call));
  }
  journal_.Write("SubmitItemUpdate update=" + Number(update) + " note=" + QuoteOrNull(changeNote) +
                 " -> " + Number(handle));
  return handle;
}

void Session::RegisterCallResult(void* binding, SteamAPICall call) {
  int32_t id = 0;
  int size = 0;
  if (binding != nullptr) {
    id = BindingCallbackId(binding);
    size = BindingCallbackSizeBytes(binding);
  }
  journal_.Write("RegisterCallResult call=" + Number(call) + " id=" + Number(int64_t{id}) +
                 " size=" + Number(int64_t{size}));
  if (binding == nullptr || !state_.running) {
    return;
  }
  // One binding per call: registering another one replaces it.
  void*& registered = state_.registrations[call];
  void* const previous = registered;
  registered = binding;
  if (previous != nullptr && previous != binding) {
    SetBindingRegistered(previous, IsRegistered(previous));
  }
  SetBindingRegistered(binding, true);
}

void Session::UnregisterCallResult(void* binding, SteamAPICall call) {
  journal_.Write("UnregisterCallResult call=" + Number(call));
  auto found = state_.registrations.find(call);
  if (found == state_.registrations.end() || found->second != binding) {
    return;
  }
  state_.registrations.erase(found);
  SetBindingRegistered(binding, IsRegistered(binding));
  // The caller gave up on the call: its result will never be delivered.
  std::vector<PendingCall>& pending = state_.pending;
  for (auto it = pending.begin(); it != pending.end(); ++it) {
    if (it->handle == call) {
      pending.erase(it);
      break;
    }
  }
}

void Session::RunCallbacks() {
  journal_.Write("RunCallbacks");
  if (!state_.running || state_.pumping) {
    return;
  }
  state_.pumping = true;
  const uint64_t pump = ++state_.pump;
  // Bindings run the caller's code, which may make and register new calls,
  // unregister, or even start a new session (which ends this pump): work
  // from a list of ordinals and look each call up again before touching it.
  const uint64_t session = initCalls_;
  std::vector<uint64_t> ordinals;
  for (const PendingCall& call : state_.pending) {
    ordinals.push_back(call.ordinal);
  }
  for (uint64_t ordinal : ordinals) {
    if (initCalls_ != session) {
      return;
    }
    PendingCall* call = FindPending(ordinal);
    if (call != nullptr && call->strayPending && call->madeInPump < pump &&
        state_.registrations.count(call->handle) != 0) {
      call->strayPending = false;
      SendStray(call->kind, call->handle);
    }
  }
  for (uint64_t ordinal : ordinals) {
    if (initCalls_ != session) {
      return;
    }
    PendingCall* call = FindPending(ordinal);
    if (call == nullptr || !call->duePump || *call->duePump > pump ||
        state_.registrations.count(call->handle) == 0) {
      continue;
    }
    const PendingCall due = std::move(*call);
    state_.pending.erase(state_.pending.begin() + (call - state_.pending.data()));
    Deliver(due);
  }
  if (initCalls_ == session) {
    state_.pumping = false;
  }
}

void Session::Unexpected(const char* interfaceName, int slot) {
  journal_.Write(std::string("Unexpected ") + interfaceName + " slot " + Number(int64_t{slot}));
}

uint64_t Session::CountCall(Operation operation) { return ++state_.calls[operation]; }

bool Session::RecordSetting(Operation operation, UGCUpdateHandle update,
                            const std::string& argument,
                            const std::function<void(ItemUpdate*)>& apply) {
  const uint64_t number = CountCall(operation);
  auto found = state_.updates.find(update);
  const bool ok =
      state_.running && found != state_.updates.end() && !state_.scenario.Fails(operation, number);
  if (ok) {
    apply(&found->second);
  }
  journal_.Write(std::string(OperationName(operation)) + " update=" + Number(update) + " " +
                 argument + " -> " + Bool(ok));
  return ok;
}

bool Session::RecordText(Operation operation, const char* field, UGCUpdateHandle update,
                         const char* value,
                         const std::function<void(ItemUpdate*, std::string)>& store) {
  // A null string can't be recorded; the call is counted and answered false
  // like any other rejected call.
  if (value == nullptr) {
    CountCall(operation);
    journal_.Write(std::string(OperationName(operation)) + " update=" + Number(update) + " " +
                   field + "=null -> false");
    return false;
  }
  return RecordSetting(operation, update, std::string(field) + "=" + Quote(value),
                       [&](ItemUpdate* u) { store(u, value); });
}

SteamAPICall Session::Schedule(PendingCall call) {
  call.handle = state_.callHandles.Next();
  call.ordinal = ++state_.asyncCalls;
  call.madeInPump = state_.pump;
  const std::vector<std::optional<uint64_t>>& pumps = state_.scenario.pumps;
  const std::optional<uint64_t> delay =
      call.ordinal <= pumps.size() ? pumps[call.ordinal - 1] : std::optional<uint64_t>(1);
  if (delay && *delay <= std::numeric_limits<uint64_t>::max() - state_.pump) {
    call.duePump = state_.pump + *delay;
  }
  call.strayPending = state_.scenario.strays.count(call.ordinal) != 0;
  const SteamAPICall handle = call.handle;
  state_.pending.push_back(std::move(call));
  return handle;
}

Session::PendingCall* Session::FindPending(uint64_t ordinal) {
  for (PendingCall& call : state_.pending) {
    if (call.ordinal == ordinal) {
      return &call;
    }
  }
  return nullptr;
}

Session::Outcome Session::Complete(const PendingCall& call) {
  const Scenario& scenario = state_.scenario;
  Outcome outcome;
  if (scenario.ioFailures.count(call.ordinal) != 0) {
    // The record of a failed transfer carries nothing; nothing is applied.
    outcome.ioFailure = true;
    return outcome;
  }
  outcome.legal = scenario.legal.count(call.ordinal) != 0;
  const auto forced = scenario.results.find(call.ordinal);
  if (call.kind == CallKind::kCreateItem) {
    outcome.item = call.itemId ? *call.itemId : state_.workshop.NextFreeId();
    outcome.result = forced != scenario.results.end()
                         ? forced->second
                         : state_.workshop.CreateItem(outcome.item, call.app, call.fileType);
  } else {
    outcome.item = call.update.item;
    outcome.result = forced != scenario.results.end()
                         ? forced->second
                         : state_.workshop.SubmitUpdate(call.update, state_.appId);
  }
  return outcome;
}

void Session::Deliver(const PendingCall& call) {
  void* const binding = state_.registrations[call.handle];
  const Outcome outcome = Complete(call);
  journal_.Write("Deliver call=" + Number(call.handle) +
                 " slot=" + Number(int64_t{kRunWithCallSlot}) +
                 " result=" + Number(int64_t{outcome.result}) + " io=" + Bool(outcome.ioFailure) +
                 " legal=" + Bool(outcome.legal) + " item=" + Number(outcome.item));
  Send(binding, call.kind, outcome, call.handle);
  Drop(call.handle, binding);
}

void Session::SendStray(CallKind kind, SteamAPICall handle) {
  void* const binding = state_.registrations[handle];
  const SteamAPICall stray = handle ^ kStrayBit;
  journal_.Write("Stray call=" + Number(stray) + " slot=" + Number(int64_t{kRunWithCallSlot}));
  // Someone else's failed call: a binding that checks the handle ignores it.
  Outcome foreign;
  foreign.result = kResultFail;
  Send(binding, kind, foreign, stray);
}

void Session::Send(void* binding, CallKind kind, const Outcome& outcome, SteamAPICall handle) {
  if (kind == CallKind::kCreateItem) {
    SendRecord<CreateItemResult_t>(binding, outcome.result, outcome.item, outcome.legal,
                                   outcome.ioFailure, handle);
  } else {
    SendRecord<SubmitItemUpdateResult_t>(binding, outcome.result, outcome.item, outcome.legal,
                                         outcome.ioFailure, handle);
  }
}

void Session::Drop(SteamAPICall call, void* binding) {
  auto found = state_.registrations.find(call);
  if (found != state_.registrations.end() && found->second == binding) {
    state_.registrations.erase(found);
    // The binding may have been registered for a new call from inside its
    // Run; then it stays flagged.
    SetBindingRegistered(binding, IsRegistered(binding));
  }
}

bool Session::IsRegistered(const void* binding) const {
  for (const auto& entry : state_.registrations) {
    if (entry.second == binding) {
      return true;
    }
  }
  return false;
}

Session& TheSession() {
  static Session session;
  return session;
}

}  // namespace steam_sim
