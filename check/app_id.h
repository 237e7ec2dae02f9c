// modpublish-check's look at the app id that tells the Steam client library
// which game it runs for: steam_appid.txt in the current folder, or the
// environment variable SteamAppId. The rule is the one the simulated library
// applies (steam_sim/README.md, "Initialisation"); the two share it in
// behaviour, not in code, and no stricter reading of the real library is
// known:
//   - when there is anything named steam_appid.txt in the current folder
//     (links followed), it must be a readable regular file of at most
//     kAppIdFileLimit bytes holding an app id as ParseAppId reads it;
//   - when SteamAppId is set and not empty, it must hold one too;
//   - at least one of them must be there.
// The file's id counts when both are.
#ifndef MODPUBLISH_CHECK_APP_ID_H_
#define MODPUBLISH_CHECK_APP_ID_H_

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "check/finding.h"

constexpr size_t kAppIdFileLimit = 1024;

// The app id in `text`: a decimal number from 1 to 4294967295 with nothing
// around it but blanks (spaces, tabs) and line ends (CR, LF). Returns 0 when
// `text` holds anything else: nothing, 0, a bigger number, a sign, a
// byte-order mark, words.
uint32_t ParseAppId(std::string_view text);

// The findings about the app id, each a kAppId (without an app id the
// first step of modpublish fails): those about steam_appid.txt in the
// current folder, and those about SteamAppId, whose value is
// `steamAppId` (null when it is not set).
struct AppIdCheck {
  std::vector<Diagnostic> file;
  std::vector<Diagnostic> variable;
};
AppIdCheck CheckAppId(const char* steamAppId);

#endif  // MODPUBLISH_CHECK_APP_ID_H_
