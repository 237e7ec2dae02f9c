// modpublish-check's walk through the mod folder, which modpublish hands to
// Steam as the item's content: what the upload would copy, and what it
// could not.
#ifndef MODPUBLISH_CHECK_CONTENT_H_
#define MODPUBLISH_CHECK_CONTENT_H_

#include <cstdint>
#include <string>
#include <vector>

#include "check/finding.h"

struct ContentCheck {
  // The regular files the upload copies and their bytes, each counted at
  // every path that leads to it, as a copy would (a folder linked twice
  // counts twice). Both stop at the largest count instead of wrapping.
  uint64_t files = 0;
  uint64_t bytes = 0;
  // A folder (the mod folder too) or an entry could not be listed or looked
  // at, so the counts leave out whatever it holds.
  bool incomplete = false;
  // Paths below are inside `folder`, control bytes shown as \xNN. First one
  // kUncopyable per kind of entry the upload can't copy, naming the first few
  // such entries and how many there are: pipes, sockets and devices; links
  // that lead nowhere; links that lead in a circle; links back to a folder
  // that holds them. Then one kUnreadable per file that can't be opened for
  // reading and per folder or entry that can't be listed or looked at,
  // with the reason (no permission, in use by another program, a path too
  // long or too deep, gone). Then one kStowaway per entry uploaded that is
  // almost never meant to be, with its size: a version-control folder
  // (.git, .svn, .hg) or a file the system makes for itself (Thumbs.db,
  // desktop.ini, .DS_Store). Of the kUnreadable and the kStowaway, the
  // first kShownPerKind each in walk order, then one note
  // that counts the rest.
  std::vector<Diagnostic> diagnostics;
};

// Walks `folder` and everything below it, following links as the upload
// does, in name order, and opens every regular file for reading once, as
// the upload would (closing it at once). Each folder is listed at most
// once, however many links lead to it, and a link back into a folder being
// walked is reported, not followed; the walk keeps its own list, so no
// depth of folders is too deep for it (the system's limit on a path's
// length is reported as such). `folder` must be a folder.
ContentCheck CheckContent(const std::string& folder);

#endif  // MODPUBLISH_CHECK_CONTENT_H_
