#include "app/check_command.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "app/command_line.h"
#include "check/mod_check.h"
#include "console/console.h"
#include "description/reader.h"
#include "description/upload_plan.h"
#include "platform/platform.h"

#ifndef MODPUBLISH_VERSION
#define MODPUBLISH_VERSION "0.0.0"
#endif

namespace {

constexpr size_t kTitleColumns = 50;
// Folders nested deeper than this are not counted: only a link loop that
// slipped through would go so deep.
constexpr int kMaxFolderDepth = 64;

// The findings about one file, printed under its name.
struct FileReport {
  std::string file;
  std::vector<Diagnostic> diagnostics;

  void Add(uint64_t line, bool error, std::string message) {
    diagnostics.push_back(Diagnostic{line, error, std::move(message)});
  }
};

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

void PrintCheckUsage(const char* programName) {
  Print("modpublish-check %s - finds what would go wrong when publishing a mod folder\n",
        MODPUBLISH_VERSION);
  Print("Made by the modpublish developers\n");
  Print("\n");
  Print("Usage: %s [-h] <path>\n", programName);
  Print("    <path> is the mod folder you would give modpublish; nothing is uploaded\n");
  Print("    or written. modpublish's -s and -u <steamfileid> are accepted and ignored.\n");
  Print("Exit status: 0 no errors, 1 errors found, 2 this text.\n");
}

const char* Plural(uint64_t count, const char* one, const char* many) {
  return count == 1 ? one : many;
}

std::string Bytes(uint64_t count) {
  return std::to_string(count) + Plural(count, " byte", " bytes");
}

// What the description file holds, or why there is nothing.
struct DescriptionResult {
  bool read = false;
  ModDescription record;
};

DescriptionResult CheckDescription(const std::string& path, FileReport& report) {
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
  uint64_t size = 0;
  platform::StatPath(path, size);
  check.Conclude(result.record, size);
  result.read = true;
  report.diagnostics = check.diagnostics();
  return result;
}

struct PreviewResult {
  bool present = false;
  uint64_t size = 0;
  PngHeader png;
};

PreviewResult CheckPreview(const std::string& path, FileReport& report) {
  PreviewResult result;
  const char* fix =
      " modpublish would fail at its last step, after the content and the descriptions were "
      "uploaded. Save a square PNG picture under 1 MB (1048576 bytes) there";
  const platform::PathKind kind = platform::StatPath(path, result.size);
  std::unique_ptr<std::FILE, FileCloser> file;
  if (kind == platform::PathKind::kFile) {
    file.reset(platform::OpenFileForReading(path));
  }
  if (kind == platform::PathKind::kMissing) {
    report.Add(0, true, std::string("the preview picture is missing;") + fix);
    return result;
  }
  if (kind != platform::PathKind::kFile || file == nullptr) {
    report.Add(0, true,
               std::string(kind == platform::PathKind::kFile ? "the preview picture can't be read;"
                                                             : "the preview picture is not a "
                                                               "regular file;") +
                   fix);
    return result;
  }
  result.present = true;
  if (result.size >= kPreviewLimit) {
    report.Add(0, true,
               "the preview picture is " + Bytes(result.size) +
                   "; Steam refuses previews of 1 MB (1048576 bytes) or more, and the publish "
                   "fails at its last step, after everything else was uploaded. Make it smaller");
  }
  // Only the header is read, whatever the file's size.
  char head[kPngHeaderBytes];
  const size_t got = std::fread(head, 1, sizeof head, file.get());
  result.png = ReadPngHeader(std::string_view(head, got));
  if (!result.png.isPng) {
    report.Add(0, false,
               "the preview picture is not a PNG file (no PNG signature and header at its "
               "start); the Workshop may show no preview. Save it as PNG");
  } else if (result.png.width != result.png.height) {
    report.Add(0, false,
               "the preview picture is " + std::to_string(result.png.width) + "x" +
                   std::to_string(result.png.height) +
                   " pixels, not square; the Workshop shows previews square, so it will look "
                   "cropped or squeezed. Make it square");
  }
  return result;
}

struct ContentTotals {
  uint64_t files = 0;
  uint64_t bytes = 0;
};

void CountFolder(const std::string& folder, int depth, ContentTotals& totals) {
  std::vector<platform::FolderEntry> entries;
  if (depth > kMaxFolderDepth || !platform::ListFolder(folder, entries)) {
    return;
  }
  for (const platform::FolderEntry& entry : entries) {
    if (entry.kind == platform::PathKind::kFile) {
      ++totals.files;
      totals.bytes += entry.size;
    } else if (entry.kind == platform::PathKind::kFolder && !entry.isLink) {
      // A linked folder is not followed: it could lead back up.
      CountFolder(folder + platform::kPathSeparator + entry.name, depth + 1, totals);
    }
  }
}

void PrintReport(const FileReport& report, uint64_t& errors, uint64_t& warnings) {
  for (const Diagnostic& diagnostic : report.diagnostics) {
    const char* severity = diagnostic.error ? "error" : "warning";
    // A note stands for findings that are counted but not shown.
    (diagnostic.error ? errors : warnings) += diagnostic.hidden == 0 ? 1 : diagnostic.hidden;
    if (diagnostic.hidden != 0) {
      severity = "note";
    }
    if (diagnostic.line == 0) {
      Print("%s: %s: %s\n", report.file.c_str(), severity, diagnostic.message.c_str());
    } else {
      Print("%s:%" PRIu64 ": %s: %s\n", report.file.c_str(), diagnostic.line, severity,
            diagnostic.message.c_str());
    }
  }
}

// The upload plan: the sections to upload in their order, then those that
// will be skipped. Walks the plan twice rather than keep any of it.
void PrintSections(const DescriptionResult& description) {
  if (!description.read) {
    Print("Sections to upload: none, the description file can't be read\n");
    return;
  }
  const UploadPlan plan(description.record);
  bool any = false;
  for (const PlannedSection& section : plan) {
    if (section.skip != SectionSkip::kNone) {
      continue;
    }
    if (!any) {
      Print("Sections to upload, in this order:\n");
      any = true;
    }
    std::string entry =
        std::string(std::string_view(section.name)) + " (" + section.language + "): ";
    entry += section.title.fromKey
                 ? "title \"" + Excerpt(section.title.stored, kTitleColumns) + "\""
                 : std::string("no title (\"") + section.title.text + "\" is uploaded)";
    entry +=
        section.description.fromKey
            ? ", description " + Bytes(section.description.stored.size())
            : std::string(", no description (\"") + section.description.text + "\" is uploaded)";
    Print("    %s\n", entry.c_str());
  }
  if (!any) {
    Print("Sections to upload: none\n");
  }
  any = false;
  for (const PlannedSection& section : plan) {
    if (section.skip == SectionSkip::kNone) {
      continue;
    }
    if (!any) {
      Print("Sections skipped:\n");
      any = true;
    }
    const std::string line = " (line " + std::to_string(section.line) + ")";
    if (section.skip == SectionSkip::kNoName) {
      Print("    []%s: no section name\n", line.c_str());
    } else {
      Print("    [%s]%s: not a known language code\n", Excerpt(section.name, 40).c_str(),
            line.c_str());
    }
  }
}

int CheckModFolder(const RunSettings& settings) {
  const std::string folder = settings.contentDir;
  FileReport descriptionReport{ModFilePath(settings.contentDir, "descript.ion"), {}};
  FileReport previewReport{ModFilePath(settings.contentDir, "steam_logo.png"), {}};
  FileReport folderReport{folder, {}};
  const std::string programFolder = platform::ProgramFolder();
  FileReport libraryReport{programFolder + platform::kSteamLibraryName, {}};
  FileReport appIdReport{"steam_appid.txt", {}};

  uint64_t ignored = 0;
  const bool isFolder = platform::StatPath(folder, ignored) == platform::PathKind::kFolder;
  if (!isFolder) {
    folderReport.Add(0, true,
                     "no such folder; modpublish would have no mod to publish. Give the path "
                     "of the folder that holds descript.ion, steam_logo.png and the mod's files");
  }
  const DescriptionResult description = CheckDescription(descriptionReport.file, descriptionReport);
  const PreviewResult preview = CheckPreview(previewReport.file, previewReport);

  ContentTotals content;
  if (isFolder) {
    CountFolder(folder, 0, content);
    // descript.ion and steam_logo.png are uploaded with the content, but
    // they are not the mod.
    const uint64_t known =
        (platform::StatPath(descriptionReport.file, ignored) == platform::PathKind::kFile ? 1 : 0) +
        (preview.present ? 1 : 0);
    if (content.files <= known) {
      folderReport.Add(0, false,
                       "the mod folder holds no files besides descript.ion and steam_logo.png, "
                       "so the Workshop item gets no mod content. Put the mod's files in it");
    }
  }

  if (programFolder.empty() ||
      platform::StatPath(libraryReport.file, ignored) != platform::PathKind::kFile) {
    libraryReport.Add(0, false,
                      std::string("the Steam client library is not beside modpublish, so the "
                                  "\"Initializing SteamAPI\" step will fail. Copy ") +
                          platform::kSteamLibraryName +
                          " from the game's installation folder into this folder");
  }
  const char* appId = std::getenv("SteamAppId");
  if (platform::StatPath("steam_appid.txt", ignored) != platform::PathKind::kFile &&
      (appId == nullptr || *appId == '\0')) {
    appIdReport.Add(0, false,
                    "there is no steam_appid.txt in the current folder and SteamAppId is not "
                    "set, so the \"Initializing SteamAPI\" step will fail. Run modpublish from "
                    "a folder holding steam_appid.txt with the game's app id, or set SteamAppId");
  }

  uint64_t errors = 0;
  uint64_t warnings = 0;
  for (const FileReport* report :
       {&folderReport, &descriptionReport, &previewReport, &libraryReport, &appIdReport}) {
    PrintReport(*report, errors, warnings);
  }
  if (errors + warnings > 0) {
    Print("\n");
  }
  PrintSections(description);
  if (!preview.present) {
    Print("Preview: none\n");
  } else if (preview.png.isPng) {
    Print("Preview: %s, PNG %" PRIu32 "x%" PRIu32 "\n", Bytes(preview.size).c_str(),
          preview.png.width, preview.png.height);
  } else {
    Print("Preview: %s, not a PNG\n", Bytes(preview.size).c_str());
  }
  if (isFolder) {
    Print("Content: %" PRIu64 " %s, %s\n", content.files, Plural(content.files, "file", "files"),
          Bytes(content.bytes).c_str());
  } else {
    Print("Content: none, no such folder\n");
  }
  // Always in this one form, "1 errors" included, so that a script can match
  // the last line with one pattern.
  Print("%" PRIu64 " errors, %" PRIu64 " warnings\n", errors, warnings);
  return errors > 0 ? 1 : 0;
}

}  // namespace

int RunModpublishCheck(int argc, const char* const* argv) {
  RunSettings settings;
  if (!ParseCommandLine(argc, argv, settings)) {
    PrintCheckUsage(argc > 0 && argv[0] != nullptr ? argv[0] : "modpublish-check");
    return 2;
  }
  // The reader answers for the description's own memory; whatever else runs
  // out is the check's, which keeps little, and says so plainly.
  try {
    return CheckModFolder(settings);
  } catch (const std::bad_alloc&) {
    Print("Not enough memory to finish the check\n");
    return 1;
  }
}
