// Reads descript.ion (its format: line_rules.h) into a ModDescription, and
// tells a listener, if any, what it made of every line as it goes: one parse
// feeds the record, modpublish's echo and modpublish-check's findings.
#ifndef MODPUBLISH_DESCRIPTION_READER_H_
#define MODPUBLISH_DESCRIPTION_READER_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "description/description.h"
#include "description/line_rules.h"

// One line as the reader took it, told right after the record took it in.
// The views are valid during the call only. `section`, `key` and `value`
// are each followed by a NUL byte, so data() prints as %s (up to a NUL of
// their own).
struct DescriptionLine {
  uint64_t number = 0;  // 1-based: the LF bytes before the line, plus one
  DescriptionLineKind kind = DescriptionLineKind::kSkipped;
  std::string_view text;     // the trimmed line; empty for key lines
  std::string_view section;  // the current section name after the line
  std::string_view key;      // key lines: as stored
  std::string_view value;    // key lines: as stored
  // Key lines: the line whose value of this key in this section this one
  // replaced, 0 for a key new to the section; and whether the value it
  // replaced held the same bytes (then nothing written is lost).
  uint64_t replacedLine = 0;
  bool replacedSame = false;
};

// Told of the lines in file order. The calls don't throw: a listener that
// can't go on (its memory ran out, say) answers so, and the reader stops.
class DescriptionListener {
 public:
  virtual ~DescriptionListener() = default;
  // Once per line; a last line without an LF counts when it holds any byte,
  // so an input of N LF-terminated lines gives N calls. A key line is told
  // only once it is stored, so a memory failure while storing it leaves it
  // untold. Returns whether to read on: false ends the input after this
  // line, and the record holds the lines up to it.
  virtual bool OnLine(const DescriptionLine& line) = 0;
  // A Ctrl-Z byte ended the input on line `lineNumber`, at `offset` bytes
  // from the start. Comes before that line's OnLine, which follows only
  // when the line holds bytes before the Ctrl-Z.
  virtual void OnCtrlZ(uint64_t /*lineNumber*/, uint64_t /*offset*/) {}
};

// Reads the file at `path` into `description`, telling `listener` (may be
// null) of every line. Prints nothing. Returns kRead with the record in
// `description`; any other status leaves `description` empty, after the
// listener has been told of the lines read until the failure: kMissing,
// kNotAFile, kUnreadable, or kTooBig when the record doesn't fit in the
// memory left. A read error midway ends the input like the end of the file,
// and so does a listener's false.
FileStatus LoadModDescription(const std::string& path, ModDescription& description,
                              DescriptionListener* listener = nullptr);

// The reader as a streaming parser: it takes the file's bytes in pieces of
// any size (a line may span any number of them) and builds the record that
// LoadModDescription would from the same bytes. Holds at most one partial
// line besides the record. Throws std::bad_alloc when memory runs out.
class DescriptionParser {
 public:
  // `listener`, if not null, must outlive the parser.
  explicit DescriptionParser(DescriptionListener* listener = nullptr);
  DescriptionParser(DescriptionParser&&) noexcept;
  DescriptionParser& operator=(DescriptionParser&&) noexcept;
  ~DescriptionParser();

  // Takes the next bytes. Returns false once the input has ended, at a
  // Ctrl-Z byte or at the listener's false; bytes fed after that are
  // ignored.
  bool Feed(std::string_view bytes);

  // Ends the input (the last line needs no LF) and returns the record. Call
  // once; the parser is spent afterwards.
  ModDescription Finish();

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

#endif  // MODPUBLISH_DESCRIPTION_READER_H_
