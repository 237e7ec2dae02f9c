#include "check/content.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <map>
#include <set>
#include <string_view>
#include <utility>

#include "check/text.h"
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
enum Trouble : size_t { kSpecial, kDangling, kCircle, kFolderLoop, kTroubleCount };

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

// Why an entry can't be read, and what to do about it.
const char* Reason(platform::AccessProblem problem) {
  using platform::AccessProblem;
  switch (problem) {
    case AccessProblem::kDenied:
      return "your user has no permission to read it; the upload can't copy it, so the publish "
             "fails after the Workshop item was created. Give your user permission to read it, "
             "or remove it";
    case AccessProblem::kInUse:
      return "another program has it open and shares it with no one (a running game or "
             "editor?); the upload can't copy it, so the publish fails after the Workshop item "
             "was created. Close that program first";
    case AccessProblem::kPathTooLong:
      return "its path is longer than Windows takes (260 characters); the upload can't copy "
             "it, so the publish fails after the Workshop item was created. Move the mod "
             "folder to a shorter path, shorten the names inside it, or turn on Windows' "
             "long-path setting (LongPathsEnabled)";
    case AccessProblem::kTooDeep:
      return "its path is longer than the system takes, as its folders are nested too deep; "
             "the upload can't copy it, so the publish fails after the Workshop item was "
             "created. Put the mod's files in fewer levels of folders";
    case AccessProblem::kGone:
      return "it was removed while the check ran. Check again once nothing changes the mod "
             "folder";
    case AccessProblem::kNone:
    case AccessProblem::kOther:
      break;
  }
  return "the system won't read it (a disk error?); the upload can't copy it, so the publish "
         "fails after the Workshop item was created. Check the disk, or remove it";
}

// A file or folder that is uploaded but almost never meant to be.
struct Stowaway {
  const char* name;  // in lower case: names are matched in any letter case
  const char* what;  // what it is, for the message
  bool folder;
};
constexpr Stowaway kStowaways[] = {
    {".git", "a version-control folder (Git)", true},
    {".svn", "a version-control folder (Subversion)", true},
    {".hg", "a version-control folder (Mercurial)", true},
    {"thumbs.db", "Windows' cache of picture previews", false},
    {"desktop.ini", "Windows' file of how a folder looks", false},
    {".ds_store", "macOS's file of how the Finder shows a folder", false},
};

const Stowaway* StowawayNamed(const std::string& name, bool folder) {
  for (const Stowaway& stowaway : kStowaways) {
    if (stowaway.folder == folder && EqualIgnoringCase(name, stowaway.name)) {
      return &stowaway;
    }
  }
  return nullptr;
}

// Findings of one entry each: the first few in walk order, and a count of
// the rest.
struct EntryFindings {
  struct Shown {
    std::string path;
    const char* text = nullptr;  // the reason, or what a stowaway is
    bool folder = false;         // what is named; for a stowaway, whether totals follow
    Totals totals;
  };
  std::vector<Shown> shown;
  uint64_t hidden = 0;

