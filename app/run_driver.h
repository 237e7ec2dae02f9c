// The one upload run of an invocation.
#ifndef MODPUBLISH_APP_RUN_DRIVER_H_
#define MODPUBLISH_APP_RUN_DRIVER_H_

#include <cstdint>

#include "description/description.h"
#include "workshop/uploader.h"

// Runs SteamUploader::Upload once with these settings and prints the
// verdict: "Uploading done successfully\n" after success (in every mode),
// the hint to run again without -s after a failure in silent mode, nothing
// more after a failure in verbose mode. The uploader is torn down before
// returning; the Steam client library is never shut down. Returns whether
// the upload succeeded.
bool RunUpload(bool verbose, int64_t existingId, const char* contentDir, const char* previewPath,
               const ModDescription& modDescription, const UploadOptions& options);

#endif  // MODPUBLISH_APP_RUN_DRIVER_H_
