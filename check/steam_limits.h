// Steam's limits on what an item update carries, in one place: the checker's
// findings, its page and its preview check judge by them, and modpublish
// stops a run that would break one before it touches Steam.
#ifndef MODPUBLISH_CHECK_STEAM_LIMITS_H_
#define MODPUBLISH_CHECK_STEAM_LIMITS_H_

#include <cstdint>
#include <string>
#include <vector>

#include "description/description.h"

// One of Steam's limits on the bytes of what an item update carries, with
// the one test of it and the words every message gives it.
struct SteamLimit {
  const char* things;  // what it limits, plural: "titles"
  // The size the messages name: the most Steam takes, or with `orMore` the
  // least it refuses.
  uint64_t bytes;
  bool orMore;

  // Whether Steam refuses `size` bytes, counted as Steam gets them (up to
  // a NUL byte).
  constexpr bool Refuses(uint64_t size) const { return orMore ? size >= bytes : size > bytes; }
  // The size in words: "128 bytes", "1 MB (1048576 bytes)" for whole MiB.
  std::string Size() const;
  // "Steam refuses titles over 128 bytes", "Steam refuses previews of 1 MB
  // (1048576 bytes) or more".
  std::string Refusal() const;
};

constexpr SteamLimit kTitleLimit{"titles", 128, false};
constexpr SteamLimit kDescriptionLimit{"descriptions", 8000, false};
constexpr SteamLimit kChangeNoteLimit{"change notes", 8000, false};
// Previews must stay under 1 MiB.
constexpr SteamLimit kPreviewLimit{"previews", 1048576, true};

// What a run of modpublish would send that Steam refuses for sure, told
// before anything is sent, so that no item is left half updated: the
// preview at `previewPath` missing, no regular file, or of a size that
// kPreviewLimit refuses; in a section that is uploaded, a title or a
// description (its file's text included) that kTitleLimit or
// kDescriptionLimit refuses as Steam would get it; the change note
// `changeNote` (null: none given) that kChangeNoteLimit refuses. One line each, without its line
// end, naming the file or section and the limit and pointing to modpublish-check; none when there
// is nothing of the kind. `previewPath` is shown as given.
std::vector<std::string> SureFailures(const ModDescription& description,
                                      const std::string& previewPath, const char* changeNote);

#endif  // MODPUBLISH_CHECK_STEAM_LIMITS_H_
