#include "check/content.h"

#include <algorithm>
#include <limits>
#include <map>
#include <set>
#include <string_view>
#include <utility>

#include "console/console.h"
#include "platform/platform.h"

namespace {

// How many entries of one kind a finding names.
constexpr size_t kNamedEntries = 3;

struct Totals {
  uint64_t files = 0;
  uint64_t bytes = 0;

  void Add(uint64_t moreFiles, uint64_t moreBytes) {
    constexpr uint64_t kMost = std::numeric_limits<uint64_t>::max();
    files = files > kMost - moreFiles ? kMost : files + moreFiles;
    bytes = bytes > kMost - moreBytes ? kMost : bytes + moreBytes;
  }
};

// The kinds of entry the upload can't copy, in the order of the findings.
enum Trouble : size_t { kSpecial, kDangling, kCircle, kFolderLoop, kUnreadable, kTroubleCount };

// One finding per kind: what the entries are, and what to do about them.
struct TroubleText {
  const char* one;
  const char* many;
  const char* fixOne;
  const char* fixMany;
};
constexpr TroubleText kTroubleTexts[kTroubleCount] = {
    {"entry that is no file or folder but a pipe, socket or device",
     "entries that are no files or folders but pipes, sockets or devices",
     "Remove it from the mod folder", "Remove them from the mod folder"},
    {"link that leads to nothing (its target is missing)",
     "links that lead to nothing (their targets are missing)",
     "Remove it, or put what it points to in its place",
     "Remove them, or put what they point to in their place"},
    {"link that leads in a circle through other links",
     "links that lead in a circle through other links", "Remove it", "Remove them"},
    {"link back to a folder that holds it, which a copy would follow forever",
     "links back to a folder that holds them, which a copy would follow forever", "Remove it",
     "Remove them"},
    {"entry that can't be read", "entries that can't be read",
     "Give your user permission to read it, or remove it",
     "Give your user permission to read them, or remove them"},
};

struct Troubles {
  uint64_t count[kTroubleCount] = {};
  std::vector<std::string> named[kTroubleCount];

  void Note(Trouble trouble, const std::string& path) {
    ++count[trouble];
    if (named[trouble].size() < kNamedEntries) {
      named[trouble].push_back(path);
    }
  }
};

// A folder being walked: its entries in name order and the totals so far.
struct Frame {
  std::string path;      // as composed from the mod folder, for listing
  std::string relative;  // inside the mod folder, for messages; "" for itself
  platform::FileIdentity identity;
  std::vector<platform::FolderEntry> entries;
  size_t next = 0;
  Totals totals;
};

bool List(const std::string& path, std::vector<platform::FolderEntry>& entries) {
  if (!platform::ListFolder(path, entries)) {
    return false;
  }
  std::sort(entries.begin(), entries.end(),
            [](const platform::FolderEntry& a, const platform::FolderEntry& b) {
              return a.name < b.name;
            });
  return true;
}

std::string Joined(const std::string& folder, const std::string& name) {
  return folder.empty() || folder.back() == platform::kPathSeparator
             ? folder + name
             : folder + platform::kPathSeparator + name;
}

}  // namespace

ContentCheck CheckContent(const std::string& folder) {
  ContentCheck check;
  Troubles troubles;
  // Folders walked to the end, with their totals, and those being walked.
  std::map<platform::FileIdentity, Totals> walked;
  std::set<platform::FileIdentity> open;
  std::vector<Frame> stack(1);
  uint64_t ignored = 0;
  stack[0].path = folder;
  platform::StatPath(folder, ignored, &stack[0].identity);
  if (!List(folder, stack[0].entries)) {
    check.diagnostics.push_back(
        Diagnostic{0, true,
                   "the mod folder can't be read, so the upload can't copy it and the publish "
                   "fails after the Workshop item was created. Give your user permission to read "
                   "it"});
    return check;
  }
  open.insert(stack[0].identity);
  while (!stack.empty()) {
    Frame& top = stack.back();
    if (top.next == top.entries.size()) {
      const Totals totals = top.totals;
      walked[top.identity] = totals;
      open.erase(top.identity);
      stack.pop_back();
      if (stack.empty()) {
        check.files = totals.files;
        check.bytes = totals.bytes;
      } else {
        stack.back().totals.Add(totals.files, totals.bytes);
      }
      continue;
    }
    const platform::FolderEntry& entry = top.entries[top.next++];
    std::string relative = Joined(top.relative, entry.name);
    switch (entry.kind) {
      case platform::PathKind::kFile:
        top.totals.Add(1, entry.size);
        break;
      case platform::PathKind::kOther:
        troubles.Note(kSpecial, relative);
        break;
      case platform::PathKind::kMissing:
        troubles.Note(entry.linkLoops ? kCircle : entry.isLink ? kDangling : kUnreadable, relative);
        break;
      case platform::PathKind::kFolder: {
        if (open.count(entry.identity) != 0) {
          troubles.Note(kFolderLoop, relative);
          break;
        }
        auto seen = walked.find(entry.identity);
        if (seen != walked.end()) {
          top.totals.Add(seen->second.files, seen->second.bytes);
          break;
        }
        Frame next;
        next.path = Joined(top.path, entry.name);
        next.identity = entry.identity;
        if (!List(next.path, next.entries)) {
          troubles.Note(kUnreadable, relative);
          break;
        }
        next.relative = std::move(relative);
        open.insert(next.identity);
        stack.push_back(std::move(next));  // `top` and `entry` are gone from here on
        break;
      }
    }
  }
  for (size_t trouble = 0; trouble < kTroubleCount; ++trouble) {
    const uint64_t count = troubles.count[trouble];
    if (count == 0) {
      continue;
    }
    const TroubleText& text = kTroubleTexts[trouble];
    std::string names;
    for (const std::string& name : troubles.named[trouble]) {
      names += (names.empty() ? "\"" : ", \"") + Excerpt(name, std::string::npos) + "\"";
    }
    if (count > troubles.named[trouble].size()) {
      names += " and " + std::to_string(count - troubles.named[trouble].size()) + " more";
    }
    check.diagnostics.push_back(
        Diagnostic{0, true,
                   "the mod folder holds " + std::to_string(count) + " " +
                       (count == 1 ? text.one : text.many) + ": " + names +
                       "; the upload can't copy " + (count == 1 ? "it" : "them") +
                       ", so the publish fails after the Workshop item was created. " +
                       (count == 1 ? text.fixOne : text.fixMany)});
  }
  return check;
}
