#include <cstring>

#include "steam_sim/binding.h"
#include "steam_sim/session.h"

namespace steam_sim {

namespace {

// A stray completion carries this handle bit flipped, so it can never match
// a call the caller made.
constexpr SteamAPICall kStrayBit = 0x8000000000000000ULL;

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

}  // namespace

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
  void* const binding = state_.registrations.Find(call.handle);
  const Outcome outcome = Complete(call);
  journal_.Write([&] {
    return "Deliver call=" + Number(call.handle) + " slot=" + Number(int64_t{kRunWithCallSlot}) +
           " result=" + Number(int64_t{outcome.result}) + " io=" + Bool(outcome.ioFailure) +
           " legal=" + Bool(outcome.legal) + " item=" + Number(outcome.item);
  });
  Send(binding, call.kind, outcome, call.handle);
  state_.registrations.Remove(call.handle, binding);
}

void Session::SendStray(CallKind kind, SteamAPICall handle) {
  void* const binding = state_.registrations.Find(handle);
  const SteamAPICall stray = handle ^ kStrayBit;
  journal_.Write(
      [&] { return "Stray call=" + Number(stray) + " slot=" + Number(int64_t{kRunWithCallSlot}); });
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

}  // namespace steam_sim
