// libFuzzer target for the description reader. Every input is parsed three
// ways: in one piece, in two pieces split at an offset drawn from the input
// (with a size hint between them), and in small pieces. All three must
// build the same record, and that record must hold what every consumer of
// a ModDescription relies on. A violation stops the run with a trap, which
// libFuzzer reports as a crash and saves the input.
#include <cstddef>
#include <cstdint>
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

bool HasNoBlankEnds(const std::string& text) {
  return text.empty() || (!IsBlank(text.front()) && !IsBlank(text.back()));
}

// Neither an LF, which ends every line, nor a Ctrl-Z, which ends the input,
// can reach the record.
bool HoldsNoLineOrInputEnd(const std::string& text) {
  return text.find_first_of("\n\x1A") == std::string::npos;
}

// The uploader looks sections and keys up by name and sizes its progress
// line by the section count, so names must be trimmed, a key or section
// name can never hold the '=' that would have made its line a key line,
// and a section exists only once a key line has filled it.
void CheckRecord(const ModDescription& record) {
  Require(!record.verbose);
  for (const auto& [name, section] : record.sections) {
    Require(HasNoBlankEnds(name) && HoldsNoLineOrInputEnd(name));
    Require(name.find('=') == std::string::npos);
    Require(!section.empty());
    for (const auto& [key, value] : section) {
      Require(HasNoBlankEnds(key) && HoldsNoLineOrInputEnd(key));
      Require(key.find('=') == std::string::npos);
      Require(HasNoBlankEnds(value) && HoldsNoLineOrInputEnd(value));
    }
  }
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
