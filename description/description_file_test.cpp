#include "description/description_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "description/reader.h"
#include "description/upload_plan.h"
#include "platform/platform.h"
#include "tests/support/scratch_folder.h"

namespace {

// "/" in `path` as the platform's separator.
std::string Native(std::string path) {
  for (char& c : path) {
    c = c == '/' ? platform::kPathSeparator : c;
  }
  return path;
}

TEST(DescriptionFilePathTest, FromTheModFolderUnlessRootedWithEitherSeparator) {
  const bool windows = platform::kPathSeparator == '\\';
  const struct {
    const char* folder;
    const char* named;
    std::string path;
  } cases[] = {
      {"mod", "texts/en.txt", Native("mod/texts/en.txt")},
      {"mod", "texts\\en.txt", Native("mod/texts/en.txt")},
      {"my mod/", "../texts/en.txt", "my mod/" + Native("/../texts/en.txt")},
      {"", "en.txt", Native("/en.txt")},
      {"mod", "/texts/en.txt", Native("/texts/en.txt")},
      {"mod", "\\texts\\en.txt", Native("/texts/en.txt")},
      {"mod", "C:\\texts\\en.txt", windows ? "C:\\texts\\en.txt" : "mod/C:/texts/en.txt"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DescriptionFilePath(c.folder, c.named), c.path) << c.folder << " " << c.named;
  }
}

TEST(MakeDescriptionTextTest, DropsTheMarkCrLfPairsAndTheLastLineEndsOnly) {
  const struct {
    std::string bytes;
    std::string text;
  } cases[] = {
      {"", ""},
      {"\xEF\xBB\xBF", ""},
      {"\xEF\xBB\xBF[h1]A[/h1]\r\nb\r\n\r\n", "[h1]A[/h1]\nb"},
      {"a\n\n\nb\n\n", "a\n\n\nb"},
      {"a\rb\r", "a\rb\r"},                // a lone CR is no line end
      {"a\r\r\nb", "a\r\nb"},              // one pair, one LF
      {"a \t\n", "a \t"},                  // blanks stay
      {"a\xEF\xBB\xBF", "a\xEF\xBB\xBF"},  // a mark inside is text
      {"\xEF\xBB", "\xEF\xBB"},            // half a mark is text
  };
  for (const auto& c : cases) {
    std::string text = c.bytes;
    MakeDescriptionText(text);
    EXPECT_EQ(text, c.text) << testing::PrintToString(c.bytes);
  }
}

TEST(LoadDescriptionFilesTest, ReadsTheFilesOfUploadedSectionsAndTheirPlanTakesThem) {
  ScratchFolder scratch("description-file-");
  const std::filesystem::path mod = scratch.Path() / "mod";
  std::filesystem::create_directories(mod / "texts" / "folder.txt");
  std::ofstream(mod / "texts" / "en.txt", std::ios::binary) << "\xEF\xBB\xBFLine 1\r\nLine 2\r\n";
  DescriptionParser parser;
  parser.Feed(
      "[de]\ntitle = T\ndescription = inline\n"
      "[en]\ndescription = inline\ndescription_file = texts/en.txt\n"
      "[fr]\ndescription_file = texts/missing.txt\n"
      "[it]\ndescription_file = texts/folder.txt\n"
      "[vi]\ndescription_file = texts/never-read.txt\n");
  ModDescription record = parser.Finish();
  const std::string folder = mod.string();

  const DescriptionFile* failed = LoadDescriptionFiles(record, folder, false);
  ASSERT_NE(failed, nullptr);
  EXPECT_EQ(failed->path, DescriptionFilePath(folder, "texts/missing.txt"));
  std::vector<std::string> plan;
  for (const PlannedSection& section : UploadPlan(record)) {
    const PlannedText& text = section.description;
    plan.push_back(std::string(section.name.view()) + " " +
                   (text.file == nullptr ? "-" : std::string(text.file->named)) + " \"" +
                   text.text + "\"@" + std::to_string(text.line));
  }
  EXPECT_EQ(plan,
            (std::vector<std::string>{"de - \"inline\"@3", "en texts/en.txt \"Line 1\nLine 2\"@6",
                                      "fr texts/missing.txt \"\"@8", "it texts/folder.txt \"\"@10",
                                      "vi - \"\"@0"}));
  ASSERT_EQ(record.files.size(), 3u);  // [vi] is skipped: its file is never read
  EXPECT_EQ(record.files[1].status, FileStatus::kMissing);
  EXPECT_EQ(record.files[2].status, FileStatus::kNotAFile);

  // A publish stops at the first file it can't read.
  failed = LoadDescriptionFiles(record, folder, true);
  ASSERT_NE(failed, nullptr);
  EXPECT_EQ(std::string(failed->named), "texts/missing.txt");
  EXPECT_EQ(record.files.size(), 2u);
}

}  // namespace
