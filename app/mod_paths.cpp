#include "app/mod_paths.h"

#include "platform/platform.h"

std::string ModFilePath(const char* folder, const char* name) {
  return std::string(folder) + platform::kPathSeparator + name;
}

bool ResolveModPaths(const char* folder, ModPaths& paths) {
  paths.descriptionPath = ModFilePath(folder, "descript.ion");
  // "" + separator + name is a file in the root, so "" stands for the root.
  const std::string typed = *folder == '\0' ? std::string(1, platform::kPathSeparator) : folder;
  if (!platform::MakeAbsolutePath(typed, paths.contentFolder)) {
    return false;
  }
  paths.previewPath = ModFilePath(paths.contentFolder.c_str(), "steam_logo.png");
  return true;
}
