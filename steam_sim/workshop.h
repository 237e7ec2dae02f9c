// The local Workshop: the items the simulated service keeps, in a folder on
// disk, so that they outlive the session and the process that made them.
//
// Layout under the Workshop folder:
//   items/<id>/r<n>/           revision n of item <id>; the highest n is live
//     item.txt                 the item's fields (see FormatItemFile)
//     content/                 copy of the last content folder submitted
//     preview/<file name>      copy of the last preview submitted
//   items/<id>/next/           the next revision, being assembled (next-<k>/
//                              when an earlier next/ can't be deleted)
//   items/<id>.lock            locked while an update of item <id> runs
//
// A change becomes live in one step: the new revision is assembled in next/
// and renamed to r<n+1>; only then are older revisions deleted. A run
// interrupted at any point leaves the old live revision or the new one
// complete; the debris is never read, and the item's next update clears it.
// Updates of one item are serialised across processes by its lock, held
// from reading the live revision to renaming the new one into place.
//
// Copies are made without the source's permission bits, and debris is made
// writable before it is deleted, so that nothing the service leaves behind
// can block a later update. What still can't be deleted is journaled
// ("CleanupFailed") and left aside.
#ifndef MODPUBLISH_STEAM_SIM_WORKSHOP_H_
#define MODPUBLISH_STEAM_SIM_WORKSHOP_H_

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "steam_sim/abi.h"
#include "steam_sim/journal.h"

namespace steam_sim {

// The service's limits, in bytes.
constexpr size_t kMaxTitleBytes = 128;
constexpr size_t kMaxDescriptionBytes = 8000;
constexpr size_t kMaxChangeNoteBytes = 8000;
constexpr uint64_t kPreviewSizeLimit = 1048576;  // a preview must be smaller

// A new item is private until an update says otherwise.
constexpr int32_t kDefaultVisibility = 2;
// The language of an update's title and description unless it sets one.
constexpr char kDefaultLanguage[] = "english";

struct WorkshopItem {
  PublishedFileId id = 0;
  AppId app = 0;
  int32_t fileType = 0;
  int32_t visibility = kDefaultVisibility;
  // Language -> text.
  std::map<std::string, std::string> titles;
  std::map<std::string, std::string> descriptions;
  // File name of the preview inside the revision's preview/ folder; empty
  // until an update sets one.
  std::string preview;
  // Every applied update's change note, oldest first.
  std::vector<std::string> changeNotes;
};

// item.txt: one field per line, strings quoted as the journal quotes them:
//   id 917
//   app 250
//   type 0
//   visibility 2
//   title "english" "My mod"          (one line per language)
//   description "english" "..."       (one line per language)
//   preview "steam_logo.png"          (absent until set)
//   change "initial commit"           (one line per update, oldest first)
std::string FormatItemFile(const WorkshopItem& item);

// Reads FormatItemFile's text back. Returns false for any other text.
bool ParseItemFile(std::string_view text, WorkshopItem* item);

// A submitted update, as recorded by the setters. Unset fields leave the
// item's current value alone.
struct ItemUpdate {
  AppId app = 0;
  PublishedFileId item = 0;
  std::string language = kDefaultLanguage;
  std::optional<std::string> title;
  std::optional<std::string> description;
  std::optional<int32_t> visibility;
  // Paths as the caller gave them (UTF-8). The service finds only fully
  // qualified ones: it runs in a folder of its own.
  std::optional<std::string> contentFolder;
  std::optional<std::string> previewFile;
  std::string changeNote;
};

// The bytes an upload of `path` (UTF-8, as the caller gave it) sends: the
// sizes of the regular files below a folder, links followed as the copy
// follows them, or the size of a file. 0 for a path that isn't fully
// qualified or names nothing readable. Below a folder, the count stops
// where the copy would fail: at the first thing that can't be read, and 40
// folders deep (links in a circle).
uint64_t UploadBytes(const std::string& path);

class Workshop {
 public:
  // The Workshop kept in folder `root`, which is created on the first write.
  // What the service refuses or fails to clean up is written to `journal`
  // (when not null), which must outlive the Workshop.
  explicit Workshop(std::filesystem::path root, Journal* journal = nullptr);

