#include "check/description_check.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include "check/markup.h"
#include "check/text.h"
#include "console/console.h"
#include "description/description_file.h"
#include "description/language.h"
#include "description/line_rules.h"
#include "description/upload_plan.h"

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr size_t kNameLimit = 40;

std::string Quoted(std::string_view text) { return "\"" + Excerpt(text, kNameLimit) + "\""; }
std::string Bracketed(std::string_view name) { return "[" + Excerpt(name, kNameLimit) + "]"; }

// Where keys below an ignored line end up, for the message about it.
std::string SectionOf(std::string_view name) {
  return name.empty() ? std::string("the section with no name, which is never uploaded")
                      : "section " + Bracketed(name);
}

// Of the keys whose values, or files, go to Steam ("title", "description",
// kDescriptionFileKey), the one that `key` spells in any letter case;
// empty for any other key.
std::string_view TextKeyOf(std::string_view key) {
  for (const std::string_view textKey :
       {std::string_view("title"), std::string_view("description"), kDescriptionFileKey}) {
    if (EqualIgnoringCase(key, textKey)) {
      return textKey;
    }
  }
  return {};
}

// Whether a line below a description, which holds no key, may be of what
// follows the description rather than more of it: a comment, or a header
// (or what looks like a broken one) that is no tag of Steam's markup.
// "[list]" and "[h1]Features[/h1]" are text; "[tr]" and "[th]" are both
// tags and language codes, so they may start a section too. Which it is
// shows once the next line with text is there: a key line, or more text.
bool MayFollowText(const DescriptionLine& line) {
  const std::string_view text = line.text;
  if (line.kind == DescriptionLineKind::kIgnored && (text.front() == ';' || text.front() == '#')) {
    return true;
  }
  if (line.kind != DescriptionLineKind::kHeader &&
      !(line.kind == DescriptionLineKind::kIgnored && text.front() == '[')) {
    return false;
  }
  // A tag at the start ends at the first ']': no need to look further.
  const std::optional<MarkupFinding> tag = FindMarkupInTitle(text.substr(0, text.find(']') + 1));
  return !tag || tag->offset != 0 ||
         *SteamLanguageFor(tag->tag.substr(1, tag->tag.size() - 2)) != '\0';
}

// The line of `text` that its byte `offset` stands on, 1-based.
uint64_t LineAt(std::string_view text, size_t offset) {
  const std::string_view before = text.substr(0, offset);
  return 1 + static_cast<uint64_t>(std::count(before.begin(), before.end(), '\n'));
}

// Section names that stand for a known language in another form than its
// code, spelled in lower case with '_': the scripts and regions of Chinese,
// whose codes don't start with the language's own code alone.
constexpr struct {
  std::string_view name;
  std::string_view code;
} kChineseForms[] = {
    {"zh_cn", "zh"},         {"zh_sg", "zh"},         {"zh_hans", "zh"},  {"zh_hans_cn", "zh"},
    {"zh_hans_sg", "zh"},    {"zh_hk", "zh_TW"},      {"zh_mo", "zh_TW"}, {"zh_hant", "zh_TW"},
    {"zh_hant_tw", "zh_TW"}, {"zh_hant_hk", "zh_TW"},
};

// Codes people write for a language that are not its language code: a
// country's code or another standard's, in lower case.
constexpr struct {
  std::string_view name;
  std::string_view code;
} kMistakenCodes[] = {
    {"ua", "uk"}, {"rus", "ru"}, {"br", "pt_BR"}, {"jp", "ja"}, {"kr", "ko"},    {"cz", "cs"},
    {"se", "sv"}, {"dk", "da"},  {"gr", "el"},    {"cn", "zh"}, {"tw", "zh_TW"},
};

const KnownLanguage* LanguageOfCode(std::string_view code) {
  for (const KnownLanguage& language : KnownLanguages()) {
    if (language.code == code) {
      return &language;
    }
  }
  return nullptr;
}

}  // namespace

