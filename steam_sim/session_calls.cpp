#include <chrono>
#include <limits>
#include <utility>

#include "steam_sim/binding.h"
#include "steam_sim/session.h"

namespace steam_sim {

void Session::RegisterCallResult(void* binding, SteamAPICall call) {
  int32_t id = 0;
  int size = 0;
  if (binding != nullptr) {
    id = BindingCallbackId(binding);
    size = BindingCallbackSizeBytes(binding);
  }
  journal_.Write([&] {
    return "RegisterCallResult call=" + Number(call) + " id=" + Number(int64_t{id}) +
           " size=" + Number(int64_t{size});
  });
  if (binding == nullptr || !state_.running) {
    return;
  }
  state_.registrations.Add(call, binding);
}

void Session::UnregisterCallResult(void* binding, SteamAPICall call) {
  journal_.Write([&] { return "UnregisterCallResult call=" + Number(call); });
  if (!state_.registrations.Remove(call, binding)) {
    return;
  }
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
  journal_.Write([] { return std::string("RunCallbacks"); });
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
  const Registrations& registrations = state_.registrations;
  // Strays come first: each reaches a registered call once, in the first
  // pump after the call was made.
  const auto sendStrays = [&](PendingCall* call) {
    if (call->strayPending && call->madeInPump < pump &&
        registrations.Find(call->handle) != nullptr) {
      call->strayPending = false;
      SendStray(call->kind, call->handle);
    }
  };
  // Then the results due by this pump, of registered calls whose upload is
  // over, in call order.
  const auto now = std::chrono::steady_clock::now();
  const auto deliverDue = [&](PendingCall* call) {
    if (call->duePump && *call->duePump <= pump && registrations.Find(call->handle) != nullptr &&
        BytesSent(*call, now) == call->contentBytes + call->previewBytes) {
      const PendingCall due = std::move(*call);
      state_.pending.erase(state_.pending.begin() + (call - state_.pending.data()));
      Deliver(due);
    }
  };
  if (VisitPending(ordinals, session, sendStrays) && VisitPending(ordinals, session, deliverDue)) {
    state_.pumping = false;
  }
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

uint64_t Session::BytesSent(const PendingCall& call,
                            std::chrono::steady_clock::time_point now) const {
  const uint64_t total = call.contentBytes + call.previewBytes;
  if (state_.uploadRate == 0) {
    return total;
  }
  const std::chrono::duration<double> elapsed = now - call.submittedAt;
  const double sent = elapsed.count() * static_cast<double>(state_.uploadRate);
  return sent >= static_cast<double>(total) ? total : static_cast<uint64_t>(sent);
}

bool Session::VisitPending(const std::vector<uint64_t>& ordinals, uint64_t session,
                           const std::function<void(PendingCall*)>& visit) {
  for (uint64_t ordinal : ordinals) {
    if (initCalls_ != session) {
      return false;
    }
    if (PendingCall* call = FindPending(ordinal)) {
      visit(call);
    }
  }
  return initCalls_ == session;
}

}  // namespace steam_sim
