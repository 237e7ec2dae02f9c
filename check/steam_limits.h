// Steam's limits on what an item update carries, in one place: the checker's
// findings, its page and its preview check judge by them, and modpublish
// stops a run that would break one before it touches Steam.
#ifndef MODPUBLISH_CHECK_STEAM_LIMITS_H_
#define MODPUBLISH_CHECK_STEAM_LIMITS_H_

#include <cstdint>
#include <string>
#include <vector>

#include "description/description.h"

// The most bytes Steam takes of a title, a description and a change note,
// as it gets them (up to a NUL byte).
constexpr uint64_t kTitleLimit = 128;
constexpr uint64_t kDescriptionLimit = 8000;
constexpr uint64_t kChangeNoteLimit = 8000;
// The smallest preview Steam refuses: previews must stay under 1 MiB.
constexpr uint64_t kPreviewLimit = 1048576;

// What a run of modpublish would send that Steam refuses for sure, told
// before anything is sent, so that no item is left half updated: the
// preview at `previewPath` missing, no regular file, or kPreviewLimit bytes
// or more; in a section that is uploaded, a title over kTitleLimit or a
// description (its file's text included) over kDescriptionLimit bytes as
// Steam would get them; the change note `changeNote` (null: none given)
// over kChangeNoteLimit bytes. One line each, without its line end, naming
// the file or section and the limit and pointing to modpublish-check; none
// when there is nothing of the kind. `previewPath` is shown as given.
std::vector<std::string> SureFailures(const ModDescription& description,
                                      const std::string& previewPath, const char* changeNote);

#endif  // MODPUBLISH_CHECK_STEAM_LIMITS_H_
