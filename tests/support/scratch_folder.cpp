#include "tests/support/scratch_folder.h"

#include <random>
#include <system_error>

ScratchFolder::ScratchFolder(const std::string& prefix) {
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  std::random_device seed;
  std::mt19937_64 random(seed());
  // create_directory answers false for a name that is taken, so a clash
  // with another test program's folder draws a new name instead of sharing
  // the folder.
  for (;;) {
    std::filesystem::path candidate = base / (prefix + "-" + std::to_string(random()));
    if (std::filesystem::create_directory(candidate)) {
      path_ = candidate;
      return;
    }
  }
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}
