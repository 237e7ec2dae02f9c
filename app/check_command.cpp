#include "app/check_command.h"

#include <algorithm>
#include <cinttypes>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/command_line.h"
#include "app/command_line_check.h"
#include "app/mod_paths.h"
#include "check/app_id.h"
#include "check/client_library.h"
#include "check/content.h"
#include "check/mod_check.h"
#include "check/page.h"
#include "check/page_target.h"
#include "check/preview.h"
#include "check/read_file.h"
#include "console/console.h"
#include "description/description_file.h"
#include "description/reader.h"
#include "description/upload_plan.h"
#include "platform/platform.h"

#ifndef MODPUBLISH_VERSION
#define MODPUBLISH_VERSION "0.0.0"
#endif

namespace {

constexpr size_t kTitleColumns = 50;

// The findings about one file, printed under its name.
struct FileReport {
  std::string file;
  std::vector<Diagnostic> diagnostics;

  void Add(uint64_t line, bool error, std::string message) {
    diagnostics.push_back(Diagnostic{line, error, std::move(message)});
  }
};

void PrintCheckUsage(const char* programName) {
  Print("modpublish-check %s - finds what would go wrong when publishing a mod folder\n",
        MODPUBLISH_VERSION);
  Print("Made by the modpublish developers\n");
  Print("\n");
  Print("Usage: %s [-h] [--page FILE [--load-pictures]] <path>\n", Printable(programName).c_str());
  Print("    <path> is the mod folder you would give modpublish; nothing is uploaded.\n");
  Print("    modpublish's -s, -k, -c <note> and -u <steamfileid> are read as modpublish\n");
  Print("    reads them.\n");
  Print("    --page FILE, before the rest, writes FILE: an HTML page showing the item\n");
  Print("    as the Workshop would. Nothing else is written.\n");
  Print("    --load-pictures, with --page, lets the page load the description's https:\n");
  Print("    pictures; without it the page loads nothing from the network.\n");
  Print("Exit status: 0 no errors, 1 errors found, 2 this text.\n");
}

std::string Bytes(uint64_t count) { return Count(count, "byte", "bytes"); }

// What the description file holds, or why there is nothing.
struct DescriptionResult {
  bool read = false;
  ModDescription record;
  DescriptionCheck::PlanSummary plan;  // borrows `record`
  // The findings about the description files the sections name.
  std::vector<FileReport> files;
};

DescriptionResult CheckDescription(const char* folder, const std::string& path,
                                   FileReport& report) {
  DescriptionResult result;
  DescriptionCheck check;
  // Read once, by the reader itself; the check keeps no values of its own.
  const DescriptionStatus status = LoadModDescription(path, result.record, &check);
  const char* problem = nullptr;
  switch (status) {
    case DescriptionStatus::kRead:
      break;
    case DescriptionStatus::kMissing:
      problem = "the description file is missing";
      break;
    case DescriptionStatus::kNotAFile:
      problem = "the description file is not a regular file";
      break;
    case DescriptionStatus::kUnreadable:
      problem = "the description file can't be read";
      break;
    case DescriptionStatus::kTooBig:
      report.Add(0, true,
                 "the description file is too big for the memory available; modpublish stops "
                 "with \"Not enough memory to read\" before uploading anything. Shorten it");
      return result;
  }
  if (problem != nullptr) {
    report.Add(0, true,
               std::string(problem) +
                   "; modpublish stops with \"File not found\" before uploading anything. "
                   "Create descript.ion with a section such as [en] holding \"title\" and "
                   "\"description\" keys");
    return result;
  }
  LoadDescriptionFiles(result.record, folder, /*stopAtFailure=*/false);
  uint64_t size = 0;
  std::string start;
  ReadFileStart(path, 65536, start, size);
  const uint64_t ctrlZ = check.CtrlZOffset();
  check.Conclude(result.record, size, ctrlZ != UINT64_MAX && BlankFrom(path, ctrlZ + 1));
  result.read = true;
  report.diagnostics = check.diagnostics();
  // Saved so, the file reads as something else altogether: the one thing
  // to say is how to save it.
  if (std::string saved = DescriptionEncodingProblem(start); !saved.empty()) {
    report.diagnostics.assign(1, Diagnostic{0, true, std::move(saved), 0});
  }
  for (const DescriptionCheck::FileFindings& file : check.fileFindings()) {
    result.files.push_back(FileReport{file.path, file.diagnostics});
  }
  result.plan = std::move(check.plan());
  return result;
}

void PrintReport(const FileReport& report, uint64_t& errors, uint64_t& warnings) {
  // The name as given or found; a line break in it must not start a line.
  const std::string file = Printable(report.file);
  for (const Diagnostic& diagnostic : report.diagnostics) {
    const char* severity = diagnostic.error ? "error" : "warning";
    // A note stands for findings that are counted but not shown.
    (diagnostic.error ? errors : warnings) += diagnostic.hidden == 0 ? 1 : diagnostic.hidden;
    if (diagnostic.hidden != 0) {
      severity = "note";
    }
    if (diagnostic.line == 0) {
      Print("%s: %s: %s\n", file.c_str(), severity, diagnostic.message.c_str());
    } else {
      Print("%s:%" PRIu64 ": %s: %s\n", file.c_str(), diagnostic.line, severity,
            diagnostic.message.c_str());
    }
  }
}

// The description of a section to upload, for the summary: its size, and
// for a description file its lines and where it comes from.
std::string DescribeDescription(const PlannedText& description) {
  if (!description.fromKey) {
    return std::string(", no description (\"") + description.text + "\" is uploaded)";
  }
  const DescriptionFile* file = description.file;
  if (file == nullptr) {
    return ", description " + Bytes(description.Sent().size());
  }
  const std::string from = "from " + Excerpt(file->named, kTitleColumns);
  if (file->status != DescriptionStatus::kRead) {
    return ", description " + from + ", which can't be read";
  }
  const std::string_view sent = description.Sent();
  const uint64_t lines =
      sent.empty() ? 0 : 1 + static_cast<uint64_t>(std::count(sent.begin(), sent.end(), '\n'));
  return ", description " + Bytes(sent.size()) + ", " + Count(lines, "line", "lines") + ", " + from;
}

// The upload plan: the sections to upload in their order, then those that
// will be skipped, as many as the check kept and a count of the rest (a
// file of a million sections must not make a million lines).
void PrintSections(const DescriptionResult& description) {
  if (!description.read) {
    Print("Sections to upload: none, the description file can't be read\n");
    return;
  }
  const DescriptionCheck::PlanSummary& plan = description.plan;
  Print(plan.uploaded.empty() ? "Sections to upload: none\n"
                              : "Sections to upload, in this order:\n");
  for (const PlannedSection& section : plan.uploaded) {
    std::string entry =
        std::string(std::string_view(section.name)) + " (" + section.language + "): ";
    // What Steam gets: the text up to its first NUL byte.
    entry += section.title.fromKey
                 ? "title \"" + Excerpt(section.title.Sent(), kTitleColumns) + "\""
                 : std::string("no title (\"") + section.title.text + "\" is uploaded)";
    entry += DescribeDescription(section.description);
    Print("    %s\n", entry.c_str());
  }
  if (!plan.skipped.empty()) {
    Print("Sections skipped:\n");
  }
  for (const PlannedSection& section : plan.skipped) {
    const std::string line = " (line " + std::to_string(section.line) + ")";
    if (section.skip == SectionSkip::kNoName) {
      Print("    []%s: no section name\n", line.c_str());
    } else {
      Print("    [%s]%s: not a known language code\n", Excerpt(section.name, 40).c_str(),
            line.c_str());
    }
  }
  if (plan.moreSkipped != 0) {
    Print("    and %s, not shown\n",
          Count(plan.moreSkipped, "more section", "more sections").c_str());
  }
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

// What the run leaves of the Workshop item. Every run makes it private,
// an update too, which hides a public mod from its subscribers.
void PrintItem(const RunSettings& settings, ParseOutcome outcome) {
  if (outcome == ParseOutcome::kBadItemId) {
    Print("Item: none, modpublish stops at the value of -u\n");
  } else if (settings.existingId == 0) {
    Print(settings.keepVisibility
              ? "Item: a new one, left private (only you see it), as -k keeps the visibility of "
                "an updated item only; make it public on its page once it looks right\n"
              : "Item: a new one, left private (only you see it); make it public on its page "
                "once it looks right\n");
  } else if (settings.keepVisibility) {
    Print("Item: %" PRId64 ", updated; its visibility stays as it is\n", settings.existingId);
  } else {
    Print("Item: %" PRId64
          ", updated and left private (only you see it); if it was public, "
          "make it public again on its page afterwards\n",
          settings.existingId);
  }
}

// The page's model: the upload plan, as the page shows it, with what the
// checks found of the preview and the content.
PageModel BuildPageModel(const RunSettings& settings, const DescriptionResult& description,
                         const PreviewCheck& preview, bool isFolder, const ContentCheck& content,
                         bool loadPictures) {
  PageModel model;
  model.loadPictures = loadPictures;
  model.folder = settings.contentDir;
  model.existingId = settings.existingId;
  // -k keeps an updated item's visibility; a new item is made private.
  model.visibility = settings.keepVisibility && settings.existingId != 0
                         ? PageVisibility::kUnchanged
                         : PageVisibility::kPrivate;
  model.descriptionRead = description.read;
  if (description.read) {
    for (const PlannedSection& section : UploadPlan(description.record)) {
      if (section.skip != SectionSkip::kNone) {
        model.skipped.push_back(PageSkippedSection{section.name, section.line,
                                                   section.skip == SectionSkip::kNoName
                                                       ? "no section name"
                                                       : "not a known language code"});
        continue;
      }
      // Steam gets each text up to its first NUL byte, so the page shows
      // no more.
      model.sections.push_back(PageSection{section.name, section.language, section.title.Sent(),
                                           section.description.Sent(), !section.title.fromKey,
                                           !section.description.fromKey});
    }
  }
  model.preview.present = preview.present;
  model.preview.size = preview.size;
  model.preview.bytes = preview.bytes;
  model.preview.format = preview.picture.format;
  model.contentFolder = isFolder;
  model.contentFiles = content.files;
  model.contentBytes = content.bytes;
  return model;
}

// The whole check, once the command line is read: `outcome` is kRun or
// kBadItemId; `pagePath` is null without --page; `loadPictures`: the page
// may load https: pictures; `pageMisplaced`: a "--page" stood after the
// first argument, and was left out.
int CheckModFolder(const RunSettings& settings, const char* programName, ParseOutcome outcome,
                   const char* pagePath, bool loadPictures, bool pageMisplaced) {
  // A mistake in the command line is the program's, as a compiler names
  // itself for a bad option; the folder is checked all the same.
  FileReport commandLineReport{programName, {}};
  if (pageMisplaced) {
    commandLineReport.Add(
        0, true,
        "--page comes first, before modpublish's command line: modpublish-check --page FILE "
        "[-s] [-k] [-c <note>] [-u <steamfileid>] <path>. Standing later, it and its file would be taken for "
        "paths, so the folder is checked without them and no page is written. Put --page FILE "
        "first");
  }
  for (Diagnostic& finding : CheckCommandLine(settings, outcome, platform::kNamesHoldQuotes)) {
    commandLineReport.diagnostics.push_back(std::move(finding));
  }
  const std::string folder = settings.contentDir;
  FileReport descriptionReport{ModFilePath(settings.contentDir, "descript.ion"), {}};
  FileReport previewReport{ModFilePath(settings.contentDir, "steam_logo.png"), {}};
  FileReport folderReport{folder, {}};
  const std::string programFolder = platform::ProgramFolder();
  FileReport libraryReport{programFolder + platform::kSteamLibraryName, {}};
  FileReport appIdReport{"steam_appid.txt", {}};

  uint64_t ignored = 0;
  const platform::PathKind folderKind = platform::StatPath(folder, ignored);
  const bool isFolder = folderKind == platform::PathKind::kFolder;
  if (!isFolder) {
    folderReport.Add(
        0, true,
        std::string(FolderProblem(folderKind)) +
            "; modpublish would have no mod to publish. Give the path of the folder that holds "
            "descript.ion, steam_logo.png and the mod's files");
  }
  const DescriptionResult description =
      CheckDescription(settings.contentDir, descriptionReport.file, descriptionReport);
  if (pagePath != nullptr) {
    // A page written over a file of the mod, or into its folder, would be
    // published with the mod: nothing is written, and nothing else said.
    std::vector<std::string> modFiles = {descriptionReport.file, previewReport.file};
    for (const DescriptionFile& file : description.record.files) {
      modFiles.push_back(file.path);
    }
    if (const std::string problem = PageTargetProblem(pagePath, folder, modFiles);
        !problem.empty()) {
      Print("%s: error: %s\n", Printable(programName).c_str(), problem.c_str());
      return 2;
    }
  }
  const PreviewCheck preview = CheckPreview(previewReport.file);
  previewReport.diagnostics = preview.diagnostics;

  ContentCheck content;
  if (isFolder) {
    content = CheckContent(folder);
    folderReport.diagnostics = content.diagnostics;
    // descript.ion and steam_logo.png are uploaded with the content, but
    // they are not the mod.
    const uint64_t known =
        (platform::StatPath(descriptionReport.file, ignored) == platform::PathKind::kFile ? 1 : 0) +
        (preview.present ? 1 : 0);
    // A folder that couldn't be listed may hold the mod: no guess then.
    if (content.files <= known && !content.incomplete) {
      folderReport.Add(0, false,
                       "the mod folder holds no files besides descript.ion and steam_logo.png, "
                       "so the Workshop item gets no mod content. Put the mod's files in it");
    }
  }

  libraryReport.diagnostics =
      CheckClientLibrary(programFolder, platform::kSteamLibraryName, platform::kLibraryFormat);
  AppIdCheck appId = CheckAppId(std::getenv("SteamAppId"));
  appIdReport.diagnostics = std::move(appId.file);
  FileReport variableReport{"SteamAppId", std::move(appId.variable)};

  FileReport pageReport{pagePath != nullptr ? pagePath : "", {}};
  if (pagePath != nullptr &&
      !WritePageFile(pagePath, BuildPageModel(settings, description, preview, isFolder, content,
                                              loadPictures))) {
    pageReport.Add(0, true,
                   "the page can't be written there. Give a file in a folder that exists and "
                   "can be written to");
  }

  uint64_t errors = 0;
  uint64_t warnings = 0;
  std::vector<const FileReport*> reports = {&commandLineReport, &folderReport, &descriptionReport};
  for (const FileReport& file : description.files) {
    reports.push_back(&file);
  }
  for (const FileReport* report :
       {&previewReport, &libraryReport, &appIdReport, &variableReport, &pageReport}) {
    reports.push_back(report);
  }
  for (const FileReport* report : reports) {
    PrintReport(*report, errors, warnings);
  }
  if (errors + warnings > 0) {
    Print("\n");
  }
  PrintSections(description);
  if (!preview.present) {
    Print("Preview: none\n");
  } else {
    Print("Preview: %s, %s\n", Bytes(preview.size).c_str(),
          DescribePicture(preview.picture).c_str());
  }
  if (isFolder) {
    Print("Content: %s, %s\n", Count(content.files, "file", "files").c_str(),
          Bytes(content.bytes).c_str());
  } else {
    Print("Content: none, %s\n", FolderProblem(folderKind));
  }
  PrintItem(settings, outcome);
  if (settings.changeNote != nullptr) {
    Print("Change note: \"%s\", %s, with every submission\n",
          Excerpt(settings.changeNote, kTitleColumns).c_str(),
          Bytes(std::strlen(settings.changeNote)).c_str());
  }
  if (pagePath != nullptr && pageReport.diagnostics.empty()) {
    Print("Page: %s\n", Printable(pagePath).c_str());
  }
  // Always in this one form, "1 errors" included, so that a script can match
  // the last line with one pattern.
  Print("%" PRIu64 " errors, %" PRIu64 " warnings\n", errors, warnings);
  return errors > 0 ? 1 : 0;
}

}  // namespace

int RunModpublishCheck(int argc, const char* const* argv) {
  // "--page FILE" is the checker's own and comes first, "--load-pictures"
  // right after it; the rest is modpublish's command line, read by
  // modpublish's own parser.
  const char* pagePath = nullptr;
  std::vector<const char*> args(argv, argv + argc);
  const bool page = argc >= 2 && std::string_view(argv[1]) == "--page";
  if (page && argc >= 3) {
    pagePath = argv[2];
    args.erase(args.begin() + 1, args.begin() + 3);
  }
  const bool loadPictures =
      pagePath != nullptr && args.size() >= 2 && std::string_view(args[1]) == "--load-pictures";
  if (loadPictures) {
    args.erase(args.begin() + 1);
  }
  // A "--page" further on (not the value of -u or -c) is the option in the
  // wrong place: told as such, not as paths to quote, and left out with its
  // file.
  bool pageMisplaced = false;
  for (size_t i = 1; i < args.size(); ++i) {
    if (std::string_view(args[i]) == "-u" || std::string_view(args[i]) == "-c") {
      ++i;
    } else if (std::string_view(args[i]) == "--page") {
      args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
                 args.begin() + static_cast<std::ptrdiff_t>(std::min(i + 2, args.size())));
      pageMisplaced = true;
      --i;
    }
  }
  RunSettings settings;
  const char* programName = argc > 0 && argv[0] != nullptr ? argv[0] : "modpublish-check";
  // --load-pictures means nothing without a page to load them in.
  const bool picturesWithoutPage = argc >= 2 && std::string_view(argv[1]) == "--load-pictures";
  const ParseOutcome outcome =
      (page && pagePath == nullptr) || picturesWithoutPage
          ? ParseOutcome::kUsage
          : ParseCommandLine(static_cast<int>(args.size()), args.data(), settings);
  if (outcome == ParseOutcome::kUsage) {
    PrintCheckUsage(programName);
    return 2;
  }
  // The reader answers for the description's own memory; whatever else runs
  // out is the check's, which keeps little, and says so plainly.
  try {
    return CheckModFolder(settings, programName, outcome, pagePath, loadPictures, pageMisplaced);
  } catch (const std::bad_alloc&) {
    Print("Not enough memory to finish the check\n");
    return 1;
  }
}
