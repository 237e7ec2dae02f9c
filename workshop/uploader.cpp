#include "workshop/uploader.h"

#include <chrono>
#include <cstdarg>
#include <type_traits>

#include "platform/platform.h"
#include "workshop/result_text.h"

namespace {

// The step names double as the text of "Fail during %s step.".
constexpr char kInitStep[] = "Initializing SteamAPI";
constexpr char kUtilsStep[] = "Constructing SteamUtils";
constexpr char kAppIdStep[] = "Getting AppID with SteamUtils";
constexpr char kUgcStep[] = "Constructing SteamUGC";
constexpr char kCreateStep[] = "Creating item with SteamUGC";
constexpr char kStartUpdateStep[] = "Starting item update with SteamUGC";
constexpr char kVisibilityStep[] = "Setting item visibility with SteamUGC";
constexpr char kContentStep[] = "Setting item content with SteamUGC";
constexpr char kLanguageStep[] = "Setting update language with SteamUGC";
constexpr char kTitleStep[] = "Setting item title with SteamUGC";
constexpr char kDescriptionStep[] = "Setting item description with SteamUGC";
constexpr char kPreviewStep[] = "Setting item preview with SteamUGC";
constexpr char kSubmitStep[] = "Submiting item update with SteamUGC";

// Handles are shown by their low 32 bits only: as a signed decimal for an
// update handle, in hexadecimal for a call handle.
int LowSigned(uint64_t handle) { return static_cast<int32_t>(static_cast<uint32_t>(handle)); }
unsigned LowHex(uint64_t handle) { return static_cast<uint32_t>(handle); }

// Whether a delivered result can be read. Reports on the step's line why
// not: the delivery failed, or Steam holds the result back until the user
// accepts the Workshop legal agreement.
template <class Result>
bool Readable(const SteamUploader& uploader, const Result* result, bool ioFailure) {
  if (result == nullptr || ioFailure) {
    uploader.Log("<failed to get async call result>");
    return false;
  }
  if (result->m_bUserNeedsToAcceptWorkshopLegalAgreement != 0) {
    uploader.Log("<Workshop Legal agreement need to be accepted>");
    return false;
  }
  return true;
}

}  // namespace

int SteamUploader::Log(const char* format, ...) const {
  if (!verbose) {
    return 0;
  }
  progressLine_.Finish();
  va_list args;
  va_start(args, format);
  int written = VPrint(format, args);
  va_end(args);
  return written;
}

void SteamUploader::OnItemCreated(CreateItemResult_t* result, bool ioFailure) {
  itemCreated = false;
  if (!Readable(*this, result, ioFailure)) {
    return;
  }
  Log("<result %s, id is %lld>", ResultText(result->m_eResult),
      static_cast<long long>(result->m_nPublishedFileId));
  publishedFileId = result->m_nPublishedFileId;
  itemCreated = result->m_eResult == 1;
}

void SteamUploader::OnItemUpdateSubmitted(SubmitItemUpdateResult_t* result, bool ioFailure) {
  updateSubmitted = false;
  if (!Readable(*this, result, ioFailure)) {
    return;
  }
  Log("<result %s>", ResultText(result->m_eResult));
  updateSubmitted = result->m_eResult == 1;
}

template <class T>
void SteamUploader::WaitForCallResult(const CCallResult<SteamUploader, T>& binding) {
  // Only a submission has a progress to show, and only a terminal shows it
  // live; a pipe or a file gets the dots alone.
  const bool live =
      std::is_same<T, SubmitItemUpdateResult_t>::value && verbose && LiveText::Supported();
  const auto start = std::chrono::steady_clock::now();
  ProgressSampler sampler;
  for (;;) {
    steam::RunCallbacks();
    platform::SleepMilliseconds(100);
    if (binding.PendingCall() == 0) {
      progressLine_.Finish();
      return;
    }
    if (!live) {
      Log(".");
      continue;
    }
    uint64_t processed = 0;
    uint64_t total = 0;
    const EItemUpdateStatus status = ugc->GetItemUpdateProgress(updateHandle, &processed, &total);
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    if (std::optional<std::string> text =
            sampler.Sample(static_cast<uint64_t>(elapsed.count()), status, processed, total)) {
      progressLine_.Show(*text);
    }
    progressLine_.Dot();
  }
}

// The only two waits there are; the tests use the same two.
template void SteamUploader::WaitForCallResult(
    const CCallResult<SteamUploader, CreateItemResult_t>& binding);
template void SteamUploader::WaitForCallResult(
    const CCallResult<SteamUploader, SubmitItemUpdateResult_t>& binding);

template <class Operation>
bool SteamUploader::Step(StepProgress& progress, const char* name, Operation operation) {
  Log("%s", progress.Next(name).c_str());
  if (operation()) {
    Log("OK\n");
    return true;
  }
  Log("FAIL\n\n");
  Print("Fail during %s step.\n", name);
  return false;
}

bool SteamUploader::StartSteamSteps(StepProgress& progress) {
  return Step(progress, kInitStep,
              [] { return steam::InitSteamAPI(platform::kSteamLibraryName); }) &&
         Step(progress, kUtilsStep,
              [this] {
                utils = steam::SteamUtils();
                return utils != nullptr;
              }) &&
         Step(progress, kAppIdStep,
              [this] {
                appId = utils->GetAppID();
                Log("<%d>", static_cast<int>(appId));
                return appId != 0;
              }) &&
         Step(progress, kUgcStep, [this] {
           ugc = steam::SteamUGC();
           return ugc != nullptr;
         });
}

