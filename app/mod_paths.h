// Where a run finds the mod's files, and what it hands to Steam.
#ifndef MODPUBLISH_APP_MOD_PATHS_H_
#define MODPUBLISH_APP_MOD_PATHS_H_

#include <string>

// The path of the file `name` in the mod folder `folder`: the folder as
// typed (no separator is added or removed), the platform's separator, the
// name. modpublish and modpublish-check both compose their paths so.
std::string ModFilePath(const char* folder, const char* name);

// The paths of one publish run.
struct ModPaths {
  // ModFilePath(folder as typed, "descript.ion"): what is read, and what
  // "File not found: %s" shows.
  std::string descriptionPath;
  // The folder made absolute (platform::MakeAbsolutePath): the Steam client
  // uploads from its own folder, where a relative path names nothing.
  std::string contentFolder;
  // ModFilePath(contentFolder, "steam_logo.png").
  std::string previewPath;
};

// Composes the paths for the path argument `folder` (not null), resolving
// a relative one against the current folder once. The empty argument ""
// names the root, as its description path "/descript.ion" (Windows:
// "\descript.ion") does: the content folder is then the root too ("/", or
// the current drive's on Windows), so what is read and what is uploaded are
// always one folder. Returns false when the folder can't be made absolute
// (the current folder can't be determined); `paths` is then unspecified.
bool ResolveModPaths(const char* folder, ModPaths& paths);

#endif  // MODPUBLISH_APP_MOD_PATHS_H_
