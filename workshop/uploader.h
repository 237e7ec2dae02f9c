// One upload run: bring up the Steam client library, create the Workshop
// item (or take the given one), upload the mod folder as its content and
// make it private, upload a title and a description for every language
// section of the description, upload the preview, and print the item's page
// address. (An update may keep the item's visibility: UploadOptions.) Each step shows on its own
// progress line in verbose mode; the first failing step ends the run.
#ifndef MODPUBLISH_WORKSHOP_UPLOADER_H_
#define MODPUBLISH_WORKSHOP_UPLOADER_H_

#include <cstdint>

#include "console/console.h"
#include "description/description.h"
#include "description/upload_plan.h"
#include "workshop/call_result.h"
#include "workshop/progress.h"
#include "workshop/steam_api.h"
#include "workshop/upload_progress.h"

// What a run may change of the upload's defaults.
struct UploadOptions {
  // The change note of every submission of the run; null for "initial
  // commit" when the run creates the item, "update" when it updates one.
  const char* changeNote = nullptr;
  // An update (an existing item) sets no visibility, so the item keeps the
  // one it has. A new item is made private whatever this says.
  bool keepVisibility = false;
};

class SteamUploader {
 public:
  // A fresh run: no interfaces, no item, both bindings idle.
  explicit SteamUploader(bool isVerbose) : verbose(isVerbose) {}
  SteamUploader(const SteamUploader&) = delete;
  SteamUploader& operator=(const SteamUploader&) = delete;

  // Runs the whole upload. `existingId` 0 creates a new item, any other
  // value updates that item. `contentDir` and `previewPath` go to Steam as
  // they are; `modDescription` is only read. All must outlive the call.
  // Returns true after the final "Mod is uploaded to ..." line; false after
  // a "Fail during %s step." line. Nothing is undone after a failure.
  bool Upload(int64_t existingId, const char* contentDir, const char* previewPath,
              const ModDescription& modDescription, const UploadOptions& options = {});

  // Upload is the tool's one entry. The members from here to `private` are
  // public for the call-result bindings and the unit tests, which drive the
  // handlers and the wait directly; nothing else of the tool uses them.

  // Like Print, but only in verbose mode; returns 0 in silent mode. A
  // submission's progress showing on the line goes first, and the dots it
  // held back are printed.
  int Log(const char* format, ...) const MODPUBLISH_PRINTF_FORMAT(2, 3);

  // The result handlers, called by the bindings from inside the callback
  // pump. They report the result on the step's line and set the verdict
  // flag; the creation handler also takes the new item's id, whatever the
  // result code, unless the delivery failed or the legal agreement is
  // pending. `result` belongs to the library and is not kept.
  void OnItemCreated(CreateItemResult_t* result, bool ioFailure);
  void OnItemUpdateSubmitted(SubmitItemUpdateResult_t* result, bool ioFailure);

  // Pumps the library's callbacks, sleeping 100 ms after every pump, until
  // `binding` has no pending call; before every pump but the first it logs
  // one ".". Has no time limit: a call that is never answered keeps it
  // waiting. Defined for the two bindings below only. While a submission
  // of `updateHandle` waits in verbose mode on a terminal that can show it
  // (LiveText), its progress shows after the call handle, and the dots are
  // held back until it goes.
  template <class T>
  void WaitForCallResult(const CCallResult<SteamUploader, T>& binding);

  // The state of one run, written by Upload's steps and by the handlers.

  // Run input, fixed at construction: false shows only the milestones.
  const bool verbose;

  // Interfaces of the client library, set by the start-up steps. They belong
  // to the library and live as long as its session: never deleted here.
  ISteamUtils* utils = nullptr;
  ISteamUGC* ugc = nullptr;

  // The bindings that wait for the two asynchronous calls. Each is idle
  // between calls; a binding still pending when the uploader goes
  // unregisters its call.
  CCallResult<SteamUploader, CreateItemResult_t> createItemCall;
  CCallResult<SteamUploader, SubmitItemUpdateResult_t> submitUpdateCall;

  // Handler results: the verdict of the last answered creation and
  // submission, cleared before each call. OnItemCreated also writes
  // publishedFileId.
  bool itemCreated = false;
  bool updateSubmitted = false;

  // Handles: the game's app id (from the library), the item being uploaded
  // (given, or taken from the creation's result) and the open item update.
  AppId_t appId = 0;
  PublishedFileId_t publishedFileId = 0;
  UGCUpdateHandle_t updateHandle = 0;

 private:
  // The live end of the step's line while a submission waits; mutable, as
  // Log, a const member, takes it away before it prints.
  mutable SubmissionProgressLine progressLine_;

  // Opens the step's line, runs `operation` (which writes the diagnostic and
  // returns the verdict) and closes the line with "OK\n", or with
  // "FAIL\n\n" followed by "Fail during %s step.\n". Returns the verdict.
  template <class Operation>
  bool Step(StepProgress& progress, const char* name, Operation operation);

  bool StartSteamSteps(StepProgress& progress);
  bool CreateItem(StepProgress& progress);
  bool StartItemUpdate(StepProgress& progress);
  bool SubmitItemUpdate(StepProgress& progress, const char* changeNote);
  bool UploadContent(StepProgress& progress, const char* contentDir, bool setsVisibility,
                     const char* changeNote);
  bool UploadSection(StepProgress& progress, const PlannedSection& section, const char* changeNote);
  bool UploadPreview(StepProgress& progress, const char* previewPath, const char* changeNote);
};

#endif  // MODPUBLISH_WORKSHOP_UPLOADER_H_
