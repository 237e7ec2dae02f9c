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
      {"byte-order mark hides the header",
       "\xEF\xBB\xBF[en]\n" + good,
       {"1:e", "0:w"},
       "hides the header [en]: a title and a description below it"},
      {"byte-order mark hides a header of the game's",
       "\xEF\xBB\xBF[game]\nvolume = 3\n[en]\n" + good,
       {"1:w"},
       "hides the header [game]"},
      {"byte-order mark alone", "\xEF\xBB\xBF\n[en]\n" + good, {"1:w"}, "byte-order mark"},
      {"skipped code holding text, with the accepted one",
       "[EN]\n" + good,
       {"1:e", "0:w"},
       "Write it as [en] for English"},
      {"pt-BR", "[pt-BR]\ntitle = T\n[en]\n" + good, {"1:e"}, "holds a title, but"},
      {"zh_CN is Simplified Chinese",
       "[en]\n" + good + "[zh_CN]\ndescription = D\n",
       {"4:e"},
       "[zh] for Simplified Chinese"},
      {"unknown code without a near one",
       "[xx]\nTITLE = T\n[en]\n" + good,
       {"1:e"},
       "such as [en]"},
      {"a section without text is the game's", "[en]\n" + good + "[settings]\nx = 1\n", {}, ""},
      {"title key in the wrong case",
       "[en]\nTitle = T\ndescription = D\n",
       {"2:e"},
       "\"Title\" of section [en] is not \"title\": keys are case-sensitive, so modpublish "
       "uploads \"No title\" instead"},
      {"a key in the wrong case beside the right one",
       "[en]\ntitle = T\nDescription = E\ndescription = D\n",
       {"3:e"},
       "uploads the \"description\" of line 4"},
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
      {"a NUL byte ends the title Steam gets, which is then short enough",
       "[en]\ntitle = ab\0"s + longTitle + "\ndescription = D\n",
       {"2:e"},
       "at byte 3, where Steam's copy of it ends: Steam gets only the 2 bytes before it, and "
       "the 130 bytes"},
      {"a title set twice loses the first",
       "[en]\ntitle = " + longTitle + "\ntitle = T\ndescription = D\n",
       {"3:e"},
       "the one of line 2 never reaches Steam"},
      {"header without keys", "[en]\n[de]\n" + good, {"1:w"}, "no keys"},
      {"keys of the game's before the first header", "a = 1\nb = 2\n[en]\n" + good, {}, ""},
      {"a title before the first header",
       "a = 1\ntitle = T\n[en]\n" + good,
       {"2:e"},
       "\"title\" comes before the first section header"},
      {"nameless header of the game's", "[en]\n" + good + "[]\nx = 1\n", {}, ""},
      {"nameless header holding text",
       "[en]\n" + good + "[]\nx = 1\ndescription = E\n",
       {"4:e"},
       "section [] holds a description"},
      {"ignored header-like line",
       "[en]\n" + good + "[de] ; German\nx = 1\n",
       {"4:w"},
       "Write it as \"[de]\""},
      {"unclosed header", "[en]\n" + good + "[de\n", {"4:w"}, "\"[de]\""},
      {"stray text and a one-byte line",
       "[en]\ndescription = D\ntitle = T\nstray\nx\n",
       {"4:w", "5:w"},
       "neither a key line"},
      {"a description pasted over lines: markup headers are its text, a comment at the end "
       "is not",
       "[en]\ntitle = T\ndescription = D\n[h1]More[/h1]\n\nmore text\n[list]\n[*] one\n; note\n",
       {"3:e", "9:w"},
       "goes on over the 5 lines below this one (40 bytes), but a value of descript.ion is one "
       "line: only this line reaches Steam. Move the whole description into a file of its own, "
       "such as description_en.txt beside descript.ion, and name it in place of this line with "
       "\"description_file = description_en.txt\""},
      {"a paste ends at a key that looks like one",
       "[en]\ntitle = T\ndescription = D\nmore\nversion = 1\nstray\n",
       {"3:e", "6:w"},
       "the 1 line below this one (5 bytes)"},
      {"lines holding '=' are text",
       "[en]\ntitle = T\ndescription = D\nF5 = quick save\n[url=https://x.org]x[/url]\n"
       "[table noborder=1]\n1.0 = first\n",
       {"3:e"},
       "the 4 lines below"},
      {"a header that a key follows starts a section; one of the game's too",
       "[en]\ntitle = T\ndescription = D\nmore\n\n[de]\n" + good +
           "[en]\ndescription = D\n"
           "[settings]\nx = 1\n",
       {"3:e", "10:w"},
       "the 1 line below"},
      {"table rows are text, [tr] and [th] though they are language codes",
       "[en]\ntitle = T\ndescription = D\n[table]\n[tr]\n[th]Key[/th]\n[/tr]\n[/table]\n"
       "[de]\n" +
           good,
       {"3:e"},
       "the 5 lines below"},
      {"a block of code takes keys and headers",
       "[en]\ntitle = T\ndescription = D\n[code]\n[saves]\nslots = 2\n[/code]\nversion = 1\n",
       {"3:e"},
       "the 4 lines below"},
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
      {"comment", "; made by me\n[en]\n" + good, {"1:w"}, "no comment syntax"},
      {"key set three times",
       "[en]\n" + good + "[de]\n" + good + "[en]\nversion = 1\nversion = 2\ntitle = V\n",
       {"9:w", "10:e"},
       "again here, after line 8"},
      {"Ctrl-Z with bytes after it",
       "[en]\n" + good + "\x1A" + "[de]\n" + good,
       {"4:e"},
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
  std::string ignored = "[en]\ntitle = T\ndescription = D\nversion = 1\n";
  for (int i = 0; i < 25; ++i) {
    ignored += "x\n";
  }
  Lines expected;
  for (int line = 5; line < 25; ++line) {
    expected.push_back(std::to_string(line) + ":w");
  }
  expected.push_back("25:n5");
  std::string messages;
  EXPECT_EQ(Findings(ignored, &messages), expected);
  EXPECT_NE(messages.find("5 more lines from here on get the same kind of warning as line 24"),
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

TEST(SuggestLanguageTest, CaseSeparatorRegionScriptSteamNamesAndMistakenCodes) {
  const struct {
    const char* name;
    const char* code;  // null: none
  } cases[] = {
      {"EN", "en"},       {"En", "en"},       {"pt-BR", "pt_BR"}, {"pt_br", "pt_BR"},
      {"ZH-tw", "zh_TW"}, {"zh_CN", "zh"},    {"zh-CN", "zh"},    {"zh_Hans", "zh"},
      {"zh-Hans", "zh"},  {"zh_SG", "zh"},    {"zh_HK", "zh_TW"}, {"zh-Hant", "zh_TW"},
      {"en_US", "en"},    {"en-GB", "en"},    {"pt_PT", "pt"},    {"es_ES", "es"},
      {"es_MX", "es"},    {"english", "en"},  {"schinese", "zh"}, {"en", nullptr},
      {"pt_BR", nullptr}, {"zh_XX", nullptr}, {"vi", nullptr},    {"vi_VN", nullptr},
      {"", nullptr},      {"e", nullptr},     {"ua", "uk"},       {"UA", "uk"},
      {"rus", "ru"},      {"br", "pt_BR"},    {"jp", "ja"},       {"kr", "ko"},
      {"cz", "cs"},       {"se", "sv"},       {"dk", "da"},       {"gr", "el"},
      {"cn", "zh"},       {"tw", "zh_TW"},    {"ukr", nullptr},
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
  std::string little;
  std::string big;
  for (char c : text) {
    little += std::string{c, '\0'};
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
      {"\xFF\xFE" + little, "UTF-16"},
      {"\xFE\xFF" + big, "UTF-16"},
      {little, "UTF-16"},
      {big, "UTF-16"},
      {"[en]\rtitle = T\r", "CR alone"},
  };
  for (const auto& c : cases) {
    const std::string problem = DescriptionEncodingProblem(c.start);
    EXPECT_EQ(problem.empty(), *c.mentions == '\0') << testing::PrintToString(c.start);
    EXPECT_NE(problem.find(c.mentions), std::string::npos) << problem;
  }
}

}  // namespace
