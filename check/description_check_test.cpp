#include "check/description_check.h"

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
                                                     : diagnostic.error() ? ":e"
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
      {"byte-order mark hides a header of the game's",
       "\xEF\xBB\xBF[game]\nvolume = 3\n[en]\n" + good,
       {"1:w"},
       "hides the header [game]"},
      {"byte-order mark alone", "\xEF\xBB\xBF\n[en]\n" + good, {"1:w"}, "byte-order mark"},
      {"a key in the wrong case beside the right one",
       "[en]\ntitle = T\nDescription = E\ndescription = D\n",
       {"3:e"},
       "uploads the \"description\" of line 4"},
      {"title too long",
       "[en]\ntitle = " + longTitle + "\ndescription = D\n",
       {"2:e"},
       "129 bytes"},
      {"description too long",
       "[en]\ntitle = T\ndescription = " + std::string(8001, 'd') + "\n",
       {"3:e"},
       "8001 bytes"},
      {"a title set twice loses the first",
       "[en]\ntitle = " + longTitle + "\ntitle = T\ndescription = D\n",
       {"3:e"},
       "the one of line 2 never reaches Steam"},
      {"nameless header of the game's", "[en]\n" + good + "[]\nx = 1\n", {}, ""},
      {"a description pasted over lines: markup headers are its text, a comment at the end "
       "is not",
       "[en]\ntitle = T\ndescription = D\n[h1]More[/h1]\n\nmore text\n[list]\n[*] one\n; note\n",
       {"3:e", "9:w"},
       "goes on over the 5 lines below this one (40 bytes)"},
      {"a header that a key follows starts a section; one of the game's too",
       "[en]\ntitle = T\ndescription = D\nmore\n\n[de]\n" + good +
           "[en]\ndescription = D\n"
           "[settings]\nx = 1\n",
       {"3:e", "10:w"},
       "the 1 line below"},
      {"blank lines, a comment and a header below a one-line description are no paste",
       "[en]\ntitle = T\ndescription = D\n\n; German\n[de]\n" + good,
       {"5:w"},
       "no comment syntax"},
      {"a description file in a skipped section",
       "[EN]\ndescription_file = en.txt\n[en]\n" + good,
       {"1:e"},
       "section [EN] holds a description"},
      {"the description file key in the wrong case",
       "[en]\ntitle = T\nDescription_File = en.txt\n",
       {"3:e"},
       "is not \"description_file\": keys are case-sensitive, so modpublish uploads \"No "
       "description\""},
      {"key set three times",
       "[en]\n" + good + "[de]\n" + good + "[en]\nversion = 1\nversion = 2\ntitle = V\n",
       {"9:w", "10:e"},
       "again here, after line 8"},
      {"Ctrl-Z as the last byte, nothing dropped", "[en]\n" + good + "\x1A", {}, ""},
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

// Findings made after the whole file is read come in section order, here
// the reverse of file order: the twenty shown are still those of the first
// lines, the rest counted in a note.
TEST(DescriptionCheckTest, ShowsTheFirstTwentyOfAKindInFileOrder) {
  Lines expected;
  std::string untitled;
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

TEST(SuggestLanguageTest, CaseSeparatorRegionScriptSteamNamesAndMistakenCodes) {
  const struct {
    const char* name;
    const char* code;  // null: none
  } cases[] = {
      {"En", "en"},       {"pt_br", "pt_BR"}, {"ZH-tw", "zh_TW"}, {"zh-CN", "zh"},
      {"zh_Hans", "zh"},  {"zh-Hans", "zh"},  {"zh_SG", "zh"},    {"zh_HK", "zh_TW"},
      {"en-GB", "en"},    {"pt_PT", "pt"},    {"es_ES", "es"},    {"english", "en"},
      {"schinese", "zh"}, {"en", nullptr},    {"pt_BR", nullptr}, {"zh_XX", nullptr},
      {"vi_VN", nullptr}, {"", nullptr},      {"e", nullptr},     {"UA", "uk"},
      {"jp", "ja"},       {"kr", "ko"},       {"cz", "cs"},       {"se", "sv"},
      {"dk", "da"},       {"gr", "el"},       {"cn", "zh"},       {"tw", "zh_TW"},
      {"ukr", nullptr},
  };
  for (const auto& c : cases) {
    const KnownLanguage* language = SuggestLanguage(c.name);
    EXPECT_EQ(language == nullptr ? "none" : std::string(language->code),
              c.code == nullptr ? "none" : c.code)
        << c.name;
  }
}

TEST(PlausibleKeyTest, WordsWithALowerCaseLetterOrTheTextKeys) {
  for (const char* key :
       {"version", "Title", "TITLE", "DESCRIPTION_FILE", "author.name", "max-speed", "x1"}) {
    EXPECT_TRUE(PlausibleKey(key)) << key;
  }
  for (const char* key : {"", "F5", "X", "1.0", "[url", "[*] F5", "Ctrl+S", "key name", "é"}) {
    EXPECT_FALSE(PlausibleKey(key)) << key;
  }
}

TEST(DescriptionEncodingProblemTest, Utf16AndCrOnlyLineEnds) {
  const std::string text = "[en]\r\ntitle = T\r\n";
  std::string big;  // the golden cases hold little-endian UTF-16 and CR line ends
  for (char c : text) {
    big += std::string{'\0', c};
  }
  const struct {
    std::string start;
    const char* mentions;  // "" for no problem
  } cases[] = {
      {text, ""},
      {"", ""},
      {"[en]\ntitle = a\0b\n"s, ""},
      {"[en]\r", ""},
      {"\xFE\xFF" + big, "UTF-16"},
      {big, "UTF-16"},
  };
  for (const auto& c : cases) {
    const std::string problem = DescriptionEncodingProblem(c.start);
    EXPECT_EQ(problem.empty(), *c.mentions == '\0') << testing::PrintToString(c.start);
    EXPECT_NE(problem.find(c.mentions), std::string::npos) << problem;
  }
}

}  // namespace
