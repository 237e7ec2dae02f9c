// libFuzzer target for the description reader and the checker. Every input
// is parsed three ways: in one piece, in two pieces split at an offset drawn
// from the input, and in small pieces. All three must
// build the same record, that record must hold what every consumer of a
// ModDescription relies on, and it must equal what the line rules give
// when applied plainly on standard maps. The piecewise parse is also
// watched the way modpublish-check watches it: the lines it is told of must
// rebuild the record, the upload plan must agree with it, and the checker's
// findings must stay one clean line each. A violation stops the run with a trap, which libFuzzer
// reports as a crash and saves the input.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "check/description_check.h"
#include "description/reader.h"
#include "description/upload_plan.h"
#include "tests/support/plain_description.h"

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
  const DescriptionText* lastName = nullptr;
  for (const auto& named : record.sections) {
    const DescriptionText& name = named.name;
    const DescriptionSection& section = named.section;
    Require(HasNoBlankEnds(name) && HoldsNoLineOrInputEnd(name) && EndsInNul(name));
    Require(name.view().find('=') == std::string_view::npos);
    Require(lastName == nullptr || *lastName < name);
    lastName = &name;
    Require(record.sections.find(name) == &named);
    Require(!section.empty());
    const DescriptionText* lastKey = nullptr;
    for (const auto& entry : section) {
      const DescriptionText& key = entry.key;
      const DescriptionText& value = entry.value;
      Require(HasNoBlankEnds(key) && HoldsNoLineOrInputEnd(key) && EndsInNul(key));
      Require(key.view().find('=') == std::string_view::npos);
      Require(HasNoBlankEnds(value) && HoldsNoLineOrInputEnd(value) && EndsInNul(value));
      Require(lastKey == nullptr || *lastKey < key);
      lastKey = &key;
      Require(section.find(key) == &entry);
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
  DescriptionParser parser;
  bool ctrlZSeen = false;
  FeedAndCheck(parser, input, ctrlZSeen);
  return parser.Finish();
}

// Two pieces: a line that starts in the first piece carries over, and a CR
// LF pair may be cut in two.
ModDescription ParseInTwo(std::string_view input, size_t split) {
  DescriptionParser parser;
  bool ctrlZSeen = false;
  FeedAndCheck(parser, input.substr(0, split), ctrlZSeen);
  FeedAndCheck(parser, input.substr(split), ctrlZSeen);
  return parser.Finish();
}

// What the reader tells an observer, checked as it comes, and handed on to
// the checker.
class Watcher : public DescriptionListener {
 public:
  bool OnLine(const DescriptionLine& line) override {
    Require(line.number == ++lines);
    // Nothing after the Ctrl-Z's own line.
    Require(ctrlZLine == 0 || line.number <= ctrlZLine);
    if (line.kind == DescriptionLineKind::kKey) {
      rebuilt[std::string(line.section)][std::string(line.key)] = std::string(line.value);
      Require(line.replacedLine < line.number);
    } else {
      Require(line.key.empty() && line.value.empty() && line.replacedLine == 0);
    }
    return check.OnLine(line);
  }
  void OnCtrlZ(uint64_t lineNumber, uint64_t offset) override {
    Require(ctrlZLine == 0 && lineNumber == lines + 1 + linesBeforeCtrlZ);
    ctrlZLine = lineNumber;
    ctrlZOffset = offset;
    check.OnCtrlZ(lineNumber, offset);
  }

  uint64_t lines = 0;
  uint64_t linesBeforeCtrlZ = 0;  // LFs between the last line told and the Ctrl-Z
  uint64_t ctrlZLine = 0;
  uint64_t ctrlZOffset = UINT64_MAX;
  PlainDescription rebuilt;
  DescriptionCheck check;
};

// Many small pieces: a line spans several of them, and pieces keep coming
// after a Ctrl-Z. `watcher`, when given, is told of every line.
ModDescription ParseInPieces(std::string_view input, size_t piece, Watcher* watcher = nullptr) {
  DescriptionParser parser(watcher);
  bool ctrlZSeen = false;
  for (size_t at = 0; at < input.size(); at += piece) {
    FeedAndCheck(parser, input.substr(at, piece), ctrlZSeen);
  }
  return parser.Finish();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  Require(HasNoBlankEnds(TrimWhitespace(input)));

  const ModDescription whole = ParseWhole(input);
  CheckRecord(whole);
  Require(FlattenDescription(whole) == ParsePlainDescription(input));

  // The first bytes also choose how the input is cut, so the fuzzer can
  // steer the cut without a separate input format; the description is still
  // the whole input.
  const size_t seed = size >= 2 ? static_cast<size_t>(data[0] | (data[1] << 8)) : 0;
  const size_t split = seed % (size + 1);
  const size_t piece = 1 + (size >= 4 ? data[3] % 16 : 0);

  const ModDescription inTwo = ParseInTwo(input, split);
  Require(inTwo.sections == whole.sections);
  const ModDescription inPieces = ParseInPieces(input, piece);
  Require(inPieces.sections == whole.sections);

  // The lines before the Ctrl-Z are all told, and the Ctrl-Z where it is.
  Watcher watcher;
  const size_t ctrlZ = input.find('\x1A');
  const std::string_view read = input.substr(0, ctrlZ);
  if (ctrlZ != std::string_view::npos) {
    // Only the lines that end before the piece holding the Ctrl-Z have been
    // told when it is found; the check above needs how many LFs follow.
    const size_t pieceStart = ctrlZ - ctrlZ % piece;
    size_t lfsInPiece = 0;
    for (size_t at = pieceStart; at < ctrlZ; ++at) {
      lfsInPiece += input[at] == '\n' ? 1 : 0;
    }
    watcher.linesBeforeCtrlZ = lfsInPiece;
  }
  const ModDescription watched = ParseInPieces(input, piece, &watcher);
  Require(watched.sections == whole.sections);
  Require(watcher.rebuilt == FlattenDescription(whole));
  if (ctrlZ != std::string_view::npos) {
    Require(watcher.ctrlZOffset == ctrlZ);
  } else {
    Require(watcher.ctrlZLine == 0);
  }
  uint64_t lineCount = 0;
  for (char c : read) {
    lineCount += c == '\n' ? 1 : 0;
  }
  lineCount += !read.empty() && read.back() != '\n' ? 1 : 0;
  Require(watcher.lines == lineCount);

  // The plan walks every section once, on lines that exist, with the
  // uploader's fallbacks where a key is missing.
  size_t planned = 0;
  for (const PlannedSection& section : UploadPlan(whole)) {
    Require(section.name == whole.sections.begin()[planned++].name);
    Require(section.line >= 1 && section.line <= lineCount);
    Require((section.skip == SectionSkip::kNone) == (*section.language != '\0'));
    for (const PlannedText* text : {&section.title, &section.description}) {
      Require(text->fromKey ? text->line >= section.line && text->line <= lineCount
                            : text->line == 0 && text->Sent() == text->stored);
    }
  }
  Require(planned == whole.sections.size());

  watcher.check.Conclude(watched, size);
  uint64_t lastLine = 0;
  for (const Diagnostic& diagnostic : watcher.check.diagnostics()) {
    // In file order, the whole-file findings last, on lines that exist (a
    // Ctrl-Z may stand at the start of a line of its own).
    const uint64_t line = diagnostic.line == 0 ? UINT64_MAX : diagnostic.line;
    Require(line >= lastLine && (diagnostic.line <= lineCount || diagnostic.line == 0 ||
                                 diagnostic.line == watcher.ctrlZLine));
    lastLine = line;
    // One clean line: no byte from the file may break or garble it.
    for (char c : diagnostic.message) {
      Require(static_cast<unsigned char>(c) >= 0x20 && c != '\x7F');
    }
  }
  return 0;
}
