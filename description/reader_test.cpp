#include "description/reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "tests/support/scratch_folder.h"

namespace {

using namespace std::string_literals;

// Longer than the values that the parser takes over with their line buffer
// instead of copying them.
constexpr size_t kTakeOverTestBytes = (1 << 20) + 5;

ModDescription Parse(std::string_view text, bool verbose = false) {
  DescriptionParser parser(verbose);
  parser.Feed(text);
  return parser.Finish();
}

// The record as text, one "[name]" line per section and one "key=value"
// line per key, control and non-ASCII bytes as \xNN, so a failure shows
// exactly which bytes differ.
std::string Dump(const ModDescription& record) {
  std::string out;
  auto put = [&out](std::string_view text) {
    for (unsigned char c : text) {
      if (c < 0x20 || c >= 0x7F) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02X", c);
        out += hex;
      } else {
        out += static_cast<char>(c);
      }
    }
  };
  for (const auto& [name, section] : record.sections) {
    out += '[';
    put(name);
    out += "]\n";
    for (const auto& [key, value] : section) {
      put(key);
      out += '=';
      put(value);
      out += '\n';
    }
  }
  return out;
}

// The value of `key` in section `name`, or "(absent)".
std::string_view Value(const ModDescription& record, std::string_view name, std::string_view key) {
  auto section = record.sections.find(name);
  if (section == record.sections.end()) {
    return "(absent)";
  }
  auto entry = section->second.find(key);
  return entry == section->second.end() ? "(absent)" : entry->second.view();
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

TEST(TrimWhitespaceTest, RemovesExactlyTabSpaceCrLfAtBothEnds) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"", ""},
      {" \t\r\n", ""},
      {"\t a  b \r\n", "a  b"},
      {"\va\f", "\va\f"},
      {"\xC2\xA0x\xC2\xA0", "\xC2\xA0x\xC2\xA0"},
      {" \0a\0 "s, "\0a\0"s},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TrimWhitespace(c.in), c.out) << "input: " << testing::PrintToString(c.in);
  }
}

