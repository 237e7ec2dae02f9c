// The whole check of a mod folder behind modpublish-check: every check of
// this folder run once, in the order modpublish meets what they look at,
// into one report that the program prints.
#ifndef MODPUBLISH_CHECK_FOLDER_CHECK_H_
#define MODPUBLISH_CHECK_FOLDER_CHECK_H_

#include <cstdint>
#include <string>
#include <vector>

#include "check/content.h"
#include "check/description_check.h"
#include "check/finding.h"
#include "check/page.h"
#include "check/preview.h"
#include "description/description.h"
#include "description/upload_plan.h"

// What the check is asked about: a publish's command line as modpublish
// would read it, and the checker's own options. The strings must outlive
// the check.
struct FolderCheckInput {
  const char* folder = "";           // the mod folder as typed
  std::string descriptionPath;       // descript.ion in it, composed as modpublish composes it
  std::string previewPath;           // steam_logo.png in it, likewise
  int64_t existingId = 0;            // the item updated (-u), 0 for a new one
  bool keepVisibility = false;       // -k
  const char* steamAppId = nullptr;  // the variable SteamAppId, null when not set
  const char* pagePath = nullptr;    // --page FILE, null without it
  bool loadPictures = false;         // --load-pictures
  // The findings about the command line, made by the program that read it,
  // reported first under `programName`.
  const char* programName = "";
  std::vector<Diagnostic> commandLine;
};

// Why a section is skipped, as the summary and the page say it: "no
// section name", "not a known language code".
const char* SkipReason(SectionSkip skip);

// What the check found. It points into itself (the plan and the page into
// the record, the page into the preview's bytes), so it is filled in place
// and never copied or moved.
struct FolderReport {
  FolderReport() = default;
  FolderReport(const FolderReport&) = delete;
  FolderReport& operator=(const FolderReport&) = delete;

  // Not empty: the page would be written over a file of the mod or into
  // the mod folder (check/page_target.h); this says so, and the check
  // stopped before anything else was checked or written.
  std::string pageRefusal;

  // The findings, file by file in the order they are told: the command
  // line, the mod folder, descript.ion, each description file with
  // findings, the preview, the client library, steam_appid.txt, the
  // variable SteamAppId, the page. A file without findings has an empty
  // list.
  std::vector<FileFindings> files;

  // descript.ion as the upload reads it: `plan` is the upload plan in
  // short (DescriptionCheck::plan), borrowing `record`; both are empty when
  // the file can't be read.
  bool descriptionRead = false;
  ModDescription record;
  DescriptionCheck::PlanSummary plan;

  PreviewCheck preview;

  // Why the path names no folder ("no such folder", "a file, not a
  // folder"), or null when it does; then `content` holds the walk's counts.
  const char* folderProblem = nullptr;
  ContentCheck content;

  // With --page: the page's model, and whether the page was written (if
  // not, a finding about the page's file says so).
  PageModel page;
  bool pageWritten = false;
};

// Checks what a publish of `input.folder` would meet, and writes the page
// when `input.pagePath` is set, into `report` (fresh). Reads the mod
// folder, the client library beside the program and steam_appid.txt in the
// current folder; loads nothing and writes nothing else. Throws
// std::bad_alloc when memory runs out other than for the description
// itself (which is a finding).
void CheckModFolder(const FolderCheckInput& input, FolderReport& report);

#endif  // MODPUBLISH_CHECK_FOLDER_CHECK_H_
