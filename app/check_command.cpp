#include "app/check_command.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/command_line.h"
#include "check/mod_check.h"
#include "check/page.h"
#include "console/console.h"
#include "description/language.h"
#include "description/reader.h"
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
  Print("Usage: %s [-h] [--page FILE] <path>\n", programName);
  Print("    <path> is the mod folder you would give modpublish; nothing is uploaded.\n");
  Print("    modpublish's -s and -u <steamfileid> are accepted and ignored.\n");
  Print("    --page FILE, before the rest, writes FILE: an HTML page showing the item\n");
  Print("    as the Workshop would. Nothing else is written.\n");
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
  DescriptionCheck check;
};

DescriptionResult CheckDescription(const std::string& path, FileReport& report) {
  DescriptionResult result;
  uint64_t size = 0;
  const platform::PathKind kind = platform::StatPath(path, size);
  const char* problem = nullptr;
  if (kind == platform::PathKind::kMissing) {
    problem = "the description file is missing";
  } else if (kind != platform::PathKind::kFile) {
    problem = "the description file is not a regular file";
  } else if (std::unique_ptr<std::FILE, FileCloser>(platform::OpenFileForReading(path)) ==
             nullptr) {
    problem = "the description file can't be read";
  }
  if (problem != nullptr) {
    report.Add(0, true,
               std::string(problem) +
                   "; modpublish stops with \"File not found\" before uploading anything. "
                   "Create descript.ion with a section such as [en] holding \"title\" and "
                   "\"description\" keys");
    return result;
  }
  try {
    // Read once, by the reader itself; the check keeps no values of its own.
    result.record = LoadModDescription(path, false, &result.check);
  } catch (int) {
    // Gone between the look and the read; the reader has said so.
    report.Add(0, true, "the description file can't be read; modpublish would stop there");
    return result;
  } catch (const std::bad_alloc&) {
    report.Add(0, true,
               "the description file is too big for the memory available; modpublish stops "
               "with \"Not enough memory to read\" before uploading anything. Shorten it");
    return result;
  }
  result.check.Conclude(result.record, size);
  result.read = true;
  report.diagnostics = result.check.diagnostics();
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
    ++(diagnostic.error ? errors : warnings);
    if (diagnostic.line == 0) {
      Print("%s: %s: %s\n", report.file.c_str(), severity, diagnostic.message.c_str());
    } else {
      Print("%s:%" PRIu64 ": %s: %s\n", report.file.c_str(), diagnostic.line, severity,
            diagnostic.message.c_str());
    }
  }
}

void PrintSections(const DescriptionResult& description) {
  if (!description.read) {
    Print("Sections to upload: none, the description file can't be read\n");
    return;
  }
  std::vector<std::string> uploaded;
  std::vector<std::string> skipped;
  for (const auto& [name, section] : description.record.sections) {
    const char* language = SteamLanguageFor(name);
    const DescriptionView& view = description.check.view();
    auto seen = view.find(std::string_view(name));
    const std::string line =
        seen == view.end() ? "" : " (line " + std::to_string(seen->second.firstLine) + ")";
    if (name.empty()) {
      skipped.push_back("[]" + line + ": no section name");
      continue;
    }
    if (*language == '\0') {
      skipped.push_back("[" + Excerpt(name, 40) + "]" + line + ": not a known language code");
      continue;
    }
    auto title = section.find("title");
    auto text = section.find("description");
    std::string entry = std::string(std::string_view(name)) + " (" + language + "): ";
    entry += title == section.end() ? "no title (\"No title\" is uploaded)"
                                    : "title \"" + Excerpt(title->second, kTitleColumns) + "\"";
    entry += text == section.end() ? ", no description (\"No description\" is uploaded)"
                                   : ", description " + Bytes(text->second.size());
    uploaded.push_back(std::move(entry));
  }
  if (uploaded.empty()) {
    Print("Sections to upload: none\n");
  } else {
    Print("Sections to upload, in this order:\n");
    for (const std::string& entry : uploaded) {
      Print("    %s\n", entry.c_str());
    }
  }
  if (!skipped.empty()) {
    Print("Sections skipped:\n");
    for (const std::string& entry : skipped) {
      Print("    %s\n", entry.c_str());
    }
  }
}

