// The page that `modpublish-check --page FILE` writes: one self-contained
// HTML file showing the Workshop item as a publish would leave it, laid out
// as a Workshop item page (the title, the preview large, the description
// below it, the item's facts beside it), with a switch between the
// languages in upload order that works without scripts, before anything is
// uploaded.
//
// The page is built from a plain model, filled by the caller from what it
// knows about the upload, so it needs nothing of the description record.
// It is safe to open whatever the mod holds: every byte from the mod is
// escaped, no script can run (its Content-Security-Policy forbids them and
// it has none), and it loads nothing: the preview is embedded, and pictures
// of the description show as placeholders with their addresses. Only with
// PageModel::loadPictures does it load the description's https: pictures,
// and then nothing else.
#ifndef MODPUBLISH_CHECK_PAGE_H_
#define MODPUBLISH_CHECK_PAGE_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "check/html_output.h"
#include "check/preview.h"

// A section the upload sends, as it sends it. The views must stay valid
// while the page is written.
struct PageSection {
  std::string_view name;         // as written in descript.ion: "pt_BR"
  std::string_view language;     // Steam's name for it: "brazilian"
  std::string_view title;        // the text sent: the value, or "No title"
  std::string_view description;  // the value, or "No description"
  bool titleIsFallback = false;  // no "title" key: "No title" is sent
  bool descriptionIsFallback = false;
};

// A section the upload passes over, and why ("not a known language code").
struct PageSkippedSection {
  std::string_view name;
  uint64_t line = 0;  // of its header in descript.ion; 0 when unknown
  std::string reason;
};

struct PagePreview {
  bool present = false;  // steam_logo.png is a regular file that can be read
  uint64_t size = 0;     // its size in bytes
  // The whole file, when it is present and kPreviewLimit doesn't refuse
  // it; else empty and the page says why there is none.
  // Must stay valid while the page is written.
  std::string_view bytes;
  // As the preview check read it; only PNG, JPEG and GIF are ever embedded
  // (never SVG, which could hold a script).
  PictureHeader::Format format = PictureHeader::Format::kOther;
};

// The item's visibility once the publish is done.
enum class PageVisibility : uint8_t {
  kPrivate,    // made private by the run
  kUnchanged,  // left as it was before the run
};

struct PageModel {
  std::string_view folder;            // the mod folder as given
  int64_t existingId = 0;             // the item updated (-u), 0 for a new one
  bool descriptionRead = false;       // false: descript.ion can't be read
  std::vector<PageSection> sections;  // in upload order
  std::vector<PageSkippedSection> skipped;
  PagePreview preview;
  // The content as uploaded: every file of the folder, descript.ion and
  // steam_logo.png included.
  bool contentFolder = false;  // false: no such folder
  uint64_t contentFiles = 0;
  uint64_t contentBytes = 0;
  // A publish leaves the item private, unless it keeps an updated item's
  // visibility (-k).
  PageVisibility visibility = PageVisibility::kPrivate;
  // The page may load the description's https: pictures: its policy lets
  // images of https: addresses load, and still nothing else.
  bool loadPictures = false;
};

// Writes the whole page for `model` to `out`.
void WritePage(const PageModel& model, HtmlOutput& out);

// Writes the page to the file `path`, created or replaced. Returns false when
// it can't be created or written completely.
bool WritePageFile(const std::string& path, const PageModel& model);

#endif  // MODPUBLISH_CHECK_PAGE_H_