TEST(DescriptionParserTest, LineRules) {
  // Each line follows "[en]" and is followed by "k = v", which shows the
  // section that is current after it.
  const struct {
    std::string line, record;
  } cases[] = {
      {"[ru]", "[ru]\nk=v\n"},
      {"[ de ]", "[de]\nk=v\n"},
      {"[]", "[]\nk=v\n"},
      {"[  ]", "[]\nk=v\n"},
      {"[[en]]", "[[en]]\nk=v\n"},
      {"title = My mod", "[en]\nk=v\ntitle=My mod\n"},
      {"\t description=A = B ", "[en]\ndescription=A = B\nk=v\n"},
      {"[a=b]", "[en]\n[a=b]\nk=v\n"},
      {"title =", "[en]\nk=v\ntitle=\n"},
      {"= x", "[en]\n=x\nk=v\n"},
      {"=", "[en]\nk=v\n"},
      {"==", "[en]\n==\nk=v\n"},
      {"# title = x", "[en]\n# title=x\nk=v\n"},
      {"Title = \"q\" \\n", "[en]\nTitle=\"q\" \\n\nk=v\n"},
      {"[en] ; English", "[en]\nk=v\n"},
      {"[en", "[en]\nk=v\n"},
      {"; note", "[en]\nk=v\n"},
      {"some text", "[en]\nk=v\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Dump(Parse("[en]\n" + c.line + "\nk = v\n")), c.record) << "line: " << c.line;
  }
}

TEST(DescriptionParserTest, SectionsAndKeys) {
  const struct {
    const char* what;
    std::string text, record;
  } cases[] = {
      {"empty", "", ""},
      {"blank and one-byte lines", "\n \n\t\r\n[\n=\nx", ""},
      {"header without keys", "[en]\n[de]\ntitle = T\n[ru]\n", "[de]\ntitle=T\n"},
      {"repeated header merges, later value wins", "[en]\na=1\nb=2\n[de]\nc=3\n[en]\na=4\n",
       "[de]\nc=3\n[en]\na=4\nb=2\n"},
      {"keys before the first header", "a=1\n[en]\nb=2\n", "[]\na=1\n[en]\nb=2\n"},
      {"sections and keys ordered by unsigned bytes",
       "[pt_BR]\nt=1\n[\xC3\xA9]\nt=1\n[pt]\nt=1\n"
       "[en]\nb=1\n\xC3\xA9=1\nB=1\n[Z]\nt=1\n[de]\nt=1\n",
       "[Z]\nt=1\n[de]\nt=1\n[en]\nB=1\nb=1\n\\xC3\\xA9=1\n"
       "[pt]\nt=1\n[pt_BR]\nt=1\n[\\xC3\\xA9]\nt=1\n"},
      {"BOM hides the first header", "\xEF\xBB\xBF[en]\ntitle = x\n[de]\ntitle = y\n",
       "[]\ntitle=x\n[de]\ntitle=y\n"},
      {"BOM joins the first key", "\xEF\xBB\xBFtitle = x", "[]\n\\xEF\\xBB\\xBFtitle=x\n"},
      {"NUL bytes kept", "[e\0n]\nti\0tle = a\0b\n"s, "[e\\x00n]\nti\\x00tle=a\\x00b\n"},
      {"lone CR stays", "title = a\rb\r\n\r[en]\r\r\n", "[]\ntitle=a\\x0Db\n"},
      {"Ctrl-Z ends input", "a=1\n\x1A\nb=2\n", "[]\na=1\n"},
      {"Ctrl-Z mid-line", "a=12\x1Ax\nb=2\n", "[]\na=12\n"},
      {"Ctrl-Z first", "\x1Ak=1\n", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Dump(Parse(c.text)), c.record) << c.what;
  }
}

const std::string kSample =
    "\xEF\xBB\xBF; my mod\n[ru]\ntitle = \xD0\x9C\xD0\xBE\xD0\xB9\n[en]\n"
    "title=My mod\ndescription = Line one = \"two\"\t\n[ en ]\nversion = 1.0\n"
    "[]\n==\nstray\n[de]\n\t title = a\rb \n[de]\ntitle = Mein Mod\nlast = x";

TEST(DescriptionParserTest, CrLfReadsLikeLf) {
  std::string lf = Dump(Parse(kSample));
  EXPECT_EQ(Dump(Parse(Replace(kSample, "\n", "\r\n"))), lf);
  EXPECT_EQ(Dump(Parse(Replace(kSample, "\n", "\r\r\n"))), lf);
}

TEST(DescriptionParserTest, AnySplitGivesTheSameRecord) {
  const std::string texts[] = {Replace(kSample, "\n", "\r\n"), kSample + "\r\nz=1\x1A\ny=2\n"};
  for (const std::string& text : texts) {
    std::string whole = Dump(Parse(text));
    for (size_t at = 0; at <= text.size(); ++at) {
      DescriptionParser parser(false);
      parser.Feed(std::string_view(text).substr(0, at));
      parser.Feed(std::string_view(text).substr(at));
      ASSERT_EQ(Dump(parser.Finish()), whole) << "split at " << at;
    }
    DescriptionParser parser(false);
    for (char c : text) {
      parser.Feed(std::string_view(&c, 1));
    }
    EXPECT_EQ(Dump(parser.Finish()), whole) << "byte by byte";
  }
}

TEST(DescriptionParserTest, LongValuesFedInPiecesMatchInPlace) {
  // Values this long take over the line buffer instead of being copied; the
  // record must not tell.
  const std::string big(3 << 20, 'v');
  const std::string text = "[en]\r\nlong = " + big + " \t\r\nafter = 1\r\nlong=x" + big +
                           "\r\n[de]\r\n tail =\t" + big + "y ";
  ModDescription inPlace = Parse(text);
  DescriptionParser parser(false);
  for (size_t at = 0; at < text.size(); at += 65536) {
    parser.Feed(std::string_view(text).substr(at, 65536));
  }
  ModDescription pieces = parser.Finish();
  // Not EXPECT_EQ: a failure would print megabytes.
  EXPECT_TRUE(pieces.sections == inPlace.sections);
  EXPECT_TRUE(Value(inPlace, "en", "long") == "x" + big);
  EXPECT_EQ(Value(inPlace, "en", "after"), "1");
  EXPECT_TRUE(Value(inPlace, "de", "tail") == big + "y");
}

// The line rules in their plainest form, on standard maps: the yardstick
// for the record's own storage. For LF-separated text without Ctrl-Z.
std::string ModelDump(const std::string& text) {
  std::map<std::string, std::map<std::string, std::string>> sections;
  std::string name;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    end = end == std::string::npos ? text.size() : end;
    const std::string line = TrimWhitespace(std::string_view(text).substr(start, end - start));
    start = end + 1;
    const size_t equals = line.find('=');
    if (line.size() < 2) {
      continue;
    }
    if (equals != std::string::npos) {
      sections[name][TrimWhitespace(line.substr(0, equals))] =
          TrimWhitespace(line.substr(equals + 1));
    } else if (line.front() == '[' && line.back() == ']') {
      name = TrimWhitespace(line.substr(1, line.size() - 2));
    }
  }
  std::string out;
  for (const auto& [section, keys] : sections) {
    out.append("[").append(section).append("]\n");
    for (const auto& [key, value] : keys) {
      out.append(key).append("=").append(value).append("\n");
    }
  }
  return out;
}

