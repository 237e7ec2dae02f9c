// The checks of modpublish-check that need no file system: what the line
// rules of descript.ion make of each line and what the upload will do with
// the resulting record.
//
// The line rules are not repeated here: DescriptionCheck listens to the
// reader itself, and judges the upload by the uploader's own plan, so the
// checker and the uploader always see the same file the same way.
#ifndef MODPUBLISH_CHECK_MOD_CHECK_H_
#define MODPUBLISH_CHECK_MOD_CHECK_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "description/reader.h"

// Steam's limits for an item's title and description, in bytes.
constexpr uint64_t kTitleLimit = 128;
constexpr uint64_t kDescriptionLimit = 8000;
// The smallest preview Steam refuses: previews must stay under 1 MiB.
constexpr uint64_t kPreviewLimit = 1048576;

// One finding about one file.
struct Diagnostic {
  uint64_t line = 0;    // 1-based; 0 for a finding about the whole file
  bool error = false;   // an error makes the publish fail or lose text
  std::string message;  // one line, without its line end
  // Not 0: this is no finding but a note that stands for `hidden` more
  // findings (errors when `error`) that are counted but not shown.
  uint64_t hidden = 0;
};

// Watches the reader read descript.ion (pass it to LoadModDescription or a
// DescriptionParser), then, given the finished record, works out what the
// upload would do wrong. Keeps nothing of the file but the findings it
// shows: of each kind of finding the first kShownPerKind in file order, and
// one note with the count of the others. Use one instance per file.
class DescriptionCheck : public DescriptionListener {
 public:
  static constexpr size_t kShownPerKind = 20;

  DescriptionCheck();
  ~DescriptionCheck() override;

  void OnLine(const DescriptionLine& line) override;
  void OnCtrlZ(uint64_t lineNumber, uint64_t offset) override;

  // Adds the findings that need the whole file: what the upload plan does
  // with the sections, their titles and descriptions. `record` is what the
  // reader returned; `fileBytes` the file's size, to tell how much a Ctrl-Z
  // drops. Call once, after the reader has finished.
  void Conclude(const ModDescription& record, uint64_t fileBytes);

  // After Conclude: the findings and notes, in file order, those about the
  // whole file last.
  const std::vector<Diagnostic>& diagnostics() const { return diagnostics_; }

 private:
  struct Findings;

  // Adds a finding of `kind` on `line`; `message` builds its text, and is
  // called only when the finding will be shown.
  template <class Message>
  void Add(int kind, uint64_t line, bool error, const Message& message);
  void CheckFirstLineMark(const DescriptionLine& line);
  void IgnoredLine(const DescriptionLine& line);
  void KeyLine(const DescriptionLine& line);
  // The header under way is over: reports it when nothing came of it.
  void CloseHeader();
  void CheckValue(std::string_view name, std::string_view key, std::string_view value,
                  uint64_t line);

  std::unique_ptr<Findings> findings_;
  std::vector<Diagnostic> diagnostics_;
  // The header under way: its line (0 before the first), its name and how
  // many key lines it got.
  uint64_t headerLine_ = 0;
  std::string headerName_;
  uint64_t headerKeys_ = 0;
  // A byte-order mark hid the first header; the keys below it are reported
  // with it, not again one by one.
  bool markHidHeader_ = false;
  bool keysBeforeHeaderSeen_ = false;
  uint64_t ctrlZLine_ = 0;
  uint64_t ctrlZOffset_ = 0;
};

// True when `text` is well-formed UTF-8: no stray or missing continuation
// bytes, no overlong forms, no surrogates, nothing beyond U+10FFFF.
bool IsValidUtf8(std::string_view text);

// `text` for a one-line message: control bytes shown as \xNN, and cut after
// about `limit` bytes (at a character boundary) with "..." added.
std::string Excerpt(std::string_view text, size_t limit);

// The language code that `sectionName` was probably meant to be when it
// differs from a known one only in letter case or in '-' for '_' ("EN" →
// "en", "pt-br" → "pt_BR"); "" when there is none or the name is known.
std::string SuggestLanguageCode(std::string_view sectionName);

#endif  // MODPUBLISH_CHECK_MOD_CHECK_H_
