// The caller's call-result binding (its CCallbackBase). It is the caller's
// object, compiled by the caller's compiler, so the library touches it only
// at the offsets and table slots the real library uses (see abi.h).
#ifndef MODPUBLISH_STEAM_SIM_BINDING_H_
#define MODPUBLISH_STEAM_SIM_BINDING_H_

#include <cstdint>

#include "steam_sim/abi.h"

namespace steam_sim {

// The callback id the binding expects (3403, 3404, ...).
int32_t BindingCallbackId(const void* binding);

// Asks the binding, through its table, how big a record it expects.
int BindingCallbackSizeBytes(void* binding);

// Sets or clears the binding's "registered" flag bit; other bits stay.
void SetBindingRegistered(void* binding, bool registered);

// Hands `record` to the binding's three-argument Run. `record` need only
// live for the duration of the call.
void RunBinding(void* binding, void* record, bool ioFailure, SteamAPICall call);

}  // namespace steam_sim

#endif  // MODPUBLISH_STEAM_SIM_BINDING_H_
