#include "app/publish_command.h"

#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/description_echo.h"
#include "app/mod_paths.h"
#include "app/run_driver.h"
#include "check/steam_limits.h"
#include "console/console.h"
#include "description/description_file.h"
#include "description/reader.h"

namespace {

// The line that ends a run at a file it can't do without, before the client
// library is even loaded: a file too big for the memory left (a single line
// of many gigabytes, say) ends it as cleanly as a missing one; missing, not a
// regular file or unreadable all read as not found.
void PrintUnread(FileStatus status, const std::string& path) {
  Print(status == FileStatus::kTooBig ? "Not enough memory to read %s\n" : "File not found: %s\n",
        path.c_str());
}

}  // namespace

int RunModpublish(int argc, const char* const* argv) {
  RunSettings settings;
  switch (ParseCommandLine(argc, argv, settings)) {
    case ParseOutcome::kUsage:
      PrintUsage(argc > 0 && argv[0] != nullptr ? argv[0] : "modpublish");
      return 0;
    case ParseOutcome::kBadItemId:
      Print("%s\n", BadItemIdMessage(settings.badItemId).c_str());
      return 2;
    case ParseOutcome::kRun:
      break;
  }
  ModPaths paths;
  if (!ResolveModPaths(settings.contentDir, paths)) {
    Print(
        "The current folder can't be determined, so the mod folder's path can't be made "
        "absolute for Steam. Run modpublish from an existing folder, or give the full path\n");
    return 1;
  }
  const std::string& descriptionPath = paths.descriptionPath;
  ModDescription modDescription;
  DescriptionEcho echo;
  const FileStatus status =
      LoadModDescription(descriptionPath, modDescription, settings.verbose ? &echo : nullptr);
  if (status != FileStatus::kRead) {
    PrintUnread(status, descriptionPath);
    return 1;
  }
  // The description files, read before anything touches Steam: one that
  // can't be read ends the run as descript.ion does.
  if (const DescriptionFile* failed =
          LoadDescriptionFiles(modDescription, settings.contentDir, /*stopAtFailure=*/true)) {
    PrintUnread(failed->status, failed->path);
    return 1;
  }
  // What Steam would refuse for sure stops the run before anything is sent:
  // an item left half updated is worse than none.
  const std::vector<std::string> failures = SureFailures(
      modDescription, ModFilePath(settings.contentDir, "steam_logo.png"), settings.changeNote);
  for (const std::string& failure : failures) {
    Print("%s\n", failure.c_str());
  }
  if (!failures.empty()) {
    return 1;
  }
  if (settings.keepVisibility && settings.existingId == 0) {
    Print("-k keeps the visibility of an item updated with -u; a new item is made private\n");
  }
  UploadOptions options;
  options.changeNote = settings.changeNote;
  options.keepVisibility = settings.keepVisibility;
  return RunUpload(settings.verbose, settings.existingId, paths.contentFolder.c_str(),
                   paths.previewPath.c_str(), modDescription, options)
             ? 0
             : 1;
}
