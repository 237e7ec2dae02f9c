#include "steam_sim/session.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>

#include "steam_sim/sim_platform.h"
#include "steam_sim/text.h"

namespace steam_sim {

namespace {

constexpr size_t kErrMsgSize = 1024;

// The names in a version list: NUL-terminated, closed by an empty name.
std::vector<std::string> VersionNames(const char* list) {
  std::vector<std::string> names;
  for (const char* name = list; *name != '\0'; name += std::strlen(name) + 1) {
    names.emplace_back(name);
  }
  return names;
}

// The bytes of a whole version list: each name with its NUL, then the NUL
// of the empty name that ends the list.
std::string VersionListBytes(const std::vector<std::string>& names) {
  std::string bytes;
  for (const std::string& name : names) {
    bytes += name;
    bytes += '\0';
  }
  bytes += '\0';
  return bytes;
}

// The most steam_appid.txt may hold: the number and some blanks.
constexpr size_t kAppIdFileLimit = 1024;

// Reads an app id from steam_appid.txt or SteamAppId: a decimal number from
// 1 to 2^32-1, blanks (spaces, tabs) and line ends (CR, LF) around it
// allowed (editors add them). Anything else (a byte-order mark, words, a
// sign, 0) is no app id.
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

// The app id of the session. Stricter than a plain "first that works": a
// steam_appid.txt that is there must hold an app id, and so must a
// SteamAppId that is set and not empty, or there is none, whatever the
// other holds (modpublish-check reports each as an error). The file's id
// counts when both are there.
std::optional<AppId> FindAppId(const Scenario& scenario, std::string* error) {
  if (scenario.appId) {
    return scenario.appId;
  }
  std::optional<AppId> appId;
  std::error_code ignored;
  const std::filesystem::file_status file = std::filesystem::status("steam_appid.txt", ignored);
  if (std::filesystem::exists(file)) {
    std::string text;
    if (std::filesystem::is_regular_file(file)) {
      std::ifstream stream("steam_appid.txt", std::ios::binary);
      text.resize(kAppIdFileLimit + 1);
      stream.read(text.data(), static_cast<std::streamsize>(text.size()));
      text.resize(static_cast<size_t>(stream.gcount()));
      appId = text.size() <= kAppIdFileLimit && !stream.bad() ? ParseAppId(text) : std::nullopt;
    }
    if (!appId) {
      *error =
          "no app id: steam_appid.txt in the current folder holds none (just a number from 1 "
          "to 4294967295, blanks around it, at most 1024 bytes)";
      return std::nullopt;
    }
  }
  if (std::optional<std::string> variable = EnvironmentString("SteamAppId");
      variable && !variable->empty()) {
    const std::optional<AppId> fromVariable = ParseAppId(*variable);
    if (!fromVariable) {
      *error = "no app id: the environment variable SteamAppId holds none";
      return std::nullopt;
    }
    appId = appId.value_or(*fromVariable);
  }
  if (!appId) {
    *error =
        "no app id: put it in steam_appid.txt in the current folder, in the environment "
        "variable SteamAppId, or in the scenario's app_id";
  }
  return appId;
}

// Tells the developer why initialisation failed, since a bad scenario or
// journal path is a mistake in the test set-up, not in the program tested.
void Complain(const std::string& message) {
  std::fputs(("steam_sim: " + message + "\n").c_str(), stderr);
  std::fflush(stderr);
}

}  // namespace

int Session::Init(const char* versionList, char* errMsg) {
  state_ = State();
  const std::vector<std::string> names =
      versionList == nullptr ? std::vector<std::string>() : VersionNames(versionList);
  std::string error;
  const int result = Start(names, ++initCalls_, &error);
  journal_.Write([&] {
    return "SteamAPI_Init versions=" +
           (versionList == nullptr ? std::string("null") : Quote(VersionListBytes(names))) +
           " -> " + Number(int64_t{result});
  });
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
  if (std::optional<std::string> rate = EnvironmentString("STEAMSIM_UPLOAD_RATE");
      rate && !rate->empty() &&
      (!ParseUnsigned(*rate, &state_.uploadRate) || state_.uploadRate == 0)) {
    *error =
        "STEAMSIM_UPLOAD_RATE " + Quote(*rate) + " is not a number of bytes per second above 0";
    Complain(*error);
    return kInitFailed;
  }
  const Scenario& scenario = state_.scenario;
  state_.workshop = Workshop(
      EnvironmentPath("STEAMSIM_WORKSHOP").value_or(OwnLibraryFolder() / "workshop"), &journal_);
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
  std::optional<AppId> appId = FindAppId(scenario, error);
  if (!appId) {
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
  journal_.Write([&] { return "GetHSteamUser -> " + Number(int64_t{user}); });
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
  journal_.Write([&] {
    return "FindOrCreateUserInterface user=" + Number(int64_t{user}) +
           " version=" + QuoteOrNull(version) + " -> " +
           (kind == InterfaceKind::kNone ? "null" : "object");
  });
  return kind;
}

AppId Session::GetAppID() {
  const uint64_t call = CountCall(Operation::kGetAppID);
  const AppId appId = state_.scenario.Fails(Operation::kGetAppID, call) ? 0 : state_.appId;
  journal_.Write([&] { return "GetAppID -> " + Number(uint64_t{appId}); });
  return appId;
}

void Session::Unexpected(const char* interfaceName, int slot) {
  journal_.Write([&] {
    return std::string("Unexpected ") + interfaceName + " slot " + Number(int64_t{slot});
  });
}

uint64_t Session::CountCall(Operation operation) { return ++state_.calls[operation]; }

Session& TheSession() {
  static Session session;
  return session;
}

}  // namespace steam_sim