std::string DescriptionEncodingProblem(std::string_view start) {
  // ASCII text in UTF-16 has a NUL byte beside every character: before it
  // in big-endian order, after it in little-endian order.
  size_t nulFirst = 0;
  size_t nulSecond = 0;
  const size_t pairs = std::min<size_t>(start.size(), 256) / 2;
  for (size_t i = 0; i < pairs; ++i) {
    const bool first = start[2 * i] == '\0';
    const bool second = start[2 * i + 1] == '\0';
    nulFirst += first && !second ? 1 : 0;
    nulSecond += second && !first ? 1 : 0;
  }
  const bool mark = start.substr(0, 2) == "\xFF\xFE" || start.substr(0, 2) == "\xFE\xFF";
  if (mark || (pairs >= 2 && std::max(nulFirst, nulSecond) * 2 >= pairs)) {
    return "the file is saved as UTF-16 (Notepad's \"Unicode\", PowerShell 5's Out-File), which "
           "modpublish doesn't read: none of its sections reaches Steam as written. Save it as "
           "UTF-8 without a byte-order mark (in Notepad: Save As, encoding \"UTF-8\")";
  }
  const size_t cr = start.find('\r');
  if (start.find('\n') == std::string_view::npos && cr != std::string_view::npos &&
      start.find_first_not_of('\r', cr) != std::string_view::npos) {
    return "the lines of the file end in a CR alone (as on classic Mac OS), which modpublish "
           "doesn't take for a line end: it reads the whole file as one line. Save it with "
           "Windows (CR LF) or Unix (LF) line ends";
  }
  return std::string();
}

bool PlausibleKey(std::string_view key) {
  bool lower = false;
  for (char c : key) {
    if (!IsAsciiLetter(c) && !IsAsciiDigit(c) && c != '_' && c != '-' && c != '.') {
      return false;
    }
    lower = lower || (c >= 'a' && c <= 'z');
  }
  return !key.empty() && (lower || !TextKeyOf(key).empty());
}

const KnownLanguage* SuggestLanguage(std::string_view sectionName) {
  if (*SteamLanguageFor(sectionName) != '\0') {
    return nullptr;
  }
  std::string name;
  for (char c : sectionName) {
    name += c == '-' ? '_' : LowerAscii(c);
  }
  for (const KnownLanguage& language : KnownLanguages()) {
    if (EqualIgnoringCase(language.code, name) || language.steamName == name) {
      return &language;
    }
  }
  for (const auto& form : kChineseForms) {
    if (form.name == name) {
      return LanguageOfCode(form.code);
    }
  }
  for (const auto& mistaken : kMistakenCodes) {
    if (mistaken.name == name) {
      return LanguageOfCode(mistaken.code);
    }
  }
  // A language with a region or script ("en_us", "pt_pt", "es_419"): the
  // language's own code, where it is one; Chinese has its own forms above.
  if (name.size() > 3 && name[2] == '_' && name.compare(0, 2, "zh") != 0) {
    return LanguageOfCode(std::string_view(name).substr(0, 2));
  }
  return nullptr;
}

namespace {

// Findings about the whole file (line 0) sort last.
uint64_t Order(uint64_t line) { return line == 0 ? UINT64_MAX : line; }

}  // namespace

// The findings kept so far: of each kind those on the earliest lines, and
// how many more there were. A finding's `sequence` keeps findings of one
// line in the order they were made.
struct DescriptionCheck::Findings {
  struct Kept {
    Diagnostic diagnostic;
    uint64_t sequence;
  };
  struct OfKind {
    std::vector<Kept> shown;
    uint64_t hidden = 0;
    uint64_t firstHiddenLine = 0;  // as Order() gives it
  };
  OfKind kinds[kFindingKinds];
  uint64_t sequence = 0;

  // The finding on the latest line of those shown (some are).
  static Kept& LatestOf(std::vector<Kept>& shown) {
    return *std::max_element(shown.begin(), shown.end(), [](const Kept& a, const Kept& b) {
      return Order(a.diagnostic.line) < Order(b.diagnostic.line);
    });
  }

  // The shown finding of `kind` on the latest line, or null while fewer
  // than kShownPerKind are shown.
  Kept* Latest(FindingKind kind) {
    std::vector<Kept>& shown = Of(kind).shown;
    return shown.size() < kShownPerKind ? nullptr : &LatestOf(shown);
  }

  OfKind& Of(FindingKind kind) { return kinds[static_cast<size_t>(kind)]; }