// A fixed pseudo-random sequence, the same in every run.
struct Scramble {
  uint64_t state = 0x2545F4914F6CDD1Du;
  size_t Next(size_t bound) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return static_cast<size_t>(state % bound);
  }
};

TEST(DescriptionParserTest, StorageShapesGiveTheRecordOfThePlainRules) {
  Scramble scramble;
  std::string manyKeys = "[big]\n";
  for (int i = 999; i >= 0; --i) {
    manyKeys += "k" + std::to_string(i * 7919 % 1000) + " = v" + std::to_string(i) + "\n";
  }
  std::string repeats;
  for (int i = 0; i < 3000; ++i) {
    repeats.append("[s").append(std::to_string(scramble.Next(5))).append("]\nk");
    repeats.append(std::to_string(scramble.Next(60))).append(" = ");
    repeats.append(scramble.Next(300), "abcdefghijklmnopqrstuvwxyz"[i % 26]).append("\n");
  }
  std::string turns;
  for (int i = 0; i < 200; ++i) {
    for (const char* name : {"[a]", "[b]", "[c]"}) {
      turns += std::string(name) + "\nkey" + std::to_string(i) + "=" + name + "\n";
    }
  }
  std::string lengths = "[en]\n";
  for (size_t length : {0, 1, 127, 128, 129, 5, 16383, 16384, 0, 200000, 3, 127}) {
    lengths += "v = " + std::string(length, 'x') + "\n";
  }
  const struct {
    const char* what;
    std::string text;
  } cases[] = {
      {"1000 keys of one section in scrambled order, some twice", manyKeys + manyKeys.substr(6)},
      {"5 sections reopened at random, values of every length replaced", repeats},
      {"three sections taking turns", turns},
      {"one value replaced across the widths of its length", lengths},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Dump(Parse(c.text)), ModelDump(c.text)) << c.what;
  }
}

TEST(DescriptionParserTest, RecordHoldsNulTerminatedTextsAndFindsWithoutCopies) {
  const std::string big(kTakeOverTestBytes, 'v');
  DescriptionParser parser(false);
  const std::string text =
      "[en]\ntitle = T\ndescription = " + big + "\n[de]\nx = 1\n[en]\ntitle = Tt";
  parser.Feed(std::string_view(text).substr(0, 20));
  parser.Feed(std::string_view(text).substr(20));
  ModDescription record = parser.Finish();
  for (const auto& [name, section] : record.sections) {
    EXPECT_EQ(name.c_str()[name.size()], '\0');
    for (const auto& [key, value] : section) {
      EXPECT_EQ(key.c_str()[key.size()], '\0');
      EXPECT_EQ(value.c_str()[value.size()], '\0') << key.view();
    }
  }
  // Moved twice, the record's texts stay where they were.
  ModDescription moved(std::move(record));
  ModDescription target;
  target = std::move(moved);
  auto en = target.sections.find("en");
  ASSERT_NE(en, target.sections.end());
  EXPECT_STREQ(en->second.find("title")->second.c_str(), "Tt");
  EXPECT_TRUE(en->second.find("description")->second == big);
  EXPECT_EQ(en->second.find("tit"), en->second.end());
  EXPECT_EQ(en->second.find("titles"), en->second.end());
  EXPECT_EQ(target.sections.find("e"), target.sections.end());
  EXPECT_EQ(target.sections.count("de"), 1u);
}