  // The id the next new item gets: one above the highest id in the
  // Workshop, 1 when it is empty.
  PublishedFileId NextFreeId() const;

  // Creates item `id` of app `app` with no texts, content or preview.
  // Returns kResultOk, or kResultFail when the id is taken or the disk
  // fails (then nothing changed, but for debris that couldn't be deleted).
  int32_t CreateItem(PublishedFileId id, AppId app, int32_t fileType);

  // Checks `update` as the service does, for a program running as app
  // `runningApp`, and applies it whole or not at all. Returns kResultOk when
  // applied; otherwise, checked in this order: kResultFileNotFound for an
  // unknown item, kResultAccessDenied when the item's app, the update's app
  // and `runningApp` are not all the same, kResultInvalidParam for a title,
  // description or change note over its limit, kResultFileNotFound for a
  // content folder or preview file that isn't there or isn't given by a
  // fully qualified path (journaled as "RelativePath"), kResultLimitExceeded
  // for a preview of kPreviewSizeLimit bytes or more, and kResultFail when
  // the item's files are damaged or the disk fails. While another process
  // updates the same item in the same Workshop, waits for it to finish.
  int32_t SubmitUpdate(const ItemUpdate& update, AppId runningApp);

 private:
  // Where a new revision's content and preview are copied from: the
  // update's paths, or the live revision's copies; empty for none.
  struct RevisionSources {
    std::filesystem::path content;
    std::filesystem::path preview;
    // The content is the live revision's: revisions are never changed once
    // live, so the new one may share its files instead of copying them.
    bool contentIsLive = false;
  };

  std::filesystem::path ItemFolder(PublishedFileId id) const;
  // The live revision folder of item `id` and its number, or an empty path
  // when the item doesn't exist.
  std::filesystem::path LiveRevision(PublishedFileId id, uint64_t* number) const;
  // SubmitUpdate's work; may throw std::bad_alloc or filesystem_error.
  int32_t ApplyUpdate(const ItemUpdate& update, AppId runningApp);
  // The service's checks, in SubmitUpdate's order, against the live
  // revision. On kResultOk, `item` holds the live fields, `liveNumber` the
  // live revision's number and `sources` what the new one copies.
  int32_t CheckUpdate(const ItemUpdate& update, AppId runningApp, uint64_t* liveNumber,
                      WorkshopItem* item, RevisionSources* sources) const;
  // Applies what `update` sets to `item`, and appends its change note.
  static void MergeUpdate(const ItemUpdate& update, const RevisionSources& sources,
                          WorkshopItem* item);
  // Assembles `item` with copies of `sources` in a staging folder of the
  // item folder `folder`: next/, or the first next-<k>/ that is free when
  // earlier ones can't be cleared. Sets `staged` to it. Returns false,
  // leaving no staging folder, on any failure.
  bool StageRevision(const std::filesystem::path& folder, const WorkshopItem& item,
                     const RevisionSources& sources, std::filesystem::path* staged) const;
  // Makes `staged` revision liveNumber + 1 and deletes the older ones and
  // other staging debris. Returns false, with the live revision untouched,
  // when the rename fails.
  bool CommitRevision(const std::filesystem::path& folder, const std::filesystem::path& staged,
                      uint64_t liveNumber) const;
  // Deletes `path` and everything below it, if there; what carries
  // read-only bits is made writable first. Returns false, and journals it,
  // when something stays.
  bool Remove(const std::filesystem::path& path) const;

  std::filesystem::path root_;
  Journal* journal_;
};

}  // namespace steam_sim

#endif  // MODPUBLISH_STEAM_SIM_WORKSHOP_H_