  void Hide(FindingKind kind, uint64_t line) {
    OfKind& of = Of(kind);
    of.firstHiddenLine = of.hidden == 0 ? Order(line) : std::min(of.firstHiddenLine, Order(line));
    ++of.hidden;
  }

  // The note for the findings of a kind that are not shown, on the line of
  // the first of them.
  static Kept Note(FindingKind kind, OfKind& of) {
    const uint64_t last = Order(LatestOf(of.shown).diagnostic.line);
    const uint64_t line = of.firstHiddenLine == UINT64_MAX ? 0 : of.firstHiddenLine;
    std::string message =
        std::to_string(of.hidden) + (of.hidden == 1 ? " more line" : " more lines") +
        (line == 0 ? "" : " from here on") + (of.hidden == 1 ? " gets" : " get") +
        " the same kind of " + (SeverityOf(kind) == Severity::kError ? "error" : "warning") +
        " as " +
        (last == UINT64_MAX ? std::string("the one above") : "line " + std::to_string(last)) +
        "; they are counted, not shown";
    return {Diagnostic{line, kind, std::move(message), of.hidden}, UINT64_MAX};
  }
};

DescriptionCheck::DescriptionCheck() : findings_(std::make_unique<Findings>()) {}
DescriptionCheck::~DescriptionCheck() = default;

template <class Message>
void DescriptionCheck::Add(FindingKind kind, uint64_t line, const Message& message) {
  // The lines of a pasted description have the one finding of the paste;
  // whatever the line rules made of them follows from it. The text after a
  // Ctrl-Z is lost on its own account.
  const auto after =
      std::upper_bound(pastedLines_.begin(), pastedLines_.end(), line,
                       [](uint64_t wanted, const std::pair<uint64_t, uint64_t>& lines) {
                         return wanted < lines.first;
                       });
  if (kind != FindingKind::kCtrlZ && after != pastedLines_.begin() &&
      line <= std::prev(after)->second) {
    return;
  }
  Findings& findings = *findings_;
  Findings::Kept* latest = findings.Latest(kind);
  if (latest != nullptr && Order(line) >= Order(latest->diagnostic.line)) {
    // Most findings come in file order, and these cost no message at all.
    findings.Hide(kind, line);
    return;
  }
  Findings::Kept kept{Diagnostic{line, kind, message(), 0}, findings.sequence++};
  if (latest == nullptr) {
    findings.Of(kind).shown.push_back(std::move(kept));
  } else {
    findings.Hide(kind, latest->diagnostic.line);
    *latest = std::move(kept);
  }
}

bool DescriptionCheck::OnLine(const DescriptionLine& line) {
  try {
    if (pasted_.line == 0 || !InPastedDescription(line)) {
      TakeLine(line);
    }
    return true;
  } catch (const std::bad_alloc&) {
    outOfMemory_ = true;
    return false;
  }
}

void DescriptionCheck::TakeLine(const DescriptionLine& line) {
  // A key line is told by its key and value; its key starts where it does.
  const std::string_view start = line.kind == DescriptionLineKind::kKey ? line.key : line.text;
  if (line.number == 1 && start.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
    CheckFirstLineMark(line);
    if (line.kind != DescriptionLineKind::kKey &&
        (markHidHeader_ || TrimWhitespace(line.text.substr(kByteOrderMark.size())).empty())) {
      return;  // the mark is the whole story of this line
    }
  }
  switch (line.kind) {
    case DescriptionLineKind::kHeader:
      StartHeader(line.number, line.section);
      break;
    case DescriptionLineKind::kKey:
      KeyLine(line);
      break;
    case DescriptionLineKind::kSkipped:
      if (line.text.empty()) {
        break;  // blank lines end nothing
      }
      Add(FindingKind::kTooShort, line.number, [&] {
        return "the line " + Quoted(line.text) +
               " is too short to be a key or a header; modpublish ignores it. Remove it";
      });
      break;
    case DescriptionLineKind::kIgnored:
      IgnoredLine(line);
      break;
  }
}

