#include "check/html_output.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

TEST(HtmlOutputTest, ComesInBoundedBlocksAndWhole) {
  // Text that needs no escaping and text that all does, around a block.
  const std::string plain(size_t{300} * 1024, 'a');
  const std::string special(size_t{100} * 1024, '<');
  std::string expected = plain;
  for (size_t i = 0; i < special.size(); ++i) {
    expected += "&lt;";
  }
  std::string html;
  size_t largest = 0;
  {
    HtmlOutput out([&](std::string_view block) {
      html += block;
      largest = std::max(largest, block.size());
    });
    out.Text(plain);
    out.Text(special);
  }
  const size_t differs = static_cast<size_t>(
      std::mismatch(html.begin(), html.end(), expected.begin(), expected.end()).first -
      html.begin());
  EXPECT_TRUE(html == expected) << "the output differs from the escaped text at byte " << differs
                                << " of " << html.size() << " (expected " << expected.size() << ")";
  EXPECT_LE(largest, 80u * 1024);
}

}  // namespace
