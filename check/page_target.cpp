#include "check/page_target.h"

#include "console/console.h"
#include "platform/platform.h"

namespace {

// Enough for any folder tree a mod lies in; a deeper one is not searched to
// its root.
constexpr int kMaxLevels = 256;

bool Identify(const std::string& path, platform::PathKind kind, platform::FileIdentity& identity) {
  uint64_t size = 0;
  return platform::StatPath(path, size, &identity) == kind;
}

// The folder `path` names its file in: the text before its last separator,
// or "." when it has none.
std::string FolderOf(const std::string& path) {
  size_t end = path.find_last_of(std::string("/") + platform::kPathSeparator);
  if (end == std::string::npos) {
    return ".";
  }
  return end == 0 ? path.substr(0, 1) : path.substr(0, end);
}

}  // namespace

std::string PageTargetProblem(const std::string& page, const std::string& folder,
                              const std::vector<std::string>& modFiles) {
  const std::string shown = "--page \"" + Printable(page) + "\"";
  const std::string instead = ". Give --page a file outside the mod folder, such as one beside it";
  platform::FileIdentity target;
  const std::string* overwritten = nullptr;
  if (Identify(page, platform::PathKind::kFile, target)) {
    for (const std::string& file : modFiles) {
      platform::FileIdentity identity;
      if (Identify(file, platform::PathKind::kFile, identity) && identity == target) {
        overwritten = &file;
        break;
      }
    }
  }
  if (overwritten != nullptr) {
    return shown + " names the mod's file \"" + Printable(*overwritten) +
           "\", which the page would overwrite" + instead;
  }
  platform::FileIdentity mod;
  if (!Identify(folder, platform::PathKind::kFolder, mod)) {
    return std::string();
  }
  // Up the folders that hold the page, by what they are: "..", links and
  // other spellings of the mod folder's path are all seen through.
  std::string up = FolderOf(page);
  platform::FileIdentity previous;
  bool inside = false;
  for (int level = 0; level < kMaxLevels && !inside; ++level) {
    platform::FileIdentity identity;
    if (!Identify(up, platform::PathKind::kFolder, identity) ||
        (level > 0 && identity == previous)) {
      break;  // no such folder, or the root, which is its own parent
    }
    inside = identity == mod;
    previous = identity;
    up += platform::kPathSeparator;
    up += "..";
  }
  if (!inside) {
    return std::string();
  }
  return shown + " lies inside the mod folder, which modpublish uploads whole, so the page " +
         "would go up with the mod" + instead;
}
