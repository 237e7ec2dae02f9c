// The functions the tool takes from the Steam client library by name. The
// tool's loader (workshop/) resolves every one and refuses a library that
// lacks one; the checker (check/) looks for every one in the library file
// without loading it. Both read this one list, so they can't disagree.
#ifndef MODPUBLISH_PLATFORM_CLIENT_LIBRARY_EXPORTS_H_
#define MODPUBLISH_PLATFORM_CLIENT_LIBRARY_EXPORTS_H_

#include <cstddef>

namespace platform {

// The place of each export in kClientLibraryExports.
enum ClientLibraryExport : size_t {
  kSteamApiInitExport,
  kContextInitExport,
  kFindOrCreateUserInterfaceExport,
  kGetHSteamUserExport,
  kRegisterCallResultExport,
  kUnregisterCallResultExport,
  kRunCallbacksExport,
  kClientLibraryExportCount,
};

// Their names, as the library exports them (C linkage, undecorated).
constexpr const char* kClientLibraryExports[kClientLibraryExportCount] = {
    "SteamInternal_SteamAPI_Init",
    "SteamInternal_ContextInit",
    "SteamInternal_FindOrCreateUserInterface",
    "SteamAPI_GetHSteamUser",
    "SteamAPI_RegisterCallResult",
    "SteamAPI_UnregisterCallResult",
    "SteamAPI_RunCallbacks",
};

}  // namespace platform

#endif  // MODPUBLISH_PLATFORM_CLIENT_LIBRARY_EXPORTS_H_
