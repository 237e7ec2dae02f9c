#include "check/folder_check.h"

#include <utility>

#include "check/app_id.h"
#include "check/client_library.h"
#include "check/page_target.h"
#include "check/read_file.h"
#include "description/description_file.h"
#include "description/reader.h"
#include "platform/platform.h"

namespace {

// Reads descript.ion once, by the reader itself, with its check listening
// (which keeps no values of its own), then its description files; the
// findings go to `findings`, those of each description file to `files`.
void CheckDescription(const char* folder, FileFindings& findings, std::vector<FileFindings>& files,
                      FolderReport& report) {
  DescriptionCheck check;
  const std::string& path = findings.file;
  const FileStatus status = LoadModDescription(path, report.record, &check);
  auto fail = [&findings](std::string message) {
    findings.diagnostics.push_back(
        Diagnostic{0, FindingKind::kDescriptionUnread, std::move(message)});
  };
  const char* problem = nullptr;
  switch (status) {
    case FileStatus::kRead:
      break;
    case FileStatus::kMissing:
      problem = "the description file is missing";
      break;
    case FileStatus::kNotAFile:
      problem = "the description file is not a regular file";
      break;
    case FileStatus::kUnreadable:
      problem = "the description file can't be read";
      break;
    case FileStatus::kTooBig:
      fail(
          "the description file is too big for the memory available; modpublish stops "
          "with \"Not enough memory to read\" before uploading anything. Shorten it");
      return;
  }
  if (problem != nullptr) {
    fail(std::string(problem) +
         "; modpublish stops with \"File not found\" before uploading anything. "
         "Create descript.ion with a section such as [en] holding \"title\" and "
         "\"description\" keys");
    return;
  }
  LoadDescriptionFiles(report.record, folder, /*stopAtFailure=*/false);
  uint64_t size = 0;
  std::string start;
  ReadRegularFile(path, 65536, start, size);
  const uint64_t ctrlZ = check.CtrlZOffset();
  check.Conclude(report.record, size, ctrlZ != UINT64_MAX && BlankFrom(path, ctrlZ + 1));
  report.descriptionRead = true;
  findings.diagnostics = check.diagnostics();
  // Saved so, the file reads as something else altogether: the one thing
  // to say is how to save it.
  if (std::string saved = DescriptionEncodingProblem(start); !saved.empty()) {
    findings.diagnostics.assign(1, Diagnostic{0, FindingKind::kSavedWrongly, std::move(saved), 0});
  }
  files = check.fileFindings();
  report.plan = std::move(check.plan());
}

// Why the mod folder's path, of `kind`, names no folder.
const char* FolderProblem(platform::PathKind kind) {
  switch (kind) {
    case platform::PathKind::kFile:
      return "a file, not a folder";
    case platform::PathKind::kOther:
      return "not a folder but a device, a pipe or the like";
    default:
      return "no such folder";
  }
}

// The page's model: the upload plan, as the page shows it, with what the
// checks found of the preview and the content.
void BuildPageModel(const FolderCheckInput& input, FolderReport& report) {
  PageModel& model = report.page;
  model.loadPictures = input.loadPictures;
  model.folder = input.folder;
  model.existingId = input.existingId;
  // -k keeps an updated item's visibility; a new item is made private.
  model.visibility = input.keepVisibility && input.existingId != 0 ? PageVisibility::kUnchanged
                                                                   : PageVisibility::kPrivate;
  model.descriptionRead = report.descriptionRead;
  if (report.descriptionRead) {
    for (const PlannedSection& section : UploadPlan(report.record)) {
      if (section.skip != SectionSkip::kNone) {
        model.skipped.push_back(
            PageSkippedSection{section.name, section.line, SkipReason(section.skip)});
        continue;
      }
      // Steam gets each text up to its first NUL byte, so the page shows
      // no more.
      model.sections.push_back(PageSection{section.name, section.language, section.title.Sent(),
                                           section.description.Sent(), !section.title.fromKey,
                                           !section.description.fromKey});
    }
  }
  const PreviewCheck& preview = report.preview;
  model.preview.present = preview.present;
  model.preview.size = preview.size;
  model.preview.bytes = preview.bytes;
  model.preview.format = preview.picture.format;
  model.contentFolder = report.folderProblem == nullptr;
  model.contentFiles = report.content.files;
  model.contentBytes = report.content.bytes;
}

}  // namespace

