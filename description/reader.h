// The mod's description file, descript.ion: an INI-style text whose
// sections are named by language codes and hold at least a "title" and a
// "description" key each.
//
// Line rules, applied to every line after TrimWhitespace:
//  - shorter than 2 bytes: skipped;
//  - holds '=' anywhere: a key line, split at the first '=' into a trimmed
//    key and a trimmed value, stored in the current section (created on
//    first use; a repeated key keeps the last value);
//  - else starts with '[' and ends with ']': a header; the trimmed text in
//    between becomes the current section name (it starts as "");
//  - anything else is ignored. There are no comments, quotes or escapes.
// Lines end at LF. The file is read as Windows reads a text file: CR LF
// arrives as LF and a Ctrl-Z byte (0x1A) ends the input, on every platform.
// Names, keys and values are bytes, never decoded; NUL bytes stay.
#ifndef MODPUBLISH_DESCRIPTION_READER_H_
#define MODPUBLISH_DESCRIPTION_READER_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "description/record_memory.h"

// A name, key or value held by a ModDescription: bytes the record owns,
// valid as long as the record, always followed by a NUL byte (so c_str()
// costs nothing; a value may hold NUL bytes of its own, as a std::string
// may). It compares byte-wise with other texts and with std::string_view.
class DescriptionText {
 public:
  // The empty text.
  DescriptionText() : data_(kEmpty + 1) {}

  const char* data() const { return data_; }
  const char* c_str() const { return data_; }
  // Decoded from the length that the record keeps in front of the bytes:
  // one byte for up to 127 bytes, one more per further 7 bits.
  size_t size() const {
    const unsigned char* at = reinterpret_cast<const unsigned char*>(data_) - 1;
    size_t size = *at & 0x7Fu;
    for (unsigned shift = 7; (*at & 0x80u) != 0; shift += 7) {
      --at;
      size |= static_cast<size_t>(*at & 0x7Fu) << shift;
    }
    return size;
  }
  bool empty() const { return (data_[-1] & 0xFF) == 0; }
  std::string_view view() const { return std::string_view(data_, size()); }
  operator std::string_view() const { return view(); }

  friend bool operator==(DescriptionText a, DescriptionText b) { return a.view() == b.view(); }
  friend bool operator!=(DescriptionText a, DescriptionText b) { return a.view() != b.view(); }
  friend bool operator<(DescriptionText a, DescriptionText b) { return a.view() < b.view(); }
  friend bool operator==(DescriptionText a, std::string_view b) { return a.view() == b; }
  friend bool operator!=(DescriptionText a, std::string_view b) { return a.view() != b; }
  friend bool operator==(std::string_view a, DescriptionText b) { return a == b.view(); }
  friend bool operator!=(std::string_view a, DescriptionText b) { return a != b.view(); }

 private:
  friend class DescriptionParser;
  // A length byte 0 and the NUL of the empty text.
  static constexpr char kEmpty[2] = {0, 0};
  explicit DescriptionText(const char* data) : data_(data) {}

  const char* data_;
};

// A key and its value.
struct DescriptionEntry {
  DescriptionText first;
  DescriptionText second;
};

// One section: key → value, ordered byte-wise (unsigned bytes; a proper
// prefix sorts first). A read-only view of the record that holds it.
class DescriptionSection {
 public:
  using value_type = DescriptionEntry;
  using const_iterator = const DescriptionEntry*;
  using iterator = const_iterator;

  const_iterator begin() const { return entries_; }
  const_iterator end() const { return entries_ + size_; }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

  // The entry of `key`, or end(). Builds no string.
  const_iterator find(std::string_view key) const;
  size_t count(std::string_view key) const { return find(key) == end() ? 0 : 1; }

  // Same keys with the same values.
  friend bool operator==(const DescriptionSection& a, const DescriptionSection& b);
  friend bool operator!=(const DescriptionSection& a, const DescriptionSection& b) {
    return !(a == b);
  }

 private:
  friend class DescriptionParser;
  const DescriptionEntry* entries_ = nullptr;
  size_t size_ = 0;
};

// A section name and its section.
struct DescriptionNamedSection {
  DescriptionText first;
  DescriptionSection second;
};

// Section name → section, ordered byte-wise like the keys. Owns every byte
// of the record: the texts and sections it hands out stay valid as long as
// it does, moves included. Move-only.
class DescriptionSections {
 public:
  using value_type = DescriptionNamedSection;
  using const_iterator = const DescriptionNamedSection*;
  using iterator = const_iterator;

  const_iterator begin() const { return sections_.data(); }
  const_iterator end() const { return sections_.data() + sections_.size(); }
  size_t size() const { return sections_.size(); }
  bool empty() const { return sections_.size() == 0; }

  // The section named `name`, or end(). Builds no string.
  const_iterator find(std::string_view name) const;
  size_t count(std::string_view name) const { return find(name) == end() ? 0 : 1; }

  // Same names with the same sections.
  friend bool operator==(const DescriptionSections& a, const DescriptionSections& b);
  friend bool operator!=(const DescriptionSections& a, const DescriptionSections& b) {
    return !(a == b);
  }

 private:
  friend class DescriptionParser;
  // The bytes of every name, key and value.
  RecordArena texts_;
  // The entries of every section; each section is a sorted run of them.
  RecordArray<DescriptionEntry> entries_;
  RecordArray<DescriptionNamedSection> sections_;
};

