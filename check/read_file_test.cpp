#include "check/read_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "tests/support/scratch_folder.h"

namespace {

// Both kinds of room read the same bytes: the whole file, or its first
// `limit` bytes with the whole size told, at sizes around the reader's
// 64 KiB chunks.
TEST(ReadRegularFileTest, ReadsTheStartAndTellsTheWholeSize) {
  const ScratchFolder scratch("modpublish-read-file-");
  const std::string path = (scratch.Path() / "file.bin").string();
  struct Case {
    size_t size;
    size_t limit;
  };
  const Case cases[] = {{0, 16},          {1, 16},          {16, 16},
                        {17, 16},         {65535, 1 << 20}, {65537, 1 << 20},
                        {200000, 200000}, {200000, 65536},  {200000, 1 << 20}};
  for (const Case& c : cases) {
    std::string content(c.size, '\0');
    for (size_t i = 0; i < c.size; ++i) {
      content[i] = static_cast<char>(i * 7 + i / 251);
    }
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
    const std::string expected = content.substr(0, c.limit);
    SCOPED_TRACE("size " + std::to_string(c.size) + ", limit " + std::to_string(c.limit));

    std::string text = "earlier bytes";
    uint64_t size = 0;
    ASSERT_EQ(ReadRegularFile(path, c.limit, text, size), FileStatus::kRead);
    EXPECT_EQ(text, expected);
    EXPECT_EQ(size, c.size);

    FileBytes bytes;
    size = 0;
    ASSERT_EQ(ReadRegularFile(path, c.limit, bytes, size), FileStatus::kRead);
    EXPECT_EQ(bytes.view(), expected);
    EXPECT_EQ(size, c.size);
  }
}

TEST(ReadRegularFileTest, NothingReadIsEmpty) {
  const ScratchFolder scratch("modpublish-read-file-");
  FileBytes bytes;
  uint64_t size = 7;
  EXPECT_EQ(ReadRegularFile((scratch.Path() / "none").string(), 16, bytes, size),
            FileStatus::kMissing);
  EXPECT_EQ(ReadRegularFile(scratch.Path().string(), 16, bytes, size), FileStatus::kNotAFile);
  EXPECT_TRUE(bytes.view().empty());
  EXPECT_EQ(size, 0U);
}

}  // namespace