bool DescriptionCheck::InPastedDescription(const DescriptionLine& line) {
  PastedDescription& paste = pasted_;
  if (!paste.verbatim.empty()) {
    // Inside a block of code everything is text, keys and headers too,
    // until the block's closing tag.
    if (ContainsIgnoringCase(line.kind == DescriptionLineKind::kKey ? line.value : line.text,
                             paste.verbatim)) {
      paste.verbatim.clear();
    }
  } else if (line.kind == DescriptionLineKind::kKey && PlausibleKey(line.key)) {
    EndPastedDescription();
    return false;
  } else if (EqualIgnoringCase(line.text, "[code]") || EqualIgnoringCase(line.text, "[noparse]")) {
    // A block that stands on lines of its own, as code is written.
    paste.verbatim = EqualIgnoringCase(line.text, "[code]") ? "[/code]" : "[/noparse]";
  }
  // The line as it stood, give or take the blanks trimmed around it and
  // around a '='.
  const uint64_t bytes = line.kind == DescriptionLineKind::kKey
                             ? line.key.size() + 1 + line.value.size()
                             : line.text.size();
  paste.bytes += bytes + 1;
  if (bytes == 0) {
    return true;  // a blank line is nobody's text
  }
  if (paste.verbatim.empty() && MayFollowText(line)) {
    if (paste.held.size() < kHeldLines) {
      // Bounded copies: findings show these cut short anyway.
      paste.held.push_back(HeldLine{line.number, line.kind,
                                    std::string(line.text.substr(0, kHeldBytes)),
                                    std::string(line.section.substr(0, kHeldBytes))});
    }
    return true;
  }
  paste.held.clear();
  paste.lastText = line.number;
  paste.bytesToLastText = paste.bytes;
  return true;
}

void DescriptionCheck::EndPastedDescription() {
  PastedDescription paste = std::move(pasted_);
  pasted_ = PastedDescription();
  // A paste that held nothing but blank lines, comments and headers is none.
  if (paste.line != 0 && paste.lastText != 0) {
    const uint64_t lines = paste.lastText - paste.line;
    const std::string file = "description_" + Excerpt(paste.name, kNameLimit) + ".txt";
    Add(FindingKind::kPasted, paste.line, [&] {
      return "the description of section " + Bracketed(paste.name) + " goes on over the " +
             Count(lines, "line", "lines") + " below this one (" + Bytes(paste.bytesToLastText) +
             "), but a value of descript.ion is one line: only this line reaches Steam. Move "
             "the whole description into a file of its own, such as " +
             file + " beside descript.ion, and name it in place of this line with \"" +
             std::string(kDescriptionFileKey) + " = " + file + "\"";
    });
    pastedLines_.emplace_back(paste.line + 1, paste.lastText);
  }
  // The paste ended at its last line of text; the lines held since are of
  // what comes now.
  for (const HeldLine& held : paste.held) {
    DescriptionLine told;
    told.number = held.number;
    told.kind = held.kind;
    told.text = held.text;
    told.section = held.section;
    TakeLine(told);
  }
}

void DescriptionCheck::StartHeader(uint64_t line, std::string_view name) {
  CloseHeader();
  headerLine_ = line;
  headerName_.assign(name);
  headerKeys_ = 0;
  if (firstHeaderLine_ == 0) {
    firstHeaderLine_ = line;
  }
}

void DescriptionCheck::CheckFirstLineMark(const DescriptionLine& line) {
  std::string_view rest =
      TrimWhitespace(line.text.substr(std::min(line.text.size(), kByteOrderMark.size())));
  if (line.kind == DescriptionLineKind::kIgnored && rest.size() >= 2 && rest.front() == '[' &&
      rest.back() == ']') {
    // Whether that loses text is known once the file is read.
    markHidHeader_ = true;
    markHeader_ = Excerpt(rest, kNameLimit);
    return;
  }
  Add(FindingKind::kMarkAlone, line.number, [] {
    return std::string(
        "the file starts with a UTF-8 byte-order mark, which modpublish reads as part of this "
        "line. Save the file as UTF-8 without a byte-order mark (BOM)");
  });
}

