#include "check/mod_check.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/plain_description.h"
#include "tests/support/scratch_folder.h"

namespace {

using namespace std::string_literals;

// The inputs of the reader's own tests (description/reader_test.cpp), with
// CR LF and Ctrl-Z variants: the checker must see every one of them as the
// reader stores it.
const std::string kSample =
    "\xEF\xBB\xBF; my mod\n[ru]\ntitle = \xD0\x9C\xD0\xBE\xD0\xB9\n[en]\n"
    "title=My mod\ndescription = Line one = \"two\"\t\n[ en ]\nversion = 1.0\n"
    "[]\n==\nstray\n[de]\n\t title = a\rb \n[de]\ntitle = Mein Mod\nlast = x";

std::vector<std::string> ReaderInputs() {
  std::vector<std::string> inputs;
  const char* lines[] = {"[ru]",
                         "[ de ]",
                         "[]",
                         "[  ]",
                         "[[en]]",
                         "title = My mod",
                         "\t description=A = B ",
                         "[a=b]",
                         "title =",
                         "= x",
                         "=",
                         "==",
                         "# title = x",
                         "Title = \"q\" \\n",
                         "[en] ; English",
                         "[en]",
                         "; note",
                         "some text"};
  for (const char* line : lines) {
    inputs.push_back("[en]\n"s + line + "\nk = v\n");
  }
  const std::string texts[] = {
      "",
      "\n \n\t\r\n[\n=\nx",
      "[en]\n[de]\ntitle = T\n[ru]\n",
      "[en]\na=1\nb=2\n[de]\nc=3\n[en]\na=4\n",
      "a=1\n[en]\nb=2\n",
      "[pt_BR]\nt=1\n[\xC3\xA9]\nt=1\n[pt]\nt=1\n[en]\nb=1\n\xC3\xA9=1\nB=1\n[Z]\nt=1\n[de]\nt=1\n",
      "\xEF\xBB\xBF[en]\ntitle = x\n[de]\ntitle = y\n",
      "\xEF\xBB\xBFtitle = x",
      "[e\0n]\nti\0tle = a\0b\n"s,
      "title = a\rb\r\n\r[en]\r\r\n",
      "a=1\n\x1A\nb=2\n",
      "a=12\x1Ax\nb=2\n",
      "\x1Ak=1\n",
      kSample,
      "[en]\r\nlong = " + std::string(3 << 20, 'x') + "\r\n" + std::string(1 << 18, '\n') +
          "end = " + std::string(1 << 20, 'z') + "\x1Alost = 1\r\n",
  };
  inputs.insert(inputs.end(), std::begin(texts), std::end(texts));
  return inputs;
}

// Records what the observer is told, and forwards it to a DescriptionCheck.
class Recorder : public DescriptionObserver {
 public:
  void OnLine(const DescriptionLine& line) override {
    numbers.push_back(line.number);
    if (line.kind == DescriptionLineKind::kKey) {
      rebuilt[std::string(line.section)][std::string(line.key)] = std::string(line.value);
    }
    check.OnLine(line);
  }
  void OnCtrlZ(uint64_t lineNumber, uint64_t offset) override {
    ctrlZLine = lineNumber;
    ctrlZOffset = offset;
    check.OnCtrlZ(lineNumber, offset);
  }

  std::vector<uint64_t> numbers;
  PlainDescription rebuilt;
  uint64_t ctrlZLine = 0;
  uint64_t ctrlZOffset = UINT64_MAX;
  DescriptionCheck check;
};

class CheckerViewTest : public testing::Test {
 protected:
  ScratchFolder scratch_{"modpublish-check"};
  const std::filesystem::path& folder_ = scratch_.Path();
};

TEST_F(CheckerViewTest, SeesWhatTheReaderStores) {
  const std::string path = (folder_ / "descript.ion").string();
  int index = 0;
  for (const std::string& text : ReaderInputs()) {
    SCOPED_TRACE("input " + std::to_string(index++));
    std::ofstream(path, std::ios::binary) << text;
    Recorder recorder;
    const ModDescription plain = LoadModDescription(path, false);
    const ModDescription watched = LoadModDescription(path, false, &recorder);
    recorder.check.Conclude(watched, text.size());
    // Watching changes nothing, and the lines told rebuild the record.
    EXPECT_TRUE(watched.sections == plain.sections);
    EXPECT_TRUE(recorder.rebuilt == FlattenDescription(plain));
    // The checker's own view: the same sections and keys, the same sizes.
    const DescriptionView& view = recorder.check.view();
    ASSERT_EQ(view.size(), plain.sections.size());
    for (const auto& [name, section] : plain.sections) {
      auto seen = view.find(std::string_view(name));
      ASSERT_NE(seen, view.end()) << std::string_view(name);
      ASSERT_EQ(seen->second.keys.size(), section.size()) << std::string_view(name);
      for (const auto& [key, value] : section) {
        auto keyView = seen->second.keys.find(std::string_view(key));
        ASSERT_NE(keyView, seen->second.keys.end()) << std::string_view(key);
        EXPECT_EQ(keyView->second.valueBytes, value.size()) << std::string_view(key);
      }
    }
    // One call per line, numbered from 1, the Ctrl-Z's line included when
    // it holds bytes before the byte.
    const size_t end = std::min(text.find('\x1A'), text.size());
    const std::string_view read(text.data(), end);
    uint64_t expectedLines = static_cast<uint64_t>(std::count(read.begin(), read.end(), '\n'));
    if (!read.empty() && read.back() != '\n') {
      ++expectedLines;
    }
    ASSERT_EQ(recorder.numbers.size(), expectedLines);
    for (size_t i = 0; i < recorder.numbers.size(); ++i) {
      ASSERT_EQ(recorder.numbers[i], i + 1);
    }
    if (end < text.size()) {
      EXPECT_EQ(recorder.ctrlZOffset, end);
      EXPECT_EQ(recorder.ctrlZLine, std::count(read.begin(), read.end(), '\n') + 1);
    } else {
      EXPECT_EQ(recorder.ctrlZLine, 0u);
    }
  }
}

// "line:e" or "line:w" for each finding, and the findings' texts.
std::vector<std::string> Findings(const std::string& text, std::string* messages = nullptr) {
  DescriptionCheck check;
  DescriptionParser parser(false, &check);
  parser.Feed(text);
  check.Conclude(parser.Finish(), text.size());
  std::vector<std::string> out;
  for (const Diagnostic& diagnostic : check.diagnostics()) {
    out.push_back(std::to_string(diagnostic.line) + (diagnostic.error ? ":e" : ":w"));
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
