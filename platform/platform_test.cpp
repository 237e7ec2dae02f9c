// The file look-ups of the platform seam: both follow links, as the upload
// does, and tell what a link that leads nowhere is.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "tests/support/scratch_folder.h"

namespace {

namespace fs = std::filesystem;

class LookUpTest : public testing::Test {
 protected:
  void SetUp() override {
    std::ofstream(Path("file.txt"), std::ios::binary) << "twelve bytes";
    fs::create_directory(Path("folder"));
    std::error_code error;
    fs::create_symlink("file.txt", Path("file_link"), error);
    fs::create_directory_symlink("folder", Path("folder_link"), error);
    fs::create_symlink("nowhere", Path("dangling"), error);
    fs::create_symlink("circle2", Path("circle1"), error);
    fs::create_symlink("circle1", Path("circle2"), error);
    // Wine's CreateSymbolicLink answers success and makes nothing; Windows
    // makes links only in developer mode or for administrators.
    if (!fs::is_symlink(fs::symlink_status(Path("circle2"), error))) {
      GTEST_SKIP() << "this system makes no symbolic links here";
    }
  }
  std::string Path(const std::string& name) const { return (folder_.Path() / name).string(); }

  ScratchFolder folder_{"platform"};
};

TEST_F(LookUpTest, StatPathFollowsLinks) {
  uint64_t size = 99;
  platform::FileIdentity file;
  platform::FileIdentity linked;
  EXPECT_EQ(platform::StatPath(Path("file.txt"), size, &file), platform::PathKind::kFile);
  EXPECT_EQ(platform::StatPath(Path("file_link"), size, &linked), platform::PathKind::kFile);
  EXPECT_EQ(size, 12u) << "the target's size, not the link's";
  EXPECT_EQ(linked, file);
  platform::FileIdentity folder;
  EXPECT_EQ(platform::StatPath(Path("folder_link"), size, &folder), platform::PathKind::kFolder);
  EXPECT_EQ(size, 0u);
  EXPECT_FALSE(folder == file);
  for (const char* nowhere : {"dangling", "circle1", "missing"}) {
    EXPECT_EQ(platform::StatPath(Path(nowhere), size), platform::PathKind::kMissing) << nowhere;
  }
}

TEST_F(LookUpTest, ListFolderFollowsLinks) {
  std::vector<platform::FolderEntry> entries;
  ASSERT_EQ(platform::ListFolder(folder_.Path().string(), entries), platform::AccessProblem::kNone);
  std::sort(entries.begin(), entries.end(),
            [](const platform::FolderEntry& a, const platform::FolderEntry& b) {
              return a.name < b.name;
            });
  uint64_t size = 0;
  platform::FileIdentity file;
  platform::FileIdentity folder;
  platform::StatPath(Path("file.txt"), size, &file);
  platform::StatPath(Path("folder"), size, &folder);
  const struct {
    const char* name;
    platform::PathKind kind;
    uint64_t size;
    platform::FileIdentity identity;
    bool isLink;
    bool linkLoops;
  } expected[] = {
      {"circle1", platform::PathKind::kMissing, 0, {}, true, true},
      {"circle2", platform::PathKind::kMissing, 0, {}, true, true},
      {"dangling", platform::PathKind::kMissing, 0, {}, true, false},
      {"file.txt", platform::PathKind::kFile, 12, file, false, false},
      {"file_link", platform::PathKind::kFile, 12, file, true, false},
      {"folder", platform::PathKind::kFolder, 0, folder, false, false},
      {"folder_link", platform::PathKind::kFolder, 0, folder, true, false},
  };
  ASSERT_EQ(entries.size(), std::size(expected));
  for (size_t i = 0; i < entries.size(); ++i) {
    SCOPED_TRACE(expected[i].name);
    EXPECT_EQ(entries[i].name, expected[i].name);
    EXPECT_EQ(entries[i].kind, expected[i].kind);
    EXPECT_EQ(entries[i].size, expected[i].size);
    EXPECT_EQ(entries[i].identity, expected[i].identity);
    EXPECT_EQ(entries[i].isLink, expected[i].isLink);
    EXPECT_EQ(entries[i].linkLoops, expected[i].linkLoops);
    // A link that leads nowhere is gone, not unreadable.
    EXPECT_EQ(entries[i].problem, expected[i].kind == platform::PathKind::kMissing
                                      ? platform::AccessProblem::kGone
                                      : platform::AccessProblem::kNone);
  }
}

// A path longer than the system takes says so: over 260 characters on
// Windows (without its long-path setting), over PATH_MAX on POSIX, where
// only folders nested too deep make one. A file listed is opened.
TEST(AccessProblemTest, ListingSaysWhyNot) {
  using platform::AccessProblem;
  ScratchFolder folder{"access"};
  std::ofstream(folder.Path() / "file.txt", std::ios::binary) << "x";
  std::string deep = folder.Path().string();
  for (int level = 0; level < 2100; ++level) {
    deep += platform::kPathSeparator + std::string("d");
  }
  const bool windows = platform::kPathSeparator == '\\';
  std::vector<platform::FolderEntry> entries;
  auto list = [&entries](const std::string& path) {
    return static_cast<int>(platform::ListFolder(path, entries, true));
  };
  EXPECT_EQ(list(deep),
            static_cast<int>(windows ? AccessProblem::kPathTooLong : AccessProblem::kTooDeep));
  EXPECT_EQ(list(deep.substr(0, 300)),
            static_cast<int>(windows ? AccessProblem::kPathTooLong : AccessProblem::kGone));
  ASSERT_EQ(list(folder.Path().string()), static_cast<int>(AccessProblem::kNone));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(static_cast<int>(entries[0].problem), static_cast<int>(AccessProblem::kNone));
}

}  // namespace
