#include "app/mod_paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/platform.h"

namespace {

TEST(ResolveModPathsTest, ReadsAsTypedAndHandsOverAbsolute) {
  const std::string sep(1, platform::kPathSeparator);
  const std::string here = std::filesystem::current_path().u8string();
  const std::string root = std::filesystem::current_path().root_path().u8string();
  const struct {
    std::string folder;
    std::string description;
    std::string content;
  } cases[] = {
      {"mod", "mod" + sep + "descript.ion", here + sep + "mod"},
      // The root's descript.ion is read, so the root is uploaded.
      {"", sep + "descript.ion", root},
  };
  for (const auto& c : cases) {
    ModPaths paths;
    ASSERT_TRUE(ResolveModPaths(c.folder.c_str(), paths)) << c.folder;
    EXPECT_EQ(paths.descriptionPath, c.description);
    EXPECT_EQ(paths.contentFolder, c.content);
    EXPECT_EQ(paths.previewPath, c.content + sep + "steam_logo.png");
  }
}

}  // namespace
