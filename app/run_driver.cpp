#include "app/run_driver.h"

#include "console/console.h"
#include "workshop/uploader.h"

bool RunUpload(bool verbose, int64_t existingId, const char* contentDir, const char* previewPath,
               const ModDescription& modDescription, const UploadOptions& options) {
  SteamUploader uploader(verbose);
  if (uploader.Upload(existingId, contentDir, previewPath, modDescription, options)) {
    Print("Uploading done successfully\n");
    return true;
  }
  if (!verbose) {
    Print("Error occured! Run command again without -s key for verbose output.\n");
  }
  return false;
}