TEST(DescriptionParserTest, FeedReportsTheEndAtCtrlZ) {
  DescriptionParser parser(false);
  EXPECT_TRUE(parser.Feed("a=1\n"));
  EXPECT_FALSE(parser.Feed("b=2\x1A"));
  EXPECT_FALSE(parser.Feed("\nc=3\n"));
  EXPECT_EQ(Dump(parser.Finish()), "[]\na=1\nb=2\n");
}

TEST(DescriptionParserTest, VerboseEchoesEveryHeaderAndKeyLineInFileOrder) {
  testing::internal::CaptureStdout();
  ModDescription record = Parse(Replace(kSample, "\n", "\r\n"), true);
  std::string echo = testing::internal::GetCapturedStdout();
  EXPECT_TRUE(record.verbose);
  EXPECT_EQ(echo,
            "Parsing [ru]\n[ru] title = \xD0\x9C\xD0\xBE\xD0\xB9\nParsing [en]\n"
            "[en] title = My mod\n[en] description = Line one = \"two\"\nParsing [en]\n"
            "[en] version = 1.0\nParsing []\n[]  = =\nParsing [de]\n[de] title = a\rb\n"
            "Parsing [de]\n[de] title = Mein Mod\n[de] last = x\n");

  testing::internal::CaptureStdout();
  record = Parse(kSample, false);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_FALSE(record.verbose);
}

class LoadModDescriptionTest : public testing::Test {
 protected:
  std::string Write(const std::string& text) {
    std::filesystem::path path = folder_ / "descript.ion";
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
  }

  // Runs the reader on `path` expecting it to fail; returns what it printed.
  static std::string ExpectNotFound(const std::string& path, bool verbose) {
    testing::internal::CaptureStdout();
    try {
      LoadModDescription(path, verbose);
      ADD_FAILURE() << "no exception for " << path;
    } catch (int code) {
      EXPECT_EQ(code, -1);
    }
    return testing::internal::GetCapturedStdout();
  }

  ScratchFolder scratch_{"modpublish-reader"};
  const std::filesystem::path& folder_ = scratch_.Path();
};

TEST_F(LoadModDescriptionTest, ReadsTheFileAsTheParserReadsText) {
  // Lines longer than the reader's chunks, and a Ctrl-Z that cuts one short.
  std::string text =
      Replace(kSample, "\n", "\r\n") + "\r\n[en]\r\nlong = " + std::string(3 << 20, 'x') + "\r\n" +
      std::string(1 << 20, '\n') + "end = " + std::string(1 << 20, 'z') + "\x1Alost = 1\r\n";
  std::string path = Write(text);
  testing::internal::CaptureStdout();
  ModDescription record = LoadModDescription(path, false);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_FALSE(record.verbose);
  EXPECT_TRUE(record.sections == Parse(text).sections);
  EXPECT_EQ(Value(record, "en", "long").size(), size_t{3} << 20);
  EXPECT_EQ(Value(record, "en", "end").size(), size_t{1} << 20);
  EXPECT_EQ(Value(record, "en", "lost"), "(absent)");
}

TEST_F(LoadModDescriptionTest, EmptyFileGivesNoSections) {
  testing::internal::CaptureStdout();
  ModDescription record = LoadModDescription(Write(""), true);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_TRUE(record.sections.empty());
  EXPECT_TRUE(record.verbose);
}

TEST_F(LoadModDescriptionTest, MissingFileOrFolderIsNotFoundInEveryMode) {
  std::string missing = (folder_ / "no such" / "descript.ion").string();
  EXPECT_EQ(ExpectNotFound(missing, false), "File not found: " + missing + "\n");
  EXPECT_EQ(ExpectNotFound(missing, true), "File not found: " + missing + "\n");
  std::string folder = folder_.string();
  EXPECT_EQ(ExpectNotFound(folder, true), "File not found: " + folder + "\n");
}

}  // namespace
