#include "check/mod_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "description/reader.h"
#include "tests/support/description_inputs.h"

namespace {

using namespace std::string_literals;

// "line:e" or "line:w" for each finding, and the findings' texts.
// A note is "line:n<hidden>".
std::vector<std::string> Findings(const std::string& text, std::string* messages = nullptr) {
  DescriptionCheck check;
  DescriptionParser parser(&check);
  parser.Feed(text);
  check.Conclude(parser.Finish(), text.size());
  std::vector<std::string> out;
  for (const Diagnostic& diagnostic : check.diagnostics()) {
    out.push_back(std::to_string(diagnostic.line) + (diagnostic.hidden != 0
                                                         ? ":n" + std::to_string(diagnostic.hidden)
                                                     : diagnostic.error ? ":e"
                                                                        : ":w"));
    if (messages != nullptr) {
      *messages += diagnostic.message + "\n";
    }
  }
  return out;
}

using Lines = std::vector<std::string>;

TEST(DescriptionCheckTest, FindsEachMistakeOnItsLine) {
  const std::string good = "title = T\ndescription = D\n";
  const std::string longTitle(129, 't');
  const struct {
    const char* what;
    std::string text;
    Lines findings;
    const char* mentions;
  } cases[] = {
      {"clean", "[en]\n" + good + "\n[de]\n" + good, {}, ""},
      {"title of 128 bytes",
       "[en]\ntitle = " + std::string(128, 't') + "\ndescription = d\n",
       {},
       ""},
      {"byte-order mark hides the header",
       "\xEF\xBB\xBF[en]\n" + good,
       {"1:e", "0:w"},
       "hides the header [en]"},
      {"byte-order mark alone", "\xEF\xBB\xBF\n[en]\n" + good, {"1:w"}, "byte-order mark"},
      {"unknown code, with the accepted one", "[EN]\n" + good, {"1:w", "0:w"}, "is [en]"},
      {"pt-BR", "[pt-BR]\n" + good + "[en]\n" + good, {"1:w"}, "[pt_BR]"},
      {"unknown code without a near one",
       "[xx]\n" + good + "[en]\n" + good,
       {"1:w"},
       "such as [en]"},
      {"title key in the wrong case",
       "[en]\nTitle = T\ndescription = D\n",
       {"1:w"},
       "\"Title\" as \"title\""},
      {"description missing", "[en]\ntitle = T\n", {"1:w"}, "\"No description\""},
      {"empty title", "[en]\ntitle =\ndescription = D\n", {"2:w"}, "is empty"},
      {"title too long",
       "[en]\ntitle = " + longTitle + "\ndescription = D\n",
       {"2:e"},
       "129 bytes"},
      {"description too long",
       "[en]\ntitle = T\ndescription = " + std::string(8001, 'd') + "\n",
       {"3:e"},
       "8001 bytes"},
      {"only the value that stands counts",
       "[en]\ntitle = " + longTitle + "\ntitle = T\ndescription = D\n",
       {"3:w"},
       "after line 2"},
      {"header without keys", "[en]\n[de]\n" + good, {"1:w"}, "no keys"},
      {"keys before the first header, once",
       "a = 1\nb = 2\n[en]\n" + good,
       {"1:w"},
       "before the first section header"},
      {"nameless header", "[en]\n" + good + "[]\nx = 1\n", {"4:w"}, "section [] has no name"},
      {"ignored header-like line",
       "[en]\n" + good + "[de] ; German\nx = 1\n",
       {"4:w"},
       "Write it as \"[de]\""},
      {"unclosed header", "[en]\n" + good + "[de\n", {"4:w"}, "\"[de]\""},
      {"stray text and a one-byte line",
       "[en]\n" + good + "stray\nx\n",
       {"4:w", "5:w"},
       "neither a key line"},
      {"comment", "; made by me\n[en]\n" + good, {"1:w"}, "no comment syntax"},
      {"key set three times",
       "[en]\n" + good + "[de]\n" + good + "[en]\ntitle = U\ntitle = V\n",
       {"8:w", "9:w"},
       "again here, after line 2"},
      {"Ctrl-Z with bytes after it",
       "[en]\n" + good + "\x1A" + "[de]\n" + good,
       {"4:w"},
       "the 31 bytes after it"},
      {"Ctrl-Z as the last byte", "[en]\n" + good + "\x1A", {}, ""},
      {"title not UTF-8", "[en]\ntitle = \xC3(\ndescription = D\n", {"2:w"}, "not valid UTF-8"},
      {"nothing to upload", "", {"0:w"}, "no section will be uploaded"},
  };
  for (const auto& c : cases) {
    std::string messages;
    EXPECT_EQ(Findings(c.text, &messages), c.findings) << c.what << "\n" << messages;
    EXPECT_NE(messages.find(c.mentions), std::string::npos) << c.what << "\n" << messages;
  }
}

TEST(DescriptionCheckTest, FindingsOfSharedInputsAreCleanLinesInFileOrder) {
  for (const DescriptionInput& input : DescriptionInputs()) {
    DescriptionCheck check;
    DescriptionParser parser(&check);
    parser.Feed(input.text);
    check.Conclude(parser.Finish(), input.text.size());
    const std::string_view read(input.text.data(),
                                std::min(input.text.find('\x1A'), input.text.size()));
    const auto lines = static_cast<uint64_t>(std::count(read.begin(), read.end(), '\n')) + 1;
    uint64_t last = 0;
    for (const Diagnostic& diagnostic : check.diagnostics()) {
      const uint64_t line = diagnostic.line == 0 ? UINT64_MAX : diagnostic.line;
      EXPECT_TRUE(line >= last && (diagnostic.line <= lines || line == UINT64_MAX)) << input.what;
      last = line;
      for (char c : diagnostic.message) {
        ASSERT_TRUE(static_cast<unsigned char>(c) >= 0x20 && c != '\x7F') << input.what;
      }
    }
  }
}

TEST(DescriptionCheckTest, ShowsTwentyOfAKindAndCountsTheRest) {
  std::string ignored = "[en]\ntitle = T\ndescription = D\n";
  for (int i = 0; i < 25; ++i) {
    ignored += "x\n";
  }
  Lines expected;
  for (int line = 4; line < 24; ++line) {
    expected.push_back(std::to_string(line) + ":w");
  }
  expected.push_back("24:n5");
  std::string messages;
  EXPECT_EQ(Findings(ignored, &messages), expected);
  EXPECT_NE(messages.find("5 more lines from here on get the same kind of warning as line 23"),
            std::string::npos)
      << messages;

  // Findings made after the whole file is read come in section order, here
  // the reverse of file order: the ones shown are still those of the first
  // lines.
  std::string untitled;
  expected.clear();
  for (const char* code :
       {"zh_TW", "zh", "uk", "tr", "th", "sv", "ru", "ro", "pt_BR", "pt", "pl", "no", "nl",
        "ko",    "ja", "it", "hu", "fr", "fi", "es", "en", "el",    "de", "da", "cs"}) {
    const size_t line = 1 + 2 * expected.size();
    expected.push_back(std::to_string(line) + (line < 41 ? ":w" : ":n5"));
    untitled += "[" + std::string(code) + "]\ndescription = D\n";
  }
  expected.resize(21);
  EXPECT_EQ(Findings(untitled), expected);
}

TEST(DescriptionCheckTest, QuotesFileTextAsEscapedExcerpts) {
  std::string messages;
  Findings("[en]\n" + std::string("st\x1B[2Jray ") + std::string(100, 'x') + "\n", &messages);
  EXPECT_NE(messages.find("\"st\\x1B[2Jray xxx"), std::string::npos) << messages;
  EXPECT_NE(messages.find("xxx...\""), std::string::npos) << messages;
  EXPECT_EQ(messages.find('\x1B'), std::string::npos);
}

TEST(ExcerptTest, CutsAtACharacterBoundaryAndEscapesControls) {
  EXPECT_EQ(Excerpt("abc", 3), "abc");
  EXPECT_EQ(Excerpt("abcd", 3), "abc...");
  EXPECT_EQ(Excerpt("a\xD0\x9C\xD0\xBE", 2), "a...");  // not half of the 2-byte letter
  EXPECT_EQ(Excerpt("a\xD0\x9C\xD0\xBE", 3), "a\xD0\x9C...");
  EXPECT_EQ(Excerpt("a\rb\0\x7F"s, 10), "a\\x0Db\\x00\\x7F");
}

TEST(SuggestLanguageCodeTest, OnlyCaseAndSeparatorSlips) {
  const struct {
    const char* name;
    const char* suggestion;
  } cases[] = {{"EN", "en"},       {"En", "en"}, {"pt-BR", "pt_BR"}, {"pt_br", "pt_BR"},
               {"ZH-tw", "zh_TW"}, {"en", ""},   {"pt_BR", ""},      {"zh_CN", ""},
               {"en-US", ""},      {"vi", ""},   {"", ""},           {"english", ""}};
  for (const auto& c : cases) {
    EXPECT_EQ(SuggestLanguageCode(c.name), c.suggestion) << c.name;
  }
}

TEST(IsValidUtf8Test, AcceptsWellFormedOnly) {
  const struct {
    std::string text;
    bool valid;
  } cases[] = {
      {"", true},
      {"plain", true},
      {"\xD0\x9C\xD0\xBE\xD0\xB9", true},
      {"\xE2\x82\xAC", true},
      {"\xF0\x9F\x98\x80", true},
      {"\xF4\x8F\xBF\xBF", true},
      {"\xC3", false},              // cut short
      {"\xC3(", false},             // bad continuation
      {"\x80", false},              // stray continuation
      {"\xC0\xAF", false},          // overlong
      {"\xE0\x80\xAF", false},      // overlong
      {"\xED\xA0\x80", false},      // surrogate
      {"\xF4\x90\x80\x80", false},  // past U+10FFFF
      {"\xFF", false},
      {"\xE2\x82", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsValidUtf8(c.text), c.valid) << testing::PrintToString(c.text);
  }
}

}  // namespace
