// The description's findings: what the line rules of descript.ion make of
// each line, what the upload will do with the resulting record, and what
// the description files it names hold. None of it needs the file system.
//
// The line rules are not repeated here: DescriptionCheck listens to the
// reader itself, and judges the upload by the uploader's own plan, so the
// checker and the uploader always see the same file the same way.
#ifndef MODPUBLISH_CHECK_DESCRIPTION_CHECK_H_
#define MODPUBLISH_CHECK_DESCRIPTION_CHECK_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "check/finding.h"
#include "check/steam_limits.h"
#include "description/language.h"
#include "description/reader.h"
#include "description/upload_plan.h"

// Watches the reader read descript.ion (pass it to LoadModDescription or a
// DescriptionParser), then, given the finished record, works out what the
// upload would do wrong. Keeps nothing of the file but the findings it
// shows (of each kind of finding the first kShownPerKind in file order, and
// one note with the count of the others) and the plan's summary, which
// points into the record. Use one instance per file.
//
// What it finds that loses text or fails the publish: a section holding a
// title or a description (its key in any letter case, description_file
// too) that is skipped; such a key spelled in another letter case in a
// section that is uploaded; a title or description set twice, to another
// value, in such a section, or both a description and a description file;
// a description pasted over several lines, of which only the first reaches
// Steam; a description file that can't be read; a NUL byte in a title or
// description, which ends what Steam gets; a title or description that
// kTitleLimit or kDescriptionLimit refuses as Steam would get it; a Ctrl-Z
// with text after it. A section with neither key is the game's data:
// skipping it loses nothing and is no finding. Besides, what looks wrong,
// or may be a slip, but loses nothing. Each finding's kind tells its
// severity (SeverityOf).
//
// A paste ends where a real key or section starts: at a key line whose key
// looks like one (PlausibleKey), or at a header of a language code that
// such a key line follows before any other header. Everything else below a
// description is taken for its text: "[url=https://...]", "[list]", the
// "[tr]" and "[th]" lines of a table (which are language codes too).
class DescriptionCheck : public DescriptionListener {
 public:
  DescriptionCheck();
  ~DescriptionCheck() override;

  // Answers false when the check's own memory runs out: the reader stops,
  // and Conclude throws the std::bad_alloc.
  bool OnLine(const DescriptionLine& line) override;
  void OnCtrlZ(uint64_t lineNumber, uint64_t offset) override;

  // Adds the findings that need the whole file: what the upload plan does
  // with the sections, their titles and descriptions, those read from
  // description files included (LoadDescriptionFiles). `record` is what the
  // reader returned; `fileBytes` the file's size, to tell how much a Ctrl-Z
  // drops, and `blankAfterCtrlZ` whether all it drops are blanks, line ends
  // and more Ctrl-Z bytes, which lose nothing. Call once, after the reader
  // has finished.
  void Conclude(const ModDescription& record, uint64_t fileBytes, bool blankAfterCtrlZ = false);

  // The offset of the Ctrl-Z byte that ended the input, or UINT64_MAX when
  // none did.
  uint64_t CtrlZOffset() const { return ctrlZLine_ == 0 ? UINT64_MAX : ctrlZOffset_; }

  // After Conclude: the findings and notes, in file order, those about the
  // whole file last.
  const std::vector<Diagnostic>& diagnostics() const { return diagnostics_; }

  // After Conclude: the findings about the text of each description file
  // that was read, at the file's own lines, under its DescriptionFile::path,
  // in section order; files with none are left out. (A file that can't be
  // read is a finding about the line of descript.ion that names it.)
  const std::vector<FileFindings>& fileFindings() const { return fileFindings_; }

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
  void Add(FindingKind kind, uint64_t line, const Message& message);
  void CheckFirstLineMark(const DescriptionLine& line);
  void IgnoredLine(const DescriptionLine& line);
  // Whether `line` is more of a description pasted over several lines;
  // ends the paste where a real key or section starts.
  bool InPastedDescription(const DescriptionLine& line);
  // What the line rules made of `line`, outside a paste.
  void TakeLine(const DescriptionLine& line);
  // The paste under way, if any, ends before the line being read, or at
  // the end of the file.
  void EndPastedDescription();
  void StartHeader(uint64_t line, std::string_view name);
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
  std::vector<FileFindings> fileFindings_;
  PlanSummary plan_;
  // The header under way: its line (0 before the first), its name, and how
  // many key lines it got.
  uint64_t headerLine_ = 0;
  std::string headerName_;
  uint64_t headerKeys_ = 0;
  uint64_t firstHeaderLine_ = 0;
  // The first header "[]" that got keys: where the section with no name is
  // named so.
  uint64_t namelessHeaderLine_ = 0;
  // A byte-order mark hid the first header, `markHeader_` (as shown).
  bool markHidHeader_ = false;
  std::string markHeader_;
  // A description pasted over several lines of the file, as real
  // descriptions of many lines are: from the description's own line on,
  // every line is more of it until a real key or section starts.
  struct HeldLine {
    uint64_t number;
    DescriptionLineKind kind;
    std::string text;
    std::string section;
  };
  static constexpr size_t kHeldLines = 64;
  static constexpr size_t kHeldBytes = 160;
  struct PastedDescription {
    uint64_t line = 0;  // the description's line; 0 when no paste is under way
    std::string name;   // its section's name (cut short)
    // The last line of the paste that holds text, and the bytes up to it
    // and up to the latest line (each line with its line end).
    uint64_t lastText = 0;
    uint64_t bytesToLastText = 0;
    uint64_t bytes = 0;
    // The lines since the last one with text that may be of what follows
    // (comments, headers that are no markup): told to TakeLine if a key
    // line comes next. The first kHeldLines only.
    std::vector<HeldLine> held;
    // The closing tag of a block of code under way ("[/code]"), or empty.
    std::string verbatim;
  };
  PastedDescription pasted_;
  // The lines of every paste that ended, first and last: no other finding
  // is made on them.
  std::vector<std::pair<uint64_t, uint64_t>> pastedLines_;
  uint64_t ctrlZLine_ = 0;
  uint64_t ctrlZOffset_ = 0;
  bool outOfMemory_ = false;
};

// What is wrong with how descript.ion was saved, told by `start`, its first
// bytes (64 KiB will do): as UTF-16 (Notepad's "Unicode", PowerShell 5's
// Out-File), with a byte-order mark or without one, or with lines ended by
// a CR alone. modpublish reads neither as meant. The message, or empty.
std::string DescriptionEncodingProblem(std::string_view start);

// Whether `key`, found below a description, is a key of descript.ion
// rather than a line of pasted text that holds a '=': letters, digits, '_',
// '-' and '.' only, with a lower-case letter among them ("version",
// "Title") or a spelling of title, description or description_file in any
// letter case. Keys of a game's data are words; "F5 = quick save" and
// "[url=https://...]" are text.
bool PlausibleKey(std::string_view key);

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

#endif  // MODPUBLISH_CHECK_DESCRIPTION_CHECK_H_
