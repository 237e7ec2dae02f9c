#include "check/content.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "tests/support/scratch_folder.h"

namespace {

namespace fs = std::filesystem;

class CheckContentTest : public testing::Test {
 protected:
  void Write(const fs::path& name, size_t bytes) {
    fs::create_directories((folder_.Path() / name).parent_path());
    std::ofstream(folder_.Path() / name, std::ios::binary) << std::string(bytes, 'x');
  }
  // Makes `name` a symbolic link to `target`; false where the system makes
  // none (Wine's CreateSymbolicLink answers success and makes nothing;
  // Windows needs developer mode).
  bool Link(const fs::path& name, const fs::path& target, bool folder = false) {
    std::error_code error;
    if (folder) {
      fs::create_directory_symlink(target, folder_.Path() / name, error);
    } else {
      fs::create_symlink(target, folder_.Path() / name, error);
    }
    return !error && fs::is_symlink(fs::symlink_status(folder_.Path() / name));
  }
  ContentCheck Check() { return CheckContent(folder_.Path().string()); }

  ScratchFolder folder_{"content"};
};

// The counts at any depth, and what can't be read, are the golden cases'
// (content_links_followed, content_unreadable_*), which run as a user that
// permissions stop.
TEST_F(CheckContentTest, FollowsLinksAsTheUploadCopies) {
  Write("data/a.txt", 10);
  Write("data/sub/b.txt", 20);
  if (!Link("copy.txt", "data/a.txt") || !Link("again", "data", true) ||
      !Link("data/sub/twice", "../sub", true)) {
    GTEST_SKIP() << "this system makes no symbolic links here";
  }
  // In name order: again -> data counts a and sub/b, and finds that
  // sub/twice leads back to sub; copy.txt counts a; data counts a and
  // sub/b once more, without walking them again.
  const ContentCheck check = Check();
  EXPECT_EQ(check.files, 5u);
  EXPECT_EQ(check.bytes, 10u + 20 + 10 + 10 + 20);
  const std::string separator(1, static_cast<char>(fs::path::preferred_separator));
  ASSERT_EQ(check.diagnostics.size(), 1u);
  EXPECT_NE(check.diagnostics[0].message.find(
                "the mod folder holds 1 link back to a folder that holds it, which a copy would "
                "follow forever: \"again" +
                separator + "sub" + separator + "twice\";"),
            std::string::npos)
      << check.diagnostics[0].message;
}

// A folder reached through many links is walked once: twenty levels of
// two links each stand for 2^20 copies of one file.
TEST_F(CheckContentTest, ManyPathsToOneFolderCostOneWalk) {
  Write("f0/file.txt", 1);
  for (int level = 1; level <= 20; ++level) {
    const std::string below = "../f" + std::to_string(level - 1);
    fs::create_directory(folder_.Path() / ("f" + std::to_string(level)));
    const std::string name = "f" + std::to_string(level) + "/";
    if (!Link(name + "x", below, true) || !Link(name + "y", below, true)) {
      GTEST_SKIP() << "this system makes no symbolic links here";
    }
  }
  const ContentCheck check = Check();
  // f0..f20 hold 1, 2, 4, ... 2^20 copies.
  EXPECT_EQ(check.files, (uint64_t{1} << 21) - 1);
  EXPECT_TRUE(check.diagnostics.empty());
}

// Everything uploaded that is almost never meant to be is named with its
// size, in any letter case, look-alikes not; the first 20 are shown, the
// rest counted in one note.
TEST_F(CheckContentTest, WarnsOfWhatPlayersNeverNeed) {
  Write(".git/HEAD", 23);
  Write(".git/objects/ab/cd", 10);
  Write("data/.SVN/entries", 7);
  Write("data/DESKTOP.INI", 90);
  Write("sub/.DS_Store", 6);
  Write(".gitignore", 4);       // kept with the mod's sources, not a folder of them
  Write(".hg", 3);              // a file, not Mercurial's folder
  Write("Thumbs.db/x.txt", 1);  // a folder, not Windows' cache
  for (int folder = 10; folder < 30; ++folder) {
    Write(fs::path("z" + std::to_string(folder)) / "Thumbs.db", 2048);
  }
  const ContentCheck check = Check();
  const std::string separator(1, static_cast<char>(fs::path::preferred_separator));
  const std::string expected[] = {
      "\".git\" (2 files, 33 bytes) is a version-control folder (Git)",
      "\"data" + separator + ".SVN\" (1 file, 7 bytes) is a version-control folder (Subversion)",
      "\"data" + separator + "DESKTOP.INI\" (90 bytes) is Windows' file of how a folder looks",
      "\"sub" + separator + ".DS_Store\" (6 bytes) is macOS's file of how the Finder shows",
      "\"z10" + separator + "Thumbs.db\" (2048 bytes) is Windows' cache of picture previews",
  };
  ASSERT_EQ(check.diagnostics.size(), 21u);
  for (size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(check.diagnostics[i].message.rfind(expected[i], 0), 0u)
        << "expected " << expected[i] << "...\n"
        << check.diagnostics[i].message;
  }
  EXPECT_EQ(check.diagnostics[20].message,
            "4 more entries that players never need are uploaded too; they are counted, not "
            "shown");
  EXPECT_EQ(check.diagnostics[20].hidden, 4u);
  EXPECT_FALSE(check.diagnostics[0].error() || check.diagnostics[20].error() || check.incomplete);
}

// Folders nested past the longest path the system takes (PATH_MAX;
// MAX_PATH on Windows) are named so, not blamed on permissions. No path
// reaches the deepest of them, so they are made and removed from inside.
TEST_F(CheckContentTest, FoldersNestedTooDeepAreNamedSo) {
  const int levels = fs::path::preferred_separator == '\\' ? 140 : 2200;
  const fs::path start = fs::current_path();
  auto descend = [&](int steps, bool make) {
    fs::current_path(folder_.Path());
    std::error_code error;
    int step = 0;
    for (; step < steps && !error; ++step) {
      if (make) {
        fs::create_directory("d", error);
      }
      fs::current_path("d", error);
    }
    return error ? step - 1 : step;
  };
  const int made = descend(levels, true);
  fs::current_path(start);
  const ContentCheck check = Check();
  descend(made, false);
  for (int level = 0; level < made; ++level) {
    fs::current_path("..");
    fs::remove("d");
  }
  fs::current_path(start);
  if (made < levels) {
    GTEST_SKIP() << "this system makes no folders that deep";
  }
  ASSERT_EQ(check.diagnostics.size(), 1u);
  EXPECT_NE(check.diagnostics[0].message.find(": its path is longer than"), std::string::npos)
      << check.diagnostics[0].message;
  EXPECT_TRUE(check.incomplete);
}

TEST_F(CheckContentTest, ControlBytesInNamesAreEscaped) {
  std::error_code error;
  fs::create_directory(folder_.Path() / "line\nbreak", error);
  if (error || !Link(fs::path("line\nbreak") / "gone", "nowhere")) {
    GTEST_SKIP() << "this system takes no line break in a name, or makes no symbolic links here";
  }
  const ContentCheck check = Check();
  ASSERT_EQ(check.diagnostics.size(), 1u);
  EXPECT_NE(check.diagnostics[0].message.find("\"line\\x0Abreak/gone\""), std::string::npos)
      << check.diagnostics[0].message;
}

}  // namespace