bool SteamUploader::CreateItem(StepProgress& progress) {
  return Step(progress, kCreateStep, [this] {
    itemCreated = false;
    SteamAPICall_t call = ugc->CreateItem(appId, k_EWorkshopFileTypeCommunity);
    Log("<%x>", LowHex(call));
    createItemCall.Set(call, this, &SteamUploader::OnItemCreated);
    WaitForCallResult(createItemCall);
    return itemCreated;
  });
}

bool SteamUploader::StartItemUpdate(StepProgress& progress) {
  return Step(progress, kStartUpdateStep, [this] {
    updateHandle = ugc->StartItemUpdate(appId, publishedFileId);
    Log("<%d>", LowSigned(updateHandle));
    // The real library answers all ones for "no update"; 0 is no handle
    // either.
    return updateHandle != 0 && updateHandle != k_UGCUpdateHandleInvalid;
  });
}

bool SteamUploader::SubmitItemUpdate(StepProgress& progress, const char* changeNote) {
  return Step(progress, kSubmitStep, [this, changeNote] {
    // A refused submission (call handle 0) runs no handler; clearing the
    // flag first keeps it from inheriting the previous submission's verdict.
    updateSubmitted = false;
    SteamAPICall_t call = ugc->SubmitItemUpdate(updateHandle, changeNote);
    Log("<%x>", LowHex(call));
    submitUpdateCall.Set(call, this, &SteamUploader::OnItemUpdateSubmitted);
    WaitForCallResult(submitUpdateCall);
    return updateSubmitted;
  });
}

bool SteamUploader::UploadContent(StepProgress& progress, const char* contentDir,
                                  bool setsVisibility, const char* changeNote) {
  return StartItemUpdate(progress) &&
         (!setsVisibility || Step(progress, kVisibilityStep,
                                  [this] {
                                    return ugc->SetItemVisibility(
                                        updateHandle,
                                        k_ERemoteStoragePublishedFileVisibilityPrivate);
                                  })) &&
         Step(progress, kContentStep,
              [this, contentDir] { return ugc->SetItemContent(updateHandle, contentDir); }) &&
         SubmitItemUpdate(progress, changeNote);
}

bool SteamUploader::UploadSection(StepProgress& progress, const PlannedSection& section,
                                  const char* changeNote) {
  const char* language = section.language;
  const char* title = section.title.text;
  const char* description = section.description.text;
  return StartItemUpdate(progress) &&
         Step(progress, kLanguageStep,
              [this, language] { return ugc->SetItemUpdateLanguage(updateHandle, language); }) &&
         Step(progress, kTitleStep,
              [this, title] { return ugc->SetItemTitle(updateHandle, title); }) &&
         Step(progress, kDescriptionStep,
              [this, description] { return ugc->SetItemDescription(updateHandle, description); }) &&
         SubmitItemUpdate(progress, changeNote);
}

bool SteamUploader::UploadPreview(StepProgress& progress, const char* previewPath,
                                  const char* changeNote) {
  return StartItemUpdate(progress) &&
         Step(progress, kPreviewStep,
              [this, previewPath] { return ugc->SetItemPreview(updateHandle, previewPath); }) &&
         SubmitItemUpdate(progress, changeNote);
}

bool SteamUploader::Upload(int64_t existingId, const char* contentDir, const char* previewPath,
                           const ModDescription& modDescription, const UploadOptions& options) {
  publishedFileId = static_cast<PublishedFileId_t>(existingId);
  const bool createsItem = existingId == 0;
  const char* changeNote = options.changeNote != nullptr ? options.changeNote
                           : createsItem                 ? "initial commit"
                                                         : "update";
  // A new item is made private: nobody should see it before its author.
  const bool setsVisibility = createsItem || !options.keepVisibility;
  const UploadPlan plan(modDescription);
  StepProgress progress(ProgressBarWidth(plan.size(), createsItem, setsVisibility));

  Log("Starting initing tool\n");
  if (!StartSteamSteps(progress) || (createsItem && !CreateItem(progress))) {
    return false;
  }

  Print("Starting uploading fileid %lld\n", static_cast<long long>(publishedFileId));
  Log("Starting uploading mod folder\n");
  if (!UploadContent(progress, contentDir, setsVisibility, changeNote)) {
    return false;
  }
  Print("Done uploading mod folder\n");

  constexpr int kStepsPerSection = 5;
  for (const PlannedSection& section : plan) {
    const char* name = section.name.c_str();
    if (section.skip == SectionSkip::kNoName) {
      continue;
    }
    if (section.skip == SectionSkip::kNoLanguage) {
      Print("Skipping uploading description in lang: %s\n", name);
      progress.Skip(kStepsPerSection);
      continue;
    }
    Log("Starting uploading description in lang: %s\n", name);
    if (!UploadSection(progress, section, changeNote)) {
      return false;
    }
    Print("Done uploading description in lang: %s\n", name);
  }

  Log("Starting uploading preview image\n");
  if (!UploadPreview(progress, previewPath, changeNote)) {
    return false;
  }
  Print("Done uploading preview image\n");
  Print("Mod is uploaded to https://steamcommunity.com/sharedfiles/filedetails/?id=%lld\n",
        static_cast<long long>(publishedFileId));
  return true;
}
