// The exports of the simulated Steam client library, with the real
// library's names, C linkage and signatures. Callers find them by name at
// run time; this header only states their contracts.
#ifndef MODPUBLISH_STEAM_SIM_EXPORTS_H_
#define MODPUBLISH_STEAM_SIM_EXPORTS_H_

#include <cstdint>

#include "steam_sim/abi.h"

// Starts a new session. `versionList` holds interface version names, each
// ending in a NUL, closed by an empty name; it must name SteamUtils010 and
// STEAMUGC_INTERFACE_VERSION020. Returns 0 when the session runs, else a
// failure code (1 unless the scenario says otherwise) and, when `errMsg` is
// not null, a NUL-terminated message of at most 1024 bytes there.
STEAM_SIM_EXPORT int SteamInternal_SteamAPI_Init(const char* versionList, char* errMsg);

// `context` is void*[3]: an init function, a generation, a cached object.
// When the generation is not the library's (which starts at 0 and grows by
// one with each successful init), calls context[0](&context[2]) and stores
// the generation. Returns &context[2].
STEAM_SIM_EXPORT void* SteamInternal_ContextInit(void* context);

// The interface object for `version`: the utils object for any user, the
// UGC object only for the session's user. Null for an unknown version,
// before a successful init, or when the scenario withholds it.
STEAM_SIM_EXPORT void* SteamInternal_FindOrCreateUserInterface(int32_t user, const char* version);

// 1 while a session runs, else 0.
STEAM_SIM_EXPORT int32_t SteamAPI_GetHSteamUser();

// Registers `binding` (a CCallbackBase, see abi.h) for the result of
// `call`; it must stay alive until the result is delivered or it is
// unregistered. A call has one binding; a later registration replaces it.
STEAM_SIM_EXPORT void SteamAPI_RegisterCallResult(void* binding, uint64_t call);

// Drops the registration of `binding` for `call`; that call's result is
// then never delivered.
STEAM_SIM_EXPORT void SteamAPI_UnregisterCallResult(void* binding, uint64_t call);

// Delivers the results that are due to their registered bindings, each
// through the binding's three-argument Run, and drops those registrations.
STEAM_SIM_EXPORT void SteamAPI_RunCallbacks();

#endif  // MODPUBLISH_STEAM_SIM_EXPORTS_H_
