// The interface objects the library hands out: ISteamUtils ("SteamUtils010")
// and ISteamUGC ("STEAMUGC_INTERFACE_VERSION020"). Each is a table pointer
// to plain functions that forward to the session; slots the simulator
// doesn't implement journal "Unexpected <interface> slot <n>" and return 0.
#ifndef MODPUBLISH_STEAM_SIM_INTERFACES_H_
#define MODPUBLISH_STEAM_SIM_INTERFACES_H_

#include "steam_sim/session.h"

namespace steam_sim {

// The object for `kind`, or null for InterfaceKind::kNone. The objects live
// as long as the library is loaded.
void* InterfaceObjectFor(InterfaceKind kind);

}  // namespace steam_sim

#endif  // MODPUBLISH_STEAM_SIM_INTERFACES_H_