// The parsed description file. Every section in `sections` holds at least
// one key; a header with no key lines under it leaves no trace.
struct ModDescription {
  // Section name → section, ordered byte-wise, so "" < "de" < "en" < "pt" <
  // "pt_BR" whatever their order in the file.
  DescriptionSections sections;
  // Whether the reader echoed what it parsed; nothing reads it afterwards.
  bool verbose = false;
};

// Returns `text` without the leading and trailing bytes from the set tab,
// space, CR, LF. Vertical tab, form feed, NUL and non-ASCII spaces are kept.
std::string TrimWhitespace(std::string_view text);

// Reads the description file at `path` into a new ModDescription. When
// `verbose`, echoes through Print "Parsing [%s]\n" for every header line and
// "[%s] %s = %s\n" (section, key, value) for every key line.
// If the file can't be opened (missing, unreadable, not a regular file),
// prints "File not found: %s\n" with `path` in every mode and throws the
// int -1. A read error midway ends the input like the end of the file. An
// allocation failure leaves as std::bad_alloc, after the echo so far.
ModDescription LoadModDescription(const std::string& path, bool verbose);

// How the line rules above took one line of the file.
enum class DescriptionLineKind {
  kHeader,   // a section header: `section` is the new current name
  kKey,      // a key line: `key` and `value` stored in `section`
  kSkipped,  // shorter than 2 bytes after trimming (blank lines included)
  kIgnored,  // neither a key line nor a header
};

// One line as the reader classified it. The views point into the reader's
// buffers and are valid only during the OnLine call.
struct DescriptionLine {
  uint64_t number = 0;  // 1-based: LF bytes before the line, plus one
  DescriptionLineKind kind = DescriptionLineKind::kSkipped;
  std::string_view text;     // the trimmed line
  std::string_view section;  // the current section name after the line
  std::string_view key;      // key lines only
  std::string_view value;    // key lines only
};

// Watches the reader classify the file, line by line in file order, without
// changing what it stores.
class DescriptionObserver {
 public:
  virtual ~DescriptionObserver() = default;
  // Called once per line; a last line without an LF counts when it holds
  // any byte, so an input of N LF-terminated lines gives N calls.
  virtual void OnLine(const DescriptionLine& line) = 0;
  // A Ctrl-Z byte ended the input on line `lineNumber`, at `offset` bytes
  // from the start of the input. Comes before that line's OnLine, which
  // follows only when the line holds bytes before the Ctrl-Z.
  virtual void OnCtrlZ(uint64_t lineNumber, uint64_t offset) = 0;
};

// LoadModDescription that also reports every line to `observer` (may be
// null); the record, the echo and the failure are the same.
ModDescription LoadModDescription(const std::string& path, bool verbose,
                                  DescriptionObserver* observer);

// The line rules above as a streaming parser: it takes the file's bytes in
// pieces of any size, so a line may span any number of pieces, and builds
// the record as LoadModDescription would from the same bytes, echo included.
// It holds at most one partial line besides the record.
class DescriptionParser {
 public:
  // `verbose` turns on the echo and is stored in the record. `observer`, if
  // not null, is told of every line and must outlive the parser.
  explicit DescriptionParser(bool verbose, DescriptionObserver* observer = nullptr);

  // Takes the next bytes of the input. Returns false once a Ctrl-Z byte has
  // ended the input; bytes fed after that are ignored.
  bool Feed(std::string_view bytes);

  // The bytes held of the line under way, whose LF hasn't arrived yet.
  size_t PendingLineBytes() const { return partial_.size(); }

  // A hint that the line under way holds `bytes` bytes in all, up to its LF:
  // its buffer is sized once instead of growing by copies. A wrong hint
  // costs memory or time, never correctness.
  void ReserveLine(size_t bytes) { partial_.reserve(bytes); }

  // Ends the input: the last line, which needs no LF, is parsed now. Returns
  // the record; call it once, the parser is spent afterwards.
  ModDescription Finish();

  DescriptionParser(DescriptionParser&&) noexcept;
  DescriptionParser& operator=(DescriptionParser&&) noexcept;
  ~DescriptionParser();

 private:
  struct Builder;

  // `lineBuffer` is the buffer that holds the bytes of `line` when the
  // parser may take it over for a long value, else null.
  void ParseLine(std::string_view line, LineBuffer* lineBuffer);
  void StoreKey(std::string_view key, std::string_view value, LineBuffer* lineBuffer);
  // Tells the observer, if any, of `line` as `kind`.
  void Notify(DescriptionLine& line, DescriptionLineKind kind);

  ModDescription record_;
  // What the parser needs while it builds the record: the sections as they
  // grow, and indexes to find names and keys.
  std::unique_ptr<Builder> builder_;
  // The bytes of a line whose LF hasn't arrived yet.
  LineBuffer partial_;
  std::string currentName_;
  bool ended_ = false;
  DescriptionObserver* observer_ = nullptr;
  // Lines parsed so far, and bytes fed so far (for the observer).
  uint64_t lines_ = 0;
  uint64_t fed_ = 0;
};

#endif  // MODPUBLISH_DESCRIPTION_READER_H_
