#include "check/content.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

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

TEST_F(CheckContentTest, CountsEveryFileAtAnyDepth) {
  Write("a.txt", 3);
  Write("empty/../b.bin", 0);
  fs::path deep;
  // Deeper than any recursion limit the walk could have, and within the
  // path lengths of every platform.
  for (int level = 0; level < 100; ++level) {
    deep /= "d";
  }
  Write(deep / "deep.txt", 5);
  const ContentCheck check = Check();
  EXPECT_EQ(check.files, 3u);
  EXPECT_EQ(check.bytes, 8u);
  EXPECT_TRUE(check.diagnostics.empty());
}

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
