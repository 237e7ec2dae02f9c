// modpublish-check's walk through the mod folder, which modpublish hands to
// Steam as the item's content: what the upload would copy, and what it
// could not.
#ifndef MODPUBLISH_CHECK_CONTENT_H_
#define MODPUBLISH_CHECK_CONTENT_H_

#include <cstdint>
#include <string>
#include <vector>

#include "check/mod_check.h"

struct ContentCheck {
  // The regular files the upload copies and their bytes, each counted at
  // every path that leads to it, as a copy would (a folder linked twice
  // counts twice). Both stop at the largest count instead of wrapping.
  uint64_t files = 0;
  uint64_t bytes = 0;
  // One error per kind of entry the upload can't copy, naming the first few
  // such entries (by their paths inside `folder`, control bytes shown as
  // \xNN) and how many there are: pipes, sockets and devices; links that
  // lead nowhere; links that lead in a circle; links back to a folder that
  // holds them; folders and entries that can't be read.
  std::vector<Diagnostic> diagnostics;
};

// Walks `folder` and everything below it, following links as the upload
// does, in name order. Each folder is listed at most once, however many
// links lead to it, and a link back into a folder being walked is reported,
// not followed; the walk keeps its own list, so no depth of folders is too
// deep. `folder` must be a folder.
ContentCheck CheckContent(const std::string& folder);

#endif  // MODPUBLISH_CHECK_CONTENT_H_