  // The index of the new finding in `shown`, or SIZE_MAX when it is only
  // counted. `totals`: a stowaway's, when they are known already.
  size_t Add(const std::string& path, const char* text, bool folder, Totals totals = {}) {
    if (shown.size() == kShownPerKind) {
      ++hidden;
      return SIZE_MAX;
    }
    shown.push_back(Shown{path, text, folder, totals});
    return shown.size() - 1;
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
  size_t stowaway = SIZE_MAX;  // its warning, when it is one and shown
};

platform::AccessProblem List(const std::string& path, std::vector<platform::FolderEntry>& entries) {
  const platform::AccessProblem problem = platform::ListFolder(path, entries, true);
  if (problem == platform::AccessProblem::kNone) {
    std::sort(entries.begin(), entries.end(),
              [](const platform::FolderEntry& a, const platform::FolderEntry& b) {
                return a.name < b.name;
              });
  }
  return problem;
}

std::string Quoted(const std::string& path) {
  return "\"" + Excerpt(path, std::string::npos) + "\"";
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
  EntryFindings unreadable;
  EntryFindings stowaways;
  // Folders walked to the end, with their totals, and those being walked.
  std::map<platform::FileIdentity, Totals> walked;
  std::set<platform::FileIdentity> open;
  std::vector<Frame> stack(1);
  uint64_t ignored = 0;
  stack[0].path = folder;
  platform::StatPath(folder, ignored, &stack[0].identity);
  const platform::AccessProblem problem = List(folder, stack[0].entries);
  if (problem != platform::AccessProblem::kNone) {
    check.incomplete = true;
    check.diagnostics.push_back(
        Diagnostic{0, FindingKind::kUnreadable,
                   std::string("the mod folder can't be listed: ") + Reason(problem)});
    return check;
  }
  open.insert(stack[0].identity);
  while (!stack.empty()) {
    Frame& top = stack.back();
    if (top.next == top.entries.size()) {
      const Totals totals = top.totals;
      if (top.stowaway != SIZE_MAX) {
        stowaways.shown[top.stowaway].totals = totals;
      }
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
      case platform::PathKind::kFile: {
        top.totals.Add(1, entry.size);
        if (entry.problem != platform::AccessProblem::kNone) {
          unreadable.Add(relative, Reason(entry.problem), false);
        }
        if (const Stowaway* stowaway = StowawayNamed(entry.name, false)) {
          stowaways.Add(relative, stowaway->what, false, Totals{1, entry.size});
        }
        break;
      }
      case platform::PathKind::kOther:
        troubles.Note(kSpecial, relative);
        break;
      case platform::PathKind::kMissing:
        if (entry.linkLoops) {
          troubles.Note(kCircle, relative);
        } else if (entry.isLink && entry.problem == platform::AccessProblem::kGone) {
          troubles.Note(kDangling, relative);
        } else {
          check.incomplete = true;
          unreadable.Add(relative, Reason(entry.problem), false);
        }
        break;
      case platform::PathKind::kFolder: {
        if (open.count(entry.identity) != 0) {
          troubles.Note(kFolderLoop, relative);
          break;
        }
        const Stowaway* stowaway = StowawayNamed(entry.name, true);
        auto seen = walked.find(entry.identity);
        if (seen != walked.end()) {
          top.totals.Add(seen->second.files, seen->second.bytes);
          if (stowaway != nullptr) {
            stowaways.Add(relative, stowaway->what, true, seen->second);
          }
          break;
        }
        Frame next;
        next.path = Joined(top.path, entry.name);
        next.identity = entry.identity;
        const platform::AccessProblem listed = List(next.path, next.entries);
        if (listed != platform::AccessProblem::kNone) {
          check.incomplete = true;
          unreadable.Add(relative, Reason(listed), true);
          break;
        }
        if (stowaway != nullptr) {
          next.stowaway = stowaways.Add(relative, stowaway->what, true);
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
      names += (names.empty() ? "" : ", ") + Quoted(name);
    }
    if (count > troubles.named[trouble].size()) {
      names += " and " + std::to_string(count - troubles.named[trouble].size()) + " more";
    }
    check.diagnostics.push_back(
        Diagnostic{0, FindingKind::kUncopyable,
                   "the mod folder holds " + std::to_string(count) + " " +
                       (count == 1 ? text.one : text.many) + ": " + names +
                       "; the upload can't copy " + (count == 1 ? "it" : "them") +
                       ", so the publish fails after the Workshop item was created. " +
                       (count == 1 ? text.fixOne : text.fixMany)});
  }
  for (const EntryFindings::Shown& found : unreadable.shown) {
    check.diagnostics.push_back(
        Diagnostic{0, FindingKind::kUnreadable,
                   (found.folder ? "the folder " : "") + Quoted(found.path) +
                       (found.folder ? " can't be listed: " : " can't be read: ") + found.text});
  }
  if (unreadable.hidden != 0) {
    check.diagnostics.push_back(Diagnostic{0, FindingKind::kUnreadable,
                                           Count(unreadable.hidden, "more entry", "more entries") +
                                               " can't be read either; they are counted, not shown",
                                           unreadable.hidden});
  }
  for (const EntryFindings::Shown& found : stowaways.shown) {
    const std::string size =
        found.folder ? Count(found.totals.files, "file", "files") + ", " + Bytes(found.totals.bytes)
                     : Bytes(found.totals.bytes);
    check.diagnostics.push_back(Diagnostic{
        0, FindingKind::kStowaway,
        Quoted(found.path) + " (" + size + ") is " + found.text +
            ": the upload copies it into the Workshop item with the mod, though players never "
            "need it. " +
            (found.folder ? "Keep it out of the mod folder" : "Delete it")});
  }
  if (stowaways.hidden != 0) {
    check.diagnostics.push_back(
        Diagnostic{0, FindingKind::kStowaway,
                   Count(stowaways.hidden, "more entry", "more entries") +
                       " that players never need are uploaded too; they are counted, not shown",
                   stowaways.hidden});
  }
  return check;
}