// The page's model from what the checker found: the one place that says
// which sections the upload sends, with which texts, for the page. It
// follows the uploader's rule (no name or no Steam language: skipped; a
// missing "title" or "description" sends "No title" or "No description"),
// read off the same record the summary above is printed from.
PageModel BuildPageModel(const RunSettings& settings, const DescriptionResult& description,
                         const std::string& previewPath, const PreviewResult& preview,
                         bool isFolder, const ContentTotals& content) {
  static constexpr std::string_view kNoTitle = "No title";
  static constexpr std::string_view kNoDescription = "No description";
  PageModel model;
  model.folder = settings.contentDir;
  model.existingId = settings.existingId;
  model.descriptionRead = description.read;
  if (description.read) {
    for (const auto& [name, section] : description.record.sections) {
      const char* language = SteamLanguageFor(name);
      if (name.empty() || *language == '\0') {
        const DescriptionView& view = description.check.view();
        auto seen = view.find(std::string_view(name));
        model.skipped.push_back(
            PageSkippedSection{name, seen == view.end() ? 0 : seen->second.firstLine,
                               name.empty() ? "no section name" : "not a known language code"});
        continue;
      }
      auto title = section.find("title");
      auto text = section.find("description");
      PageSection page;
      page.name = name;
      page.language = language;
      page.titleIsFallback = title == section.end();
      page.title = page.titleIsFallback ? kNoTitle : title->second.view();
      page.descriptionIsFallback = text == section.end();
      page.description = page.descriptionIsFallback ? kNoDescription : text->second.view();
      model.sections.push_back(page);
    }
  }
  model.preview.present = preview.present;
  model.preview.size = preview.size;
  if (preview.present && preview.size < kPreviewLimit) {
    std::unique_ptr<std::FILE, FileCloser> file(platform::OpenFileForReading(previewPath));
    if (file != nullptr) {
      model.preview.bytes.resize(preview.size);
      model.preview.bytes.resize(
          std::fread(model.preview.bytes.data(), 1, model.preview.bytes.size(), file.get()));
      model.preview.format = PictureFormatOf(model.preview.bytes);
    }
  }
  model.contentFolder = isFolder;
  model.contentFiles = content.files;
  model.contentBytes = content.bytes;
  return model;
}

}  // namespace

int RunModpublishCheck(int argc, const char* const* argv) {
  // "--page FILE" is the checker's own and comes first; the rest is
  // modpublish's command line, read by modpublish's own parser.
  const char* pagePath = nullptr;
  std::vector<const char*> args(argv, argv + argc);
  const bool page = argc >= 2 && std::string_view(argv[1]) == "--page";
  if (page && argc >= 3) {
    pagePath = argv[2];
    args.erase(args.begin() + 1, args.begin() + 3);
  }
  RunSettings settings;
  if ((page && pagePath == nullptr) ||
      !ParseCommandLine(static_cast<int>(args.size()), args.data(), settings)) {
    PrintCheckUsage(argc > 0 && argv[0] != nullptr ? argv[0] : "modpublish-check");
    return 2;
  }
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

  FileReport pageReport{pagePath != nullptr ? pagePath : "", {}};
  if (pagePath != nullptr &&
      !WritePageFile(pagePath, BuildPageModel(settings, description, previewReport.file, preview,
                                              isFolder, content))) {
    pageReport.Add(0, true,
                   "the page can't be written there. Give a file in a folder that exists and "
                   "can be written to");
  }

  uint64_t errors = 0;
  uint64_t warnings = 0;
  for (const FileReport* report : {&folderReport, &descriptionReport, &previewReport,
                                   &libraryReport, &appIdReport, &pageReport}) {
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
  if (pagePath != nullptr && pageReport.diagnostics.empty()) {
    Print("Page: %s\n", pagePath);
  }
  // Always in this one form, "1 errors" included, so that a script can match
  // the last line with one pattern.
  Print("%" PRIu64 " errors, %" PRIu64 " warnings\n", errors, warnings);
  return errors > 0 ? 1 : 0;
}
