// Test support: a private folder for one test's files.
#ifndef MODPUBLISH_TESTS_SUPPORT_SCRATCH_FOLDER_H_
#define MODPUBLISH_TESTS_SUPPORT_SCRATCH_FOLDER_H_

#include <filesystem>
#include <string>

// A fresh, empty folder below the system's temporary folder, named
// `prefix` plus a part no other folder there has (CTest runs test programs
// side by side). The folder and everything in it go with the object; a
// failure to remove them is ignored, as it can't change a test's verdict.
class ScratchFolder {
 public:
  // Throws std::filesystem::filesystem_error when no folder can be made.
  explicit ScratchFolder(const std::string& prefix);
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

#endif  // MODPUBLISH_TESTS_SUPPORT_SCRATCH_FOLDER_H_
