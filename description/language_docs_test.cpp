// The user guide lists the language codes in a table, the one list of them
// for people; this keeps it equal to the tool's own table.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "description/language.h"

namespace {

// The cells of a Markdown table row ("| a | b | c |"), trimmed; none when
// the line is not a table row.
std::vector<std::string> Cells(const std::string& line) {
  std::vector<std::string> cells;
  if (line.size() < 2 || line.front() != '|' || line.back() != '|') {
    return cells;
  }
  std::string cell;
  for (size_t i = 1; i < line.size(); ++i) {
    if (line[i] != '|') {
      cell += line[i];
      continue;
    }
    const size_t first = cell.find_first_not_of(' ');
    const size_t last = cell.find_last_not_of(' ');
    cells.push_back(first == std::string::npos ? "" : cell.substr(first, last - first + 1));
    cell.clear();
  }
  return cells;
}

std::string Row(std::string_view code, std::string_view language, std::string_view steamName) {
  std::string row = "| `[";
  row.append(code).append("]` | ").append(language).append(" | `");
  row.append(steamName).append("` |\n");
  return row;
}

// The rows of `text`'s tables whose first cell is a section header in
// backticks, rewritten in the one form Row() gives, in document order.
std::string LanguageRows(const std::string& text) {
  std::istringstream lines(text);
  std::string rows;
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    const std::vector<std::string> cells = Cells(line);
    const std::string& first = cells.empty() ? line : cells[0];
    if (cells.size() == 3 && first.size() > 4 && first.compare(0, 2, "`[") == 0 &&
        first.compare(first.size() - 2, 2, "]`") == 0) {
      const std::string& steamName = cells[2];
      rows += Row(first.substr(2, first.size() - 4), cells[1],
                  steamName.size() > 2 ? steamName.substr(1, steamName.size() - 2) : steamName);
    }
  }
  return rows;
}

TEST(LanguageTableTest, DocumentsListEveryKnownCodeWithItsLanguage) {
  std::string expected;
  for (const KnownLanguage& language : KnownLanguages()) {
    expected += Row(language.code, language.languageName, language.steamName);
  }
  const std::string path = std::string(MODPUBLISH_SOURCE_DIR) + "/docs/user-guide.md";
  std::ifstream file(path, std::ios::binary);
  ASSERT_TRUE(file) << "can't read " << path;
  std::ostringstream text;
  text << file.rdbuf();
  EXPECT_EQ(LanguageRows(text.str()), expected)
      << path << " must list the codes of description/language.cpp, in its order, as:\n"
      << "| Section | Language | Steam's name |\n|---|---|---|\n"
      << expected;
}

TEST(LanguageTableTest, CodesAreInByteOrderAndDistinct) {
  const auto& languages = KnownLanguages();
  for (size_t i = 1; i < languages.size(); ++i) {
    EXPECT_LT(languages[i - 1].code, languages[i].code) << "at entry " << i;
  }
}

}  // namespace
