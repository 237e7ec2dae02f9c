#include "steam_sim/exports.h"

#include "steam_sim/interfaces.h"
#include "steam_sim/session.h"

using steam_sim::TheSession;

STEAM_SIM_EXPORT int SteamInternal_SteamAPI_Init(const char* versionList, char* errMsg) {
  return TheSession().Init(versionList, errMsg);
}

STEAM_SIM_EXPORT void* SteamInternal_ContextInit(void* context) {
  return TheSession().ContextInit(context);
}

STEAM_SIM_EXPORT void* SteamInternal_FindOrCreateUserInterface(int32_t user, const char* version) {
  return steam_sim::InterfaceObjectFor(TheSession().FindInterface(user, version));
}

STEAM_SIM_EXPORT int32_t SteamAPI_GetHSteamUser() { return TheSession().GetHSteamUser(); }

STEAM_SIM_EXPORT void SteamAPI_RegisterCallResult(void* binding, uint64_t call) {
  TheSession().RegisterCallResult(binding, call);
}

STEAM_SIM_EXPORT void SteamAPI_UnregisterCallResult(void* binding, uint64_t call) {
  TheSession().UnregisterCallResult(binding, call);
}

STEAM_SIM_EXPORT void SteamAPI_RunCallbacks() { TheSession().RunCallbacks(); }
