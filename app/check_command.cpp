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
#include "check/finding.h"
#include "check/folder_check.h"
#include "check/preview.h"
#include "console/console.h"
#include "description/description.h"
#include "description/upload_plan.h"
#include "platform/platform.h"

#ifndef MODPUBLISH_VERSION
#define MODPUBLISH_VERSION "0.0.0"
#endif

namespace {

constexpr size_t kTitleColumns = 50;

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

void PrintFindings(const FileFindings& findings, uint64_t& errors, uint64_t& warnings) {
  // The name as given or found; a line break in it must not start a line.
  const std::string file = Printable(findings.file);
  for (const Diagnostic& diagnostic : findings.diagnostics) {
    const char* severity = diagnostic.error() ? "error" : "warning";
    // A note stands for findings that are counted but not shown.
    (diagnostic.error() ? errors : warnings) += diagnostic.hidden == 0 ? 1 : diagnostic.hidden;
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
  if (file->status != FileStatus::kRead) {
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
void PrintSections(const FolderReport& report) {
  if (!report.descriptionRead) {
    Print("Sections to upload: none, the description file can't be read\n");
    return;
  }
  const DescriptionCheck::PlanSummary& plan = report.plan;
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
    Print("    [%s]%s: %s\n", Excerpt(section.name, 40).c_str(), line.c_str(),
          SkipReason(section.skip));
  }
  if (plan.moreSkipped != 0) {
    Print("    and %s, not shown\n",
          Count(plan.moreSkipped, "more section", "more sections").c_str());
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

// The whole check, once the command line is read: `outcome` is kRun or
// kBadItemId; `pagePath` is null without --page; `loadPictures`: the page
// may load https: pictures; `pageMisplaced`: a "--page" stood after the
// first argument, and was left out.
int CheckAndPrint(const RunSettings& settings, const char* programName, ParseOutcome outcome,
                  const char* pagePath, bool loadPictures, bool pageMisplaced) {
  FolderCheckInput input;
  input.folder = settings.contentDir;
  input.descriptionPath = ModFilePath(settings.contentDir, "descript.ion");
  input.previewPath = ModFilePath(settings.contentDir, "steam_logo.png");
  input.existingId = settings.existingId;
  input.keepVisibility = settings.keepVisibility;
  input.steamAppId = std::getenv("SteamAppId");
  input.pagePath = pagePath;
  input.loadPictures = loadPictures;
  input.programName = programName;
  if (pageMisplaced) {
    input.commandLine.push_back(Diagnostic{
        0, FindingKind::kCommandLine,
        "--page comes first, before modpublish's command line: modpublish-check --page FILE "
        "[-s] [-k] [-c <note>] [-u <steamfileid>] <path>. Standing later, it and its file would "
        "be taken for paths, so the folder is checked without them and no page is written. Put "
        "--page FILE first"});
  }
  for (Diagnostic& finding : CheckCommandLine(settings, outcome, platform::kNamesHoldQuotes)) {
    input.commandLine.push_back(std::move(finding));
  }
  FolderReport report;
  CheckModFolder(input, report);
  if (!report.pageRefusal.empty()) {
    Print("%s: error: %s\n", Printable(programName).c_str(), report.pageRefusal.c_str());
    return 2;
  }

  uint64_t errors = 0;
  uint64_t warnings = 0;
  for (const FileFindings& file : report.files) {
    PrintFindings(file, errors, warnings);
  }
  if (errors + warnings > 0) {
    Print("\n");
  }
  PrintSections(report);
  if (!report.preview.present) {
    Print("Preview: none\n");
  } else {
    Print("Preview: %s, %s\n", Bytes(report.preview.size).c_str(),
          DescribePicture(report.preview.picture).c_str());
  }
  if (report.folderProblem == nullptr) {
    Print("Content: %s, %s\n", Count(report.content.files, "file", "files").c_str(),
          Bytes(report.content.bytes).c_str());
  } else {
    Print("Content: none, %s\n", report.folderProblem);
  }
  PrintItem(settings, outcome);
  if (settings.changeNote != nullptr) {
    Print("Change note: \"%s\", %s, with every submission\n",
          Excerpt(settings.changeNote, kTitleColumns).c_str(),
          Bytes(std::strlen(settings.changeNote)).c_str());
  }
  if (pagePath != nullptr && report.pageWritten) {
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
    return CheckAndPrint(settings, programName, outcome, pagePath, loadPictures, pageMisplaced);
  } catch (const std::bad_alloc&) {
    Print("Not enough memory to finish the check\n");
    return 1;
  }
}
