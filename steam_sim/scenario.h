// The scenario: the switches a test or a developer sets to make the
// simulated library and its Workshop behave in a chosen way (fail a call,
// delay or withhold a result, force a result code, hand out chosen ids).
//
// Text form, one directive per line; blank lines and lines whose first
// non-blank byte is '#' are ignored; tokens are separated by spaces and
// tabs; a CR before the LF is ignored; numbers are unsigned 64-bit, decimal
// or 0x-hex. Lists given twice are concatenated; a single value given
// twice keeps the last one.
//   init <code>                 SteamAPI_Init answers <code> (0: no effect)
//   app_id <n>                  the app id (32-bit), 0 included
//   null_interface <version>    that interface is never handed out
//   item_ids <n>...             ids of the items created, in call order
//   call_handles <n>...         handles of asynchronous calls, in call order
//   update_handles <n>...       handles of StartItemUpdate, in call order
//   pumps <n|never>...          per asynchronous call, its delivery pump
//   fail <Operation> [<k>]      the k-th call of it fails (every call: no k)
//   result <k> <code>           asynchronous call k answers <code>
//   legal <k>                   call k's record asks for the legal agreement
//   io_failure <k>              call k is delivered as an I/O failure
//   stray <k>                   call k's binding first gets a foreign result
// Ordinals k and pump counts start at 1.
#ifndef MODPUBLISH_STEAM_SIM_SCENARIO_H_
#define MODPUBLISH_STEAM_SIM_SCENARIO_H_

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace steam_sim {

// The operations a `fail` directive can name, with the names it uses.
enum class Operation {
  kSteamAPIInit,
  kGetAppID,
  kCreateItem,
  kStartItemUpdate,
  kSetItemTitle,
  kSetItemDescription,
  kSetItemUpdateLanguage,
  kSetItemVisibility,
  kSetItemContent,
  kSetItemPreview,
  kSubmitItemUpdate,
};

// The directive name of `operation`, e.g. "SetItemTitle".
const char* OperationName(Operation operation);

struct Scenario {
  // Non-zero: what SteamAPI_Init answers.
  uint32_t initResult = 0;
  std::optional<uint32_t> appId;
  std::set<std::string> nullInterfaces;
  std::vector<uint64_t> itemIds;
  std::vector<uint64_t> callHandles;
  std::vector<uint64_t> updateHandles;
  // Per asynchronous call, in call order: the pump (counted from the call)
  // that delivers it; nullopt for `never`. Calls beyond the list: 1.
  std::vector<std::optional<uint64_t>> pumps;
  // Operations that fail on every call, and (operation, k) pairs that fail
  // on their k-th call.
  std::set<Operation> failAlways;
  std::set<std::pair<Operation, uint64_t>> failOnCall;
  // Asynchronous call ordinal -> forced result code.
  std::map<uint64_t, int32_t> results;
  std::set<uint64_t> legal;
  std::set<uint64_t> ioFailures;
  std::set<uint64_t> strays;

  // True when the `call`-th call (from 1) of `operation` must fail.
  bool Fails(Operation operation, uint64_t call) const;
};

// Parses scenario text. On success returns true and fills `scenario`. On
// the first bad line returns false and sets `error` to
// "<fileName>:<line>: <what is wrong>".
bool ParseScenario(std::string_view text, const std::string& fileName, Scenario* scenario,
                   std::string* error);

// Reads and parses the scenario file at `path`. Returns false with `error`
// set (naming the file, and the line when the text is at fault) when the
// file can't be read or doesn't parse.
bool LoadScenario(const std::filesystem::path& path, Scenario* scenario, std::string* error);

}  // namespace steam_sim

#endif  // MODPUBLISH_STEAM_SIM_SCENARIO_H_