void DescriptionCheck::IgnoredLine(const DescriptionLine& line) {
  std::string_view text = line.text;
  if (line.number == 1 && text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
    text = TrimWhitespace(text.substr(kByteOrderMark.size()));
  }
  if (text.front() == '[') {
    Add(FindingKind::kNotAHeader, line.number, [&] {
      const size_t close = text.find(']');
      std::string fix(close == std::string_view::npos ? text : text.substr(0, close + 1));
      if (close == std::string_view::npos) {
        fix += ']';
      }
      return "the line " + Quoted(line.text) +
             " is not a section header: a header ends with \"]\" and nothing follows it. "
             "modpublish ignores the line, so the keys below it stay in " +
             SectionOf(line.section) + ". Write it as " + Quoted(fix);
    });
  } else if (text.front() == ';' || text.front() == '#') {
    Add(FindingKind::kComment, line.number, [&] {
      return "the line " + Quoted(line.text) +
             " is ignored: descript.ion has no comment syntax. Fine as a note; if it was meant "
             "to be read, write it as \"key = value\"";
    });
  } else {
    Add(FindingKind::kStrayText, line.number, [&] {
      return "the line " + Quoted(line.text) +
             " is neither a key line (key = value) nor a section header ([code]); modpublish "
             "ignores it. Remove it, or add the missing \"=\" or brackets";
    });
  }
}

void DescriptionCheck::KeyLine(const DescriptionLine& line) {
  ++headerKeys_;
  if (headerLine_ != 0 && headerName_.empty() && namelessHeaderLine_ == 0) {
    namelessHeaderLine_ = headerLine_;
  }
  if (EqualIgnoringCase(line.key, "description")) {
    // The lines below may be more of it.
    pasted_.line = line.number;
    // A bounded copy, however long the name and many the lines.
    pasted_.name.assign(line.section.substr(0, 4 * kNameLimit));
  }
  if (line.replacedLine == 0) {
    return;
  }
  // The earlier value of a text that is uploaded never reaches Steam; a
  // line that only repeats it loses nothing.
  if (!line.replacedSame && (line.key == "title" || line.key == "description") &&
      *SteamLanguageFor(line.section) != '\0') {
    Add(FindingKind::kDuplicateText, line.number, [&] {
      return "the " + std::string(line.key) + " of section " + Bracketed(line.section) +
             " is set again here, after line " + std::to_string(line.replacedLine) +
             "; modpublish uploads only the last value, so the one of line " +
             std::to_string(line.replacedLine) +
             " never reaches Steam. Keep only the line you mean";
    });
    return;
  }
  Add(FindingKind::kDuplicateKey, line.number, [&] {
    return "the key " + Quoted(line.key) + " of " + SectionOf(line.section) +
           " is set again here, after line " + std::to_string(line.replacedLine) +
           "; the last value wins. Keep only the line you mean";
  });
}

void DescriptionCheck::CloseHeader() {
  if (headerLine_ != 0 && headerKeys_ == 0) {
    const std::string_view name = headerName_;
    Add(FindingKind::kHeaderWithoutKeys, headerLine_, [&] {
      return "the header " + Bracketed(name) +
             " has no keys under it, so nothing of it is uploaded. Add its title and "
             "description below it, or remove the header";
    });
  }
  headerLine_ = 0;
  headerKeys_ = 0;
}

void DescriptionCheck::OnCtrlZ(uint64_t lineNumber, uint64_t offset) {
  ctrlZLine_ = lineNumber;
  ctrlZOffset_ = offset;
}

// "a title", "a description" or "a title and a description": what of
// Steam's texts a section holds, keys in any letter case.
struct DescriptionCheck::HeldText {
  bool title = false;
  bool description = false;
  uint64_t firstLine = 0;  // of the first such key
  std::string_view firstKey;

  explicit HeldText(const DescriptionSection& keys) {
    for (const DescriptionEntry& entry : keys) {
      const std::string_view key = TextKeyOf(entry.key);
      if (key.empty()) {
        continue;
      }
      (key == "title" ? title : description) = true;
      if (firstLine == 0 || entry.line() < firstLine) {
        firstLine = entry.line();
        firstKey = entry.key;
      }
    }
  }
  bool any() const { return title || description; }
  std::string Words() const {
    return title && description ? "a title and a description" : title ? "a title" : "a description";
  }
  std::string NeverReach() const {
    return title && description ? "they never reach" : "it never reaches";
  }
};

