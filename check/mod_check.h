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

#include "description/language.h"
#include "description/reader.h"
#include "description/upload_plan.h"

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

// `count` and its noun, for a message: "1 byte", "2 bytes" (`one` "byte",
// `many` "bytes").
std::string Count(uint64_t count, const char* one, const char* many);

// Watches the reader read descript.ion (pass it to LoadModDescription or a
// DescriptionParser), then, given the finished record, works out what the
// upload would do wrong. Keeps nothing of the file but the findings it
// shows (of each kind of finding the first kShownPerKind in file order, and
// one note with the count of the others) and the plan's summary, which
// points into the record. Use one instance per file.
//
// An error is what leaves text of the author off Steam or makes the
// publish fail: a section holding a title or a description (its key in
// any letter case) that is skipped; a title or description key spelled in
// another letter case in a section that is uploaded; a title or
// description set twice, to another value, in such a section; a NUL byte in a title or
// description, which ends what Steam gets; a title over kTitleLimit or a
// description over kDescriptionLimit bytes as Steam would get them; a
// Ctrl-Z before the end of the file. A section with neither key is the
// game's data: skipping it loses nothing and is no finding. Everything else
// is a warning: it looks wrong, or may be a slip, but loses nothing.
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

  // The upload plan in short, made by Conclude's one walk of it: every
  // section to upload (only the few known language codes are), in upload
  // order, and of the skipped ones the first kShownPerKind and the count of
  // the others. Borrows the record given to Conclude.
  struct PlanSummary {
    std::vector<PlannedSection> uploaded;
    std::vector<PlannedSection> skipped;
    uint64_t moreSkipped = 0;
  };
  PlanSummary& plan() { return plan_; }

 private:
  struct Findings;
  struct HeldText;

  // Adds a finding of `kind` on `line`; `message` builds its text, and is
  // called only when the finding will be shown.
  template <class Message>
  void Add(int kind, uint64_t line, bool error, const Message& message);
  void CheckFirstLineMark(const DescriptionLine& line);
  void IgnoredLine(const DescriptionLine& line);
  // A line that holds no key under a description line.
  void DescriptionContinues(const DescriptionLine& line);
  void KeyLine(const DescriptionLine& line);
  // The header under way is over: reports it when nothing came of it.
  void CloseHeader();
  // What the upload plan does with one section.
  void CheckSkippedSection(const PlannedSection& section);
  void CheckNamelessSection(const HeldText& held);
  void CheckKeyCase(const PlannedSection& section);
  void CheckText(const PlannedSection& section, const PlannedText& text, std::string_view key);

  std::unique_ptr<Findings> findings_;
  std::vector<Diagnostic> diagnostics_;
  PlanSummary plan_;
  // The header under way: its line (0 before the first), its name, how
  // many key lines it got, and whether it is a tag of Steam's markup under
  // a description ("[list]"), which is reported as such.
  uint64_t headerLine_ = 0;
  std::string headerName_;
  uint64_t headerKeys_ = 0;
  bool headerIsMarkup_ = false;
  uint64_t firstHeaderLine_ = 0;
  // The first header "[]" that got keys: where the section with no name is
  // named so.
  uint64_t namelessHeaderLine_ = 0;
  // A byte-order mark hid the first header, `markHeader_` (as shown).
  bool markHidHeader_ = false;
  std::string markHeader_;
  // The latest key line, when it set a description: lines below it that
  // hold no key are taken for more of it. 0 otherwise. Its section, as
  // shown ("[en]").
  uint64_t descriptionLine_ = 0;
  std::string descriptionSection_;
  uint64_t ctrlZLine_ = 0;
  uint64_t ctrlZOffset_ = 0;
};

// True when `text` is well-formed UTF-8: no stray or missing continuation
// bytes, no overlong forms, no surrogates, nothing beyond U+10FFFF.
bool IsValidUtf8(std::string_view text);

// The known language that the section name `sectionName` was probably
// meant for, or null when there is none or the name is known: another
// letter case or '-' for '_' ("EN" → en, "pt-br" → pt_BR); a regional or
// script form of a language ("en_US", "pt_PT", "es_MX" → the language;
// "zh_CN", "zh-Hans", "zh_SG" → zh, Simplified Chinese; "zh_HK",
// "zh-Hant" → zh_TW, Traditional Chinese); Steam's name of a language
// ("english" → en, "schinese" → zh); a code people write by mistake, a
// country's or another standard's ("ua" → uk, "rus" → ru, "br" → pt_BR,
// "jp" → ja, "kr" → ko, "cz" → cs, "se" → sv, "dk" → da, "gr" → el,
// "cn" → zh, "tw" → zh_TW). The result is an entry of KnownLanguages().
const KnownLanguage* SuggestLanguage(std::string_view sectionName);

#endif  // MODPUBLISH_CHECK_MOD_CHECK_H_
