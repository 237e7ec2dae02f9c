#include "app/run_driver.h"

#include "console/console.h"
#include "workshop/uploader.h"

void RunUpload(bool verbose, int64_t existingId, const char* contentDir, const char* previewPath,
               const ModDescription& modDescription) {
  SteamUploader uploader(verbose);
  if (uploader.Upload(existingId, contentDir, previewPath, modDescription)) {
    Print("Uploading done successfully\n");
  } else if (!verbose) {
    Print("Error occured! Run command again without -s key for verbose output.\n");
  }
}