void DescriptionCheck::CheckSkippedSection(const PlannedSection& section) {
  const HeldText held(*section.keys);
  if (section.skip == SectionSkip::kNoName) {
    CheckNamelessSection(held);
    return;
  }
  if (!held.any()) {
    return;  // the game's own data
  }
  Add(FindingKind::kSkippedText, section.line, [&] {
    const KnownLanguage* suggestion = SuggestLanguage(section.name);
    return "section " + Bracketed(section.name) + " holds " + held.Words() + ", but " +
           Quoted(section.name) +
           " is not a language code modpublish knows: it skips the section (\"Skipping "
           "uploading description in lang: " +
           Excerpt(section.name, kNameLimit) + "\"), so " + held.NeverReach() + " Steam. " +
           (suggestion == nullptr
                ? std::string("Use a code from the table of language codes, such as [en], "
                              "[de], [pt_BR] or [zh_TW]")
                : "Write it as [" + std::string(suggestion->code) + "] for " +
                      suggestion->languageName);
  });
}

void DescriptionCheck::CheckNamelessSection(const HeldText& held) {
  const bool textBeforeHeaders =
      held.any() && (firstHeaderLine_ == 0 || held.firstLine < firstHeaderLine_);
  if (markHidHeader_) {
    markHidHeader_ = false;  // told here, once
    if (textBeforeHeaders) {
      Add(FindingKind::kMarkHidesText, 1, [&] {
        return "the file starts with a UTF-8 byte-order mark, which hides the header " +
               markHeader_ + ": " + held.Words() +
               " below it go to the section with no name, which modpublish never uploads, so " +
               held.NeverReach() + " Steam. Save the file as UTF-8 without a byte-order mark (BOM)";
      });
      return;
    }
    Add(FindingKind::kMarkAlone, 1, [&] {
      return "the file starts with a UTF-8 byte-order mark, which hides the header " + markHeader_ +
             ": the keys below it go to the section with no name. Save the file as UTF-8 "
             "without a byte-order mark (BOM)";
    });
  }
  if (textBeforeHeaders) {
    Add(FindingKind::kSkippedText, held.firstLine, [&] {
      return "the key " + Quoted(held.firstKey) +
             " comes before the first section header, so it goes to the section with no name, "
             "which modpublish never uploads: it never reaches Steam. Put a header such as "
             "[en] above it";
    });
  } else if (held.any()) {
    Add(FindingKind::kSkippedText, namelessHeaderLine_ != 0 ? namelessHeaderLine_ : held.firstLine,
        [&] {
          return "section [] holds " + held.Words() +
                 ", but a section with no name is never uploaded, so " + held.NeverReach() +
                 " Steam. Name it with a language code such as [en]";
        });
  }
}

void DescriptionCheck::CheckKeyCase(const PlannedSection& section) {
  for (const DescriptionEntry& entry : *section.keys) {
    const std::string key(TextKeyOf(entry.key));
    if (key.empty() || entry.key == key) {
      continue;
    }
    const PlannedText& text = key == "title" ? section.title : section.description;
    Add(FindingKind::kKeyCase, entry.line(), [&] {
      std::string message = "the key " + Quoted(entry.key) + " of section " +
                            Bracketed(section.name) + " is not \"" + key +
                            "\": keys are case-sensitive, so modpublish uploads ";
      if (text.fromKey) {
        message +=
            std::string(text.file != nullptr ? "the description file" : "the \"" + key + "\"") +
            " of line " + std::to_string(text.line) +
            " and this value never reaches Steam. Keep one of them, written as \"";
      } else {
        message += "\"" + std::string(text.text) +
                   "\" instead and this value never reaches Steam. Write it as \"";
      }
      return message + key + "\"";
    });
  }
}

