#include "description/reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/description_inputs.h"
#include "tests/support/plain_description.h"
#include "tests/support/scratch_folder.h"

namespace {

ModDescription Parse(std::string_view text, DescriptionListener* listener = nullptr) {
  DescriptionParser parser(listener);
  parser.Feed(text);
  return parser.Finish();
}

std::string Dump(const ModDescription& record) {
  return DumpDescription(FlattenDescription(record));
}

// The record's own order is byte order: names and keys strictly ascending.
bool InByteOrder(const ModDescription& record) {
  const DescriptionNamedSection* last = nullptr;
  for (const DescriptionNamedSection& named : record.sections) {
    const bool keysAscend = std::adjacent_find(named.section.begin(), named.section.end(),
                                               [](const auto& a, const auto& b) {
                                                 return !(a.key < b.key);
                                               }) == named.section.end();
    if (!keysAscend || (last != nullptr && !(last->name < named.name))) {
      return false;
    }
    last = &named;
  }
  return true;
}

TEST(TrimWhitespaceTest, RemovesExactlyTabSpaceCrLfAtBothEnds) {
  using namespace std::string_literals;
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

TEST(DescriptionParserTest, SharedInputsGiveTheirRecordsInByteOrder) {
  for (const DescriptionInput& input : DescriptionInputs()) {
    const ModDescription record = Parse(input.text);
    // Not EXPECT_EQ: some records are megabytes long.
    EXPECT_TRUE(Dump(record) == input.record) << input.what;
    EXPECT_TRUE(DumpDescription(ParsePlainDescription(input.text)) == input.record)
        << input.what << " (yardstick)";
    EXPECT_TRUE(InByteOrder(record)) << input.what;
  }
}

TEST(DescriptionParserTest, AnyLineEndAndAnySplitGiveTheSameRecord) {
  const std::string texts[] = {ReplaceAll(kSampleDescription, "\n", "\r\n"),
                               ReplaceAll(kSampleDescription, "\n", "\r\r\n"),
                               kSampleDescription + std::string("\r\nz=1\x1A\ny=2\n")};
  const std::string lf = Dump(Parse(kSampleDescription));
  EXPECT_EQ(Dump(Parse(texts[0])), lf);
  EXPECT_EQ(Dump(Parse(texts[1])), lf);
  for (const std::string& text : texts) {
    const std::string whole = Dump(Parse(text));
    for (size_t at = 0; at <= text.size(); ++at) {
      DescriptionParser parser;
      parser.Feed(std::string_view(text).substr(0, at));
      parser.Feed(std::string_view(text).substr(at));
      ASSERT_EQ(Dump(parser.Finish()), whole) << "split at " << at;
    }
    DescriptionParser parser;
    for (char c : text) {
      parser.Feed(std::string_view(&c, 1));
    }
    EXPECT_EQ(Dump(parser.Finish()), whole) << "byte by byte";
  }
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
  // Line numbers and lengths across the widths of their encodings.
  std::string lengths = "[en]\n" + std::string(200, '\n');
  for (size_t length : {0, 1, 127, 128, 129, 5, 16383, 16384, 0, 200000, 3, 127}) {
    lengths += "v = " + std::string(length, 'x') + "\n" + std::string(length % 20000, '\n');
  }
  const struct {
    const char* what;
    std::string text;
  } cases[] = {
      {"1000 keys of one section in scrambled order, some twice", manyKeys + manyKeys.substr(6)},
      {"5 sections reopened at random, values of every length replaced", repeats},
      {"three sections taking turns", turns},
      {"one value replaced across the widths of its length and line", lengths},
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(FlattenDescription(Parse(c.text)) == ParsePlainDescription(c.text)) << c.what;
  }
}

TEST(DescriptionParserTest, RecordHoldsNulTerminatedTextsAndFindsWithoutCopies) {
  const std::string big((1 << 20) + 5, 'v');  // longer than the pieces it is fed in
  DescriptionParser parser;
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
  // Moved twice, the record's texts stay where they were; the moved-from
  // record is empty.
  ModDescription moved(std::move(record));
  EXPECT_TRUE(record.sections.empty());  // NOLINT(bugprone-use-after-move)
  ModDescription target;
  target = std::move(moved);
  const auto en = target.sections.find("en");
  ASSERT_NE(en, target.sections.end());
  EXPECT_STREQ(en->section.find("title")->value.c_str(), "Tt");
  EXPECT_TRUE(en->section.find("description")->value == big);
  EXPECT_EQ(en->section.find("tit"), en->section.end());
  EXPECT_EQ(en->section.find("titles"), en->section.end());
  EXPECT_EQ(target.sections.find("e"), target.sections.end());
  EXPECT_NE(target.sections.find("de"), target.sections.end());
}

// What a listener is told, checked against the plain reading of the file.
class Recorder : public DescriptionListener {
 public:
  bool OnLine(const DescriptionLine& line) override {
    EXPECT_EQ(line.number, lines + 1);
    lines = line.number;
    if (line.kind == DescriptionLineKind::kKey) {
      EXPECT_TRUE(line.text.empty());
      const std::pair<std::string, std::string> at(line.section, line.key);
      EXPECT_EQ(line.replacedLine, lastLine[at]) << line.number;
      EXPECT_EQ(line.replacedSame, lastLine[at] != 0 && rebuilt[at.first][at.second] == line.value)
          << line.number;
      lastLine[at] = line.number;
      rebuilt[at.first][at.second] = std::string(line.value);
      // Each view ends in a NUL, for %s.
      for (std::string_view view : {line.section, line.key, line.value}) {
        EXPECT_EQ(view.data()[view.size()], '\0');
      }
    } else {
      EXPECT_EQ(line.replacedLine, 0u);
      EXPECT_FALSE(line.replacedSame);
    }
    if (line.kind == DescriptionLineKind::kHeader) {
      headerLine = line.number;
    } else if (line.kind == DescriptionLineKind::kKey &&
               !sectionLine.count(std::string(line.section))) {
      sectionLine[std::string(line.section)] = headerLine != 0 ? headerLine : line.number;
    }
    return line.number != stopAfter;
  }
  void OnCtrlZ(uint64_t lineNumber, uint64_t offset) override {
    EXPECT_EQ(ctrlZLine, 0u);
    ctrlZLine = lineNumber;
    ctrlZOffset = offset;
  }

  uint64_t stopAfter = 0;  // the line to answer false to
  uint64_t lines = 0;
  uint64_t headerLine = 0;
  uint64_t ctrlZLine = 0;
  uint64_t ctrlZOffset = UINT64_MAX;
  std::map<std::pair<std::string, std::string>, uint64_t> lastLine;
  std::map<std::string, uint64_t> sectionLine;
  PlainDescription rebuilt;
};

TEST(DescriptionListenerTest, ToldEveryLineWithWhatItReplacedAndWhereItStands) {
  for (const DescriptionInput& input : DescriptionInputs()) {
    SCOPED_TRACE(input.what);
    const std::string& text = input.text;
    Recorder recorder;
    DescriptionParser parser(&recorder);
    for (size_t at = 0; at < text.size(); at += 4096) {
      parser.Feed(std::string_view(text).substr(at, 4096));
    }
    const ModDescription record = parser.Finish();
    // The key lines told rebuild the record.
    EXPECT_TRUE(recorder.rebuilt == FlattenDescription(record));
    // One call per line, the Ctrl-Z's line included when it holds bytes
    // before the byte; the Ctrl-Z at its offset, on its line.
    const size_t end = std::min(text.find('\x1A'), text.size());
    const std::string_view read(text.data(), end);
    const auto lfs = static_cast<uint64_t>(std::count(read.begin(), read.end(), '\n'));
    EXPECT_EQ(recorder.lines, lfs + (!read.empty() && read.back() != '\n' ? 1 : 0));
    EXPECT_EQ(recorder.ctrlZLine, end < text.size() ? lfs + 1 : 0);
    EXPECT_EQ(recorder.ctrlZOffset, end < text.size() ? end : UINT64_MAX);
    // The record keeps the line of each section and of each value.
    for (const auto& [name, section] : record.sections) {
      EXPECT_EQ(section.line(), recorder.sectionLine[std::string(name.view())]);
      for (const DescriptionEntry& entry : section) {
        EXPECT_EQ(entry.line(),
                  (recorder.lastLine[{std::string(name.view()), std::string(entry.key.view())}]));
      }
    }
  }
}

class LoadModDescriptionTest : public testing::Test {
 protected:
  std::string Write(const std::string& text) {
    const std::filesystem::path path = folder_ / "descript.ion";
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
  }

  ScratchFolder scratch_{"modpublish-reader"};
  const std::filesystem::path& folder_ = scratch_.Path();
};

TEST_F(LoadModDescriptionTest, ReadsTheFileAsTheParserReadsText) {
  for (const DescriptionInput& input : DescriptionInputs()) {
    ModDescription record;
    testing::internal::CaptureStdout();
    EXPECT_EQ(LoadModDescription(Write(input.text), record), FileStatus::kRead);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "the reader prints nothing";
    EXPECT_TRUE(record.sections == Parse(input.text).sections) << input.what;
  }
}

TEST_F(LoadModDescriptionTest, SaysWhyThereIsNoRecord) {
  const std::string missing = (folder_ / "no such" / "descript.ion").string();
  ModDescription record = Parse("[en]\ntitle = T\n");
  EXPECT_EQ(LoadModDescription(missing, record), FileStatus::kMissing);
  EXPECT_TRUE(record.sections.empty());
  EXPECT_EQ(LoadModDescription(folder_.string(), record), FileStatus::kNotAFile);
}

// Fed whole, byte by byte and from a file, the record holds the lines up to
// the one answered false, and no later line is told.
TEST_F(LoadModDescriptionTest, ListenersFalseEndsTheInputAfterItsLine) {
  const std::string text = "[en]\ntitle = a\ndescription = b\r\nversion = 1\n\nauthor = M";
  size_t end = 0;
  for (uint64_t stop = 1; stop <= 6; ++stop) {
    end = stop == 6 ? text.size() : text.find('\n', end) + 1;
    const std::string expected = Dump(Parse(text.substr(0, end)));
    Recorder whole;
    Recorder bytes;
    Recorder file;
    whole.stopAfter = bytes.stopAfter = file.stopAfter = stop;
    DescriptionParser wholeParser(&whole);
    EXPECT_EQ(wholeParser.Feed(text), stop == 6) << "stopped after line " << stop;
    EXPECT_EQ(Dump(wholeParser.Finish()), expected) << "stopped after line " << stop;
    DescriptionParser bytesParser(&bytes);
    for (char c : text) {
      bytesParser.Feed(std::string_view(&c, 1));
    }
    EXPECT_EQ(Dump(bytesParser.Finish()), expected) << "byte by byte, stopped after " << stop;
    ModDescription record;
    EXPECT_EQ(LoadModDescription(Write(text), record, &file), FileStatus::kRead);
    EXPECT_EQ(Dump(record), expected) << "from a file, stopped after line " << stop;
    EXPECT_EQ(std::vector<uint64_t>({whole.lines, bytes.lines, file.lines}),
              std::vector<uint64_t>(3, stop));
  }
}

}  // namespace
