#include "steam_sim/registrations.h"

#include "steam_sim/binding.h"

namespace steam_sim {

void Registrations::Add(SteamAPICall call, void* binding) {
  void*& registered = bindings_[call];
  void* const previous = registered;
  registered = binding;
  if (previous != nullptr && previous != binding) {
    SetBindingRegistered(previous, HasAny(previous));
  }
  SetBindingRegistered(binding, true);
}

bool Registrations::Remove(SteamAPICall call, void* binding) {
  auto found = bindings_.find(call);
  if (found == bindings_.end() || found->second != binding) {
    return false;
  }
  bindings_.erase(found);
  // The binding may wait for another call, for instance one it made and
  // registered from inside its Run; then it stays flagged.
  SetBindingRegistered(binding, HasAny(binding));
  return true;
}

void* Registrations::Find(SteamAPICall call) const {
  auto found = bindings_.find(call);
  return found == bindings_.end() ? nullptr : found->second;
}

bool Registrations::HasAny(const void* binding) const {
  for (const auto& entry : bindings_) {
    if (entry.second == binding) {
      return true;
    }
  }
  return false;
}

}  // namespace steam_sim