void DescriptionCheck::CheckText(const PlannedSection& section, const PlannedText& text,
                                 std::string_view key) {
  const std::string_view name = section.name;
  auto what = [&] { return "the " + std::string(key) + " of section " + Bracketed(name); };
  const bool title = key == "title";
  if (!text.fromKey) {
    // A key in another letter case has its own finding, and says what is
    // uploaded instead.
    const bool misspelt =
        std::any_of(section.keys->begin(), section.keys->end(), [&](const DescriptionEntry& entry) {
          return EqualIgnoringCase(entry.key, key) ||
                 (!title && EqualIgnoringCase(entry.key, kDescriptionFileKey));
        });
    if (!misspelt) {
      Add(FindingKind::kMissingKey, section.line, [&] {
        return "section " + Bracketed(name) + " has no \"" + std::string(key) +
               "\" key, so modpublish uploads \"" + text.text + "\" instead. Add a line \"" +
               std::string(key) + " = ...\"";
      });
    }
    return;
  }
  if (text.file != nullptr && text.file->status != FileStatus::kRead) {
    const DescriptionFile& file = *text.file;
    Add(FindingKind::kFileUnread, text.line, [&] {
      const bool tooBig = file.status == FileStatus::kTooBig;
      const char* state = file.status == FileStatus::kMissing ? "is missing"
                          : file.status == FileStatus::kNotAFile
                              ? "is not a regular file but a folder, a device or the like"
                          : tooBig ? "is too big for the memory available"
                                   : "can't be read";
      const std::string fix =
          file.status == FileStatus::kMissing
              ? "Create it, or fix the path: it starts from the mod folder unless it is absolute"
          : file.status == FileStatus::kNotAFile ? "Name a text file"
          : tooBig
              ? "Steam takes a description of " + kDescriptionLimit.Size() + " at most: shorten it"
              : "Give your user permission to read it";
      return "the description file " + Quoted(file.path) + " of section " + Bracketed(name) + " " +
             state + "; modpublish stops with \"" +
             (tooBig ? "Not enough memory to read" : "File not found") +
             "\" before uploading anything. " + fix;
    });
    return;
  }
  // The findings go to descript.ion at the text's line, or to the text's
  // own file at the line of the byte concerned (npos: the whole file).
  FileFindings* findings = nullptr;
  if (text.file != nullptr) {
    findings = &fileFindings_.emplace_back();
    findings->file = text.file->path;
  }
  const std::string_view sent = text.Sent();
  auto report = [&](FindingKind kind, size_t offset, auto&& message) {
    if (findings == nullptr) {
      Add(kind, text.line, message);
    } else {
      const uint64_t line = offset == std::string_view::npos ? 0 : LineAt(text.stored, offset);
      findings->diagnostics.push_back(Diagnostic{line, kind, message(), 0});
    }
  };
  // Steam gets the text up to its first NUL byte: that is what counts.
  if (sent.size() < text.stored.size()) {
    report(FindingKind::kNul, sent.size(), [&] {
      return what() + " holds a NUL byte (0x00) at byte " + std::to_string(sent.size() + 1) +
             ", where Steam's copy of it ends: Steam gets " +
             (sent.empty() ? std::string("none of it")
                           : "only the " + std::to_string(sent.size()) + " bytes before it") +
             ", and the " + std::to_string(text.stored.size() - sent.size()) +
             " bytes from it on never reach Steam. Remove that byte";
    });
  }
  const SteamLimit& limit = title ? kTitleLimit : kDescriptionLimit;
  if (limit.Refuses(sent.size())) {
    report(FindingKind::kTooLong, std::string_view::npos, [&] {
      return what() + " is " + std::to_string(sent.size()) + " bytes long; " + limit.Refusal() +
             ", and the publish fails after the content was uploaded. Shorten it";
    });
  }
  if (title && sent.empty()) {
    report(FindingKind::kEmptyTitle, 0, [&] {
      return what() + " is empty; the Workshop page will show no title in that language";
    });
  }
  if (const size_t bad = FirstBadUtf8(sent); bad != std::string_view::npos) {
    report(FindingKind::kNotUtf8, bad, [&] {
      return what() +
             " is not valid UTF-8, so the Workshop page will show it garbled. Save the file as "
             "UTF-8";
    });
  }
  // A description pasted over several lines has one finding for all of it:
  // its markup is checked once it stands in a file of its own.
  const bool pasted = std::binary_search(
      pastedLines_.begin(), pastedLines_.end(), std::make_pair(text.line + 1, uint64_t{0}),
      [](const std::pair<uint64_t, uint64_t>& a, const std::pair<uint64_t, uint64_t>& b) {
        return a.first < b.first;
      });
  if (!pasted) {
    std::vector<size_t> offsets;
    std::vector<std::string> warnings = MarkupWarnings(name, key, sent, &offsets);
    for (size_t i = 0; i < warnings.size(); ++i) {
      report(FindingKind::kMarkup, offsets[i], [&] { return std::move(warnings[i]); });
    }
  }
  if (findings != nullptr && findings->diagnostics.empty()) {
    fileFindings_.pop_back();
  } else if (findings != nullptr) {
    // File order, the findings about the whole file last.
    std::stable_sort(
        findings->diagnostics.begin(), findings->diagnostics.end(),
        [](const Diagnostic& a, const Diagnostic& b) { return Order(a.line) < Order(b.line); });
  }
}

