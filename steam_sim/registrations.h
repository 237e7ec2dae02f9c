// Which of the caller's bindings waits for which asynchronous call, as
// SteamAPI_RegisterCallResult and SteamAPI_UnregisterCallResult set it up.
#ifndef MODPUBLISH_STEAM_SIM_REGISTRATIONS_H_
#define MODPUBLISH_STEAM_SIM_REGISTRATIONS_H_

#include <map>

#include "steam_sim/abi.h"

namespace steam_sim {

// A call has at most one binding; a binding may wait for several calls.
// Bit 0x01 of a binding's flags is set while it has any registration and
// cleared when its last one goes. The bindings belong to the caller and must
// stay alive while registered.
class Registrations {
 public:
  // Registers `binding` (not null) for `call`, replacing the call's
  // previous binding.
  void Add(SteamAPICall call, void* binding);

  // Removes the registration of `call` when it belongs to `binding`.
  // Returns whether it did.
  bool Remove(SteamAPICall call, void* binding);

  // The binding registered for `call`, or null.
  void* Find(SteamAPICall call) const;

 private:
  bool HasAny(const void* binding) const;

  std::map<SteamAPICall, void*> bindings_;
};

}  // namespace steam_sim

#endif  // MODPUBLISH_STEAM_SIM_REGISTRATIONS_H_
