// The user guide lists the language codes in a table, the one list of them
// for people; this keeps it equal to the tool's own table.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>

#include "description/language.h"

namespace {

TEST(LanguageTableTest, DocumentsListEveryKnownCodeWithItsLanguage) {
  // The whole table, with the blank line after it: a row the tool doesn't
  // know fails as a row it lacks does.
  std::string table = "| Section | Language | Steam's name |\n|---|---|---|\n";
  for (const KnownLanguage& language : KnownLanguages()) {
    table.append("| `[").append(language.code).append("]` | ").append(language.languageName);
    table.append(" | `").append(language.steamName).append("` |\n");
  }
  table += "\n";
  const std::string path = std::string(MODPUBLISH_SOURCE_DIR) + "/docs/user-guide.md";
  std::ifstream file(path, std::ios::binary);
  ASSERT_TRUE(file) << "can't read " << path;
  std::ostringstream text;
  text << file.rdbuf();
  std::string doc = text.str();
  doc.erase(std::remove(doc.begin(), doc.end(), '\r'), doc.end());  // a CR LF checkout
  EXPECT_NE(doc.find(table), std::string::npos)
      << path << " must list the codes of description/language.cpp, in its order, as:\n"
      << table;
}

TEST(LanguageTableTest, CodesAreInByteOrderAndDistinct) {
  const auto& languages = KnownLanguages();
  for (size_t i = 1; i < languages.size(); ++i) {
    EXPECT_LT(languages[i - 1].code, languages[i].code) << "at entry " << i;
  }
}

}  // namespace