void DescriptionCheck::Conclude(const ModDescription& record, uint64_t fileBytes,
                                bool blankAfterCtrlZ) {
  if (outOfMemory_) {
    throw std::bad_alloc();
  }
  // The end of the file ends a paste, a header of a language code in it
  // too: no key line followed that.
  EndPastedDescription();
  CloseHeader();
  if (ctrlZLine_ != 0 && fileBytes > ctrlZOffset_ + 1 && !blankAfterCtrlZ) {
    // The bytes after it may hold whole sections; none of it reaches Steam.
    Add(FindingKind::kCtrlZ, ctrlZLine_, [&] {
      return "a Ctrl-Z byte (0x1A) ends the file here, the way Windows reads text; the " +
             std::to_string(fileBytes - ctrlZOffset_ - 1) +
             " bytes after it are ignored and never reach Steam. Remove that byte";
    });
  }
  for (const PlannedSection& section : UploadPlan(record)) {
    if (section.skip != SectionSkip::kNone) {
      CheckSkippedSection(section);
      if (plan_.skipped.size() < kShownPerKind) {
        plan_.skipped.push_back(section);
      } else {
        ++plan_.moreSkipped;
      }
      continue;
    }
    plan_.uploaded.push_back(section);
    CheckKeyCase(section);
    CheckText(section, section.title, "title");
    CheckText(section, section.description, "description");
    const auto inlineText = section.keys->find("description");
    if (section.description.file != nullptr && inlineText != section.keys->end()) {
      Add(FindingKind::kBothTexts, inlineText->line(), [&] {
        return "section " + Bracketed(section.name) + " has both a \"description\" and a \"" +
               std::string(kDescriptionFileKey) + "\" (line " +
               std::to_string(section.description.line) +
               "); modpublish uploads the file's text, so this one never reaches Steam. Keep "
               "only the one you mean";
      });
    }
  }
  if (markHidHeader_) {
    // A header hidden with no keys below it: the section with no name,
    // which tells of it, is not there.
    Add(FindingKind::kMarkAlone, 1, [&] {
      return "the file starts with a UTF-8 byte-order mark, which hides the header " + markHeader_ +
             ". Save the file as UTF-8 without a byte-order mark (BOM)";
    });
  }
  if (plan_.uploaded.empty()) {
    Add(FindingKind::kNothingToUpload, 0, [] {
      return std::string(
          "no section will be uploaded, so the Workshop item gets no title or description. Add "
          "a section such as [en] with \"title\" and \"description\" keys");
    });
  }
  // File order; the findings about the whole file last; on one line, in
  // the order they were made, a note after the findings.
  std::vector<Findings::Kept> all;
  for (size_t kind = 0; kind < kFindingKinds; ++kind) {
    Findings::OfKind& of = findings_->kinds[kind];
    if (of.hidden != 0) {
      all.push_back(Findings::Note(static_cast<FindingKind>(kind), of));
    }
    for (Findings::Kept& kept : of.shown) {
      all.push_back(std::move(kept));
    }
  }
  findings_.reset();
  std::sort(all.begin(), all.end(), [](const Findings::Kept& a, const Findings::Kept& b) {
    const uint64_t x = Order(a.diagnostic.line);
    const uint64_t y = Order(b.diagnostic.line);
    return x != y ? x < y : a.sequence < b.sequence;
  });
  diagnostics_.clear();
  for (Findings::Kept& kept : all) {
    diagnostics_.push_back(std::move(kept.diagnostic));
  }
}
