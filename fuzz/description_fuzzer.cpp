// libFuzzer target for the description reader. Every input is parsed three
// ways: in one piece, in two pieces split at an offset drawn from the input
// (with a size hint between them), and in small pieces. All three must
// build the same record, that record must hold what every consumer of a
// ModDescription relies on, and it must equal what the line rules give
// when applied plainly on standard maps. A violation stops the run with a
// trap, which libFuzzer reports as a crash and saves the input.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "description/reader.h"

namespace {

void Require(bool condition) {
  if (!condition) {
    __builtin_trap();
  }
}

bool IsBlank(char c) { return c == '\t' || c == ' ' || c == '\r' || c == '\n'; }

bool HasNoBlankEnds(std::string_view text) {
  return text.empty() || (!IsBlank(text.front()) && !IsBlank(text.back()));
}

// Neither an LF, which ends every line, nor a Ctrl-Z, which ends the input,
// can reach the record.
bool HoldsNoLineOrInputEnd(std::string_view text) {
  return text.find_first_of("\n\x1A") == std::string_view::npos;
}

// The record keeps a NUL behind every text, so c_str() needs no copy.
bool EndsInNul(DescriptionText text) { return text.c_str()[text.size()] == '\0'; }

// The uploader looks sections and keys up by name and sizes its progress
// line by the section count, so names must be trimmed, a key or section
// name can never hold the '=' that would have made its line a key line,
// and a section exists only once a key line has filled it.
// Names and keys are strictly ascending byte-wise, so each is there once
// and the lookups, which bisect, find every one of them.
void CheckRecord(const ModDescription& record) {
  Require(!record.verbose);
  const DescriptionText* lastName = nullptr;
  for (const auto& named : record.sections) {
    const DescriptionText& name = named.first;
    const DescriptionSection& section = named.second;
    Require(HasNoBlankEnds(name) && HoldsNoLineOrInputEnd(name) && EndsInNul(name));
    Require(name.view().find('=') == std::string_view::npos);
    Require(lastName == nullptr || *lastName < name);
    lastName = &name;
    Require(record.sections.find(name) == &named);
    Require(!section.empty());
    const DescriptionText* lastKey = nullptr;
    for (const auto& entry : section) {
      const DescriptionText& key = entry.first;
      const DescriptionText& value = entry.second;
      Require(HasNoBlankEnds(key) && HoldsNoLineOrInputEnd(key) && EndsInNul(key));
      Require(key.view().find('=') == std::string_view::npos);
      Require(HasNoBlankEnds(value) && HoldsNoLineOrInputEnd(value) && EndsInNul(value));
      Require(lastKey == nullptr || *lastKey < key);
      lastKey = &key;
      Require(section.find(key) == &entry);
    }
  }
}

// The line rules applied plainly: cut at Ctrl-Z, split at LF, trim.
using PlainRecord = std::map<std::string, std::map<std::string, std::string>>;

PlainRecord ParsePlainly(std::string_view input) {
  input = input.substr(0, input.find('\x1A'));
  PlainRecord record;
  std::string name;
  for (size_t start = 0; start <= input.size();) {
    const size_t end = std::min(input.find('\n', start), input.size());
    const std::string line = TrimWhitespace(input.substr(start, end - start));
    start = end + 1;
    const size_t equals = line.find('=');
    if (line.size() < 2) {
      continue;
    }
    if (equals != std::string::npos) {
      record[name][TrimWhitespace(line.substr(0, equals))] =
          TrimWhitespace(line.substr(equals + 1));
    } else if (line.front() == '[' && line.back() == ']') {
      name = TrimWhitespace(line.substr(1, line.size() - 2));
    }
  }
  return record;
}

bool SameAsPlain(const ModDescription& record, const PlainRecord& plain) {
  if (record.sections.size() != plain.size()) {
    return false;
  }
  auto plainSection = plain.begin();
  for (const auto& [name, section] : record.sections) {
    if (name != plainSection->first || section.size() != plainSection->second.size()) {
      return false;
    }
    auto plainEntry = plainSection->second.begin();
    for (const auto& [key, value] : section) {
      if (key != plainEntry->first || value != plainEntry->second) {
        return false;
      }
      ++plainEntry;
    }
    ++plainSection;
  }
  return true;
}

// Feed answers false exactly when a Ctrl-Z byte has reached it.
void FeedAndCheck(DescriptionParser& parser, std::string_view bytes, bool& ctrlZSeen) {
  const bool more = parser.Feed(bytes);
  ctrlZSeen = ctrlZSeen || bytes.find('\x1A') != std::string_view::npos;
  Require(more == !ctrlZSeen);
}

ModDescription ParseWhole(std::string_view input) {
  DescriptionParser parser(false);
  bool ctrlZSeen = false;
  FeedAndCheck(parser, input, ctrlZSeen);
  return parser.Finish();
}

// Two pieces: a line that starts in the first piece carries over, a CR LF
// pair may be cut in two, and a size hint (right or wrong) comes between.
ModDescription ParseInTwo(std::string_view input, size_t split, size_t hint) {
  DescriptionParser parser(false);
  bool ctrlZSeen = false;
  FeedAndCheck(parser, input.substr(0, split), ctrlZSeen);
  parser.ReserveLine(parser.PendingLineBytes() + hint);
  FeedAndCheck(parser, input.substr(split), ctrlZSeen);
  return parser.Finish();
}

// Many small pieces: a line spans several of them, and pieces keep coming
// after a Ctrl-Z.
ModDescription ParseInPieces(std::string_view input, size_t piece) {
  DescriptionParser parser(false);
  bool ctrlZSeen = false;
  for (size_t at = 0; at < input.size(); at += piece) {
    FeedAndCheck(parser, input.substr(at, piece), ctrlZSeen);
  }
  return parser.Finish();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  const std::string trimmed = TrimWhitespace(input);
  Require(HasNoBlankEnds(trimmed));

  const ModDescription whole = ParseWhole(input);
  CheckRecord(whole);
  Require(SameAsPlain(whole, ParsePlainly(input)));

  // The first bytes also choose how the input is cut, so the fuzzer can
  // steer the cut without a separate input format; the description is still
  // the whole input.
  const size_t seed = size >= 2 ? static_cast<size_t>(data[0] | (data[1] << 8)) : 0;
  const size_t split = seed % (size + 1);
  const size_t hint = size >= 3 ? data[2] : 0;
  const size_t piece = 1 + (size >= 4 ? data[3] % 16 : 0);

  const ModDescription inTwo = ParseInTwo(input, split, hint);
  Require(inTwo.sections == whole.sections);
  const ModDescription inPieces = ParseInPieces(input, piece);
  Require(inPieces.sections == whole.sections);
  return 0;
}