const char* SkipReason(SectionSkip skip) {
  return skip == SectionSkip::kNoName ? "no section name" : "not a known language code";
}

void CheckModFolder(const FolderCheckInput& input, FolderReport& report) {
  // A mistake in the command line is the program's, as a compiler names
  // itself for a bad option; the folder is checked all the same.
  FileFindings commandLine{input.programName, input.commandLine};
  const std::string folder = input.folder;
  FileFindings description{input.descriptionPath, {}};
  FileFindings preview{input.previewPath, {}};
  FileFindings folderFindings{folder, {}};
  const std::string programFolder = platform::ProgramFolder();
  FileFindings library{programFolder + platform::kSteamLibraryName, {}};

  uint64_t ignored = 0;
  const platform::PathKind folderKind = platform::StatPath(folder, ignored);
  const bool isFolder = folderKind == platform::PathKind::kFolder;
  if (!isFolder) {
    report.folderProblem = FolderProblem(folderKind);
    folderFindings.diagnostics.push_back(
        Diagnostic{0, FindingKind::kNoFolder,
                   std::string(report.folderProblem) +
                       "; modpublish would have no mod to publish. Give the path of the folder "
                       "that holds descript.ion, steam_logo.png and the mod's files"});
  }
  std::vector<FileFindings> descriptionFiles;
  CheckDescription(input.folder, description, descriptionFiles, report);
  if (input.pagePath != nullptr) {
    // A page written over a file of the mod, or into its folder, would be
    // published with the mod: nothing is written, and nothing else said.
    std::vector<std::string> modFiles = {description.file, preview.file};
    for (const DescriptionFile& file : report.record.files) {
      modFiles.push_back(file.path);
    }
    report.pageRefusal = PageTargetProblem(input.pagePath, folder, modFiles);
    if (!report.pageRefusal.empty()) {
      return;
    }
  }
  report.preview = CheckPreview(preview.file);
  preview.diagnostics = report.preview.diagnostics;

  if (isFolder) {
    report.content = CheckContent(folder);
    folderFindings.diagnostics = report.content.diagnostics;
    // descript.ion and steam_logo.png are uploaded with the content, but
    // they are not the mod.
    const uint64_t known =
        (platform::StatPath(description.file, ignored) == platform::PathKind::kFile ? 1 : 0) +
        (report.preview.present ? 1 : 0);
    // A folder that couldn't be listed may hold the mod: no guess then.
    if (report.content.files <= known && !report.content.incomplete) {
      folderFindings.diagnostics.push_back(
          Diagnostic{0, FindingKind::kNoModFiles,
                     "the mod folder holds no files besides descript.ion and steam_logo.png, "
                     "so the Workshop item gets no mod content. Put the mod's files in it"});
    }
  }

  library.diagnostics =
      CheckClientLibrary(programFolder, platform::kSteamLibraryName, platform::kLibraryFormat);
  AppIdCheck appId = CheckAppId(input.steamAppId);

  FileFindings page{input.pagePath != nullptr ? input.pagePath : "", {}};
  if (input.pagePath != nullptr) {
    BuildPageModel(input, report);
    report.pageWritten = WritePageFile(input.pagePath, report.page);
    if (!report.pageWritten) {
      page.diagnostics.push_back(
          Diagnostic{0, FindingKind::kPageUnwritten,
                     "the page can't be written there. Give a file in a folder that exists and "
                     "can be written to"});
    }
  }

  std::vector<FileFindings>& files = report.files;
  files.push_back(std::move(commandLine));
  files.push_back(std::move(folderFindings));
  files.push_back(std::move(description));
  for (FileFindings& file : descriptionFiles) {
    files.push_back(std::move(file));
  }
  files.push_back(std::move(preview));
  files.push_back(std::move(library));
  files.push_back(FileFindings{"steam_appid.txt", std::move(appId.file)});
  files.push_back(FileFindings{"SteamAppId", std::move(appId.variable)});
  files.push_back(std::move(page));
}
