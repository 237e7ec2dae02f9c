#include "check/mod_check.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "check/markup.h"
#include "console/console.h"
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

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return Lower(x) == Lower(y); });
}

// The two keys whose values go to Steam.
bool IsTextKey(std::string_view key) {
  return EqualIgnoringCase(key, "title") || EqualIgnoringCase(key, "description");
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

// True when `text` starts with a tag of Steam's markup ("[h1]", "[*]")
// that is not also a language code: [th] and [tr] are both.
bool StartsWithMarkup(std::string_view text) {
  // A tag at the start ends at the first ']': no need to look further.
  const std::optional<MarkupFinding> tag = FindMarkupInTitle(text.substr(0, text.find(']') + 1));
  return tag && tag->offset == 0 &&
         *SteamLanguageFor(tag->tag.substr(1, tag->tag.size() - 2)) == '\0';
}

const KnownLanguage* LanguageOfCode(std::string_view code) {
  for (const KnownLanguage& language : KnownLanguages()) {
    if (language.code == code) {
      return &language;
    }
  }
  return nullptr;
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
  for (size_t at = 0, length = 0; at < text.size(); at += length) {
    length = static_cast<unsigned char>(text[at]) < 0x80 ? 1 : Utf8CharacterLength(text.substr(at));
    if (length == 0) {
      return false;
    }
  }
  return true;
}

const KnownLanguage* SuggestLanguage(std::string_view sectionName) {
  if (*SteamLanguageFor(sectionName) != '\0') {
    return nullptr;
  }
  std::string name;
  for (char c : sectionName) {
    name += c == '-' ? '_' : Lower(c);
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

// The kinds of findings: each is shown kShownPerKind times at most.
enum Kind : int {
  // Each kind is of one severity, so that its note counts right.
  kMark,       // error when it hides the text's header
  kMarkAlone,  // warning
  kTooShort,
  kNotAHeader,
  kComment,
  kStrayText,
  kContinuation,
  kDuplicateText,  // error
  kDuplicateKey,
  kHeaderWithoutKeys,
  kSkippedText,  // error
  kCtrlZ,        // error
  kNul,          // error
  kTooLong,      // error
  kEmptyTitle,
  kNotUtf8,
  kMarkup,
  kKeyCase,  // error
  kMissingKey,
  kNothingToUpload,
  kKinds,
};

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
    bool error = false;
  };
  OfKind kinds[kKinds];
  uint64_t sequence = 0;

  // The finding on the latest line of those shown (some are).
  static Kept& LatestOf(std::vector<Kept>& shown) {
    return *std::max_element(shown.begin(), shown.end(), [](const Kept& a, const Kept& b) {
      return Order(a.diagnostic.line) < Order(b.diagnostic.line);
    });
  }

  // The shown finding of `kind` on the latest line, or null while fewer
  // than kShownPerKind are shown.
  Kept* Latest(int kind) {
    std::vector<Kept>& shown = kinds[kind].shown;
    return shown.size() < kShownPerKind ? nullptr : &LatestOf(shown);
  }

  void Hide(int kind, uint64_t line) {
    OfKind& of = kinds[kind];
    of.firstHiddenLine = of.hidden == 0 ? Order(line) : std::min(of.firstHiddenLine, Order(line));
    ++of.hidden;
  }

  // The note for the findings of a kind that are not shown, on the line of
  // the first of them.
  static Kept Note(OfKind& of) {
    const uint64_t last = Order(LatestOf(of.shown).diagnostic.line);
    const uint64_t line = of.firstHiddenLine == UINT64_MAX ? 0 : of.firstHiddenLine;
    std::string message =
        std::to_string(of.hidden) + (of.hidden == 1 ? " more line" : " more lines") +
        (line == 0 ? "" : " from here on") + (of.hidden == 1 ? " gets" : " get") +
        " the same kind of " + (of.error ? "error" : "warning") + " as " +
        (last == UINT64_MAX ? std::string("the one above") : "line " + std::to_string(last)) +
        "; they are counted, not shown";
    return {Diagnostic{line, of.error, std::move(message), of.hidden}, UINT64_MAX};
  }
};

DescriptionCheck::DescriptionCheck() : findings_(std::make_unique<Findings>()) {}
DescriptionCheck::~DescriptionCheck() = default;

template <class Message>
void DescriptionCheck::Add(int kind, uint64_t line, bool error, const Message& message) {
  Findings& findings = *findings_;
  findings.kinds[kind].error = error;
  Findings::Kept* latest = findings.Latest(kind);
  if (latest != nullptr && Order(line) >= Order(latest->diagnostic.line)) {
    // Most findings come in file order, and these cost no message at all.
    findings.Hide(kind, line);
    return;
  }
  Findings::Kept kept{Diagnostic{line, error, message(), 0}, findings.sequence++};
  if (latest == nullptr) {
    findings.kinds[kind].shown.push_back(std::move(kept));
  } else {
    findings.Hide(kind, latest->diagnostic.line);
    *latest = std::move(kept);
  }
}

void DescriptionCheck::OnLine(const DescriptionLine& line) {
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
    case DescriptionLineKind::kHeader: {
      // "[list]" under a description is more of it, read as a header.
      const bool markup = descriptionLine_ != 0 && StartsWithMarkup(line.text);
      if (markup) {
        DescriptionContinues(line);
      } else {
        descriptionLine_ = 0;
      }
      CloseHeader();
      headerLine_ = line.number;
      headerName_.assign(line.section);
      headerKeys_ = 0;
      headerIsMarkup_ = markup;
      if (firstHeaderLine_ == 0) {
        firstHeaderLine_ = line.number;
      }
      break;
    }
    case DescriptionLineKind::kKey:
      KeyLine(line);
      break;
    case DescriptionLineKind::kSkipped:
      if (line.text.empty()) {
        break;  // blank lines end nothing
      }
      if (descriptionLine_ != 0) {
        DescriptionContinues(line);
        break;
      }
      Add(kTooShort, line.number, false, [&] {
        return "the line " + Quoted(line.text) +
               " is too short to be a key or a header; modpublish ignores it. Remove it";
      });
      break;
    case DescriptionLineKind::kIgnored:
      // Under a description, text is more of it; a broken header or a
      // comment is still told as such.
      if (descriptionLine_ != 0 && line.text.front() != ';' && line.text.front() != '#' &&
          (line.text.front() != '[' || StartsWithMarkup(line.text))) {
        DescriptionContinues(line);
      } else {
        IgnoredLine(line);
      }
      break;
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
  Add(kMarkAlone, line.number, false, [] {
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
    Add(kNotAHeader, line.number, false, [&] {
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
    Add(kComment, line.number, false, [&] {
      return "the line " + Quoted(line.text) +
             " is ignored: descript.ion has no comment syntax. Fine as a note; if it was meant "
             "to be read, write it as \"key = value\"";
    });
  } else {
    Add(kStrayText, line.number, false, [&] {
      return "the line " + Quoted(line.text) +
             " is neither a key line (key = value) nor a section header ([code]); modpublish "
             "ignores it. Remove it, or add the missing \"=\" or brackets";
    });
  }
}

void DescriptionCheck::DescriptionContinues(const DescriptionLine& line) {
  Add(kContinuation, line.number, false, [&] {
    const bool header = line.kind == DescriptionLineKind::kHeader;
    return "the line " + Quoted(line.text) + " below the description of section " +
           descriptionSection_ + " (line " + std::to_string(descriptionLine_) + ") is " +
           (header ? "read as a section header" : "ignored") +
           ": a value is one line, so the description is only what its own line holds. Join "
           "it to that line; Steam's markup ([h1], [list][*]...[/list], [b]) structures a "
           "description within it";
  });
}

std::string Count(uint64_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

void DescriptionCheck::KeyLine(const DescriptionLine& line) {
  ++headerKeys_;
  if (headerLine_ != 0 && headerName_.empty() && namelessHeaderLine_ == 0) {
    namelessHeaderLine_ = headerLine_;
  }
  if (EqualIgnoringCase(line.key, "description")) {
    descriptionLine_ = line.number;
    // As shown: a bounded copy, however long the name and many the lines.
    descriptionSection_ = Bracketed(line.section);
  } else {
    descriptionLine_ = 0;
  }
  if (line.replacedLine == 0) {
    return;
  }
  // The earlier value of a text that is uploaded never reaches Steam; a
  // line that only repeats it loses nothing.
  if (!line.replacedSame && (line.key == "title" || line.key == "description") &&
      *SteamLanguageFor(line.section) != '\0') {
    Add(kDuplicateText, line.number, true, [&] {
      return "the " + std::string(line.key) + " of section " + Bracketed(line.section) +
             " is set again here, after line " + std::to_string(line.replacedLine) +
             "; modpublish uploads only the last value, so the one of line " +
             std::to_string(line.replacedLine) +
             " never reaches Steam. Keep only the line you mean";
    });
    return;
  }
  Add(kDuplicateKey, line.number, false, [&] {
    return "the key " + Quoted(line.key) + " of " + SectionOf(line.section) +
           " is set again here, after line " + std::to_string(line.replacedLine) +
           "; the last value wins. Keep only the line you mean";
  });
}

void DescriptionCheck::CloseHeader() {
  if (headerLine_ != 0 && headerKeys_ == 0 && !headerIsMarkup_) {
    const std::string_view name = headerName_;
    Add(kHeaderWithoutKeys, headerLine_, false, [&] {
      return "the header " + Bracketed(name) +
             " has no keys under it, so nothing of it is uploaded. Add its title and "
             "description below it, or remove the header";
    });
  }
  headerLine_ = 0;
  headerKeys_ = 0;
  headerIsMarkup_ = false;
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
      if (!IsTextKey(entry.key)) {
        continue;
      }
      (EqualIgnoringCase(entry.key, "title") ? title : description) = true;
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
  Add(kSkippedText, section.line, true, [&] {
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
      Add(kMark, 1, true, [&] {
        return "the file starts with a UTF-8 byte-order mark, which hides the header " +
               markHeader_ + ": " + held.Words() +
               " below it go to the section with no name, which modpublish never uploads, so " +
               held.NeverReach() + " Steam. Save the file as UTF-8 without a byte-order mark (BOM)";
      });
      return;
    }
    Add(kMarkAlone, 1, false, [&] {
      return "the file starts with a UTF-8 byte-order mark, which hides the header " + markHeader_ +
             ": the keys below it go to the section with no name. Save the file as UTF-8 "
             "without a byte-order mark (BOM)";
    });
  }
  if (textBeforeHeaders) {
    Add(kSkippedText, held.firstLine, true, [&] {
      return "the key " + Quoted(held.firstKey) +
             " comes before the first section header, so it goes to the section with no name, "
             "which modpublish never uploads: it never reaches Steam. Put a header such as "
             "[en] above it";
    });
  } else if (held.any()) {
    Add(kSkippedText, namelessHeaderLine_ != 0 ? namelessHeaderLine_ : held.firstLine, true, [&] {
      return "section [] holds " + held.Words() +
             ", but a section with no name is never uploaded, so " + held.NeverReach() +
             " Steam. Name it with a language code such as [en]";
    });
  }
}

void DescriptionCheck::CheckKeyCase(const PlannedSection& section) {
  for (const DescriptionEntry& entry : *section.keys) {
    if (!IsTextKey(entry.key) || entry.key == "title" || entry.key == "description") {
      continue;
    }
    const bool title = EqualIgnoringCase(entry.key, "title");
    const PlannedText& text = title ? section.title : section.description;
    const std::string key = title ? "title" : "description";
    Add(kKeyCase, entry.line(), true, [&] {
      std::string message = "the key " + Quoted(entry.key) + " of section " +
                            Bracketed(section.name) + " is not \"" + key +
                            "\": keys are case-sensitive, so modpublish uploads ";
      if (text.fromKey) {
        message += "the \"" + key + "\" of line " + std::to_string(text.line) +
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
  if (!text.fromKey) {
    // A key in another letter case has its own finding, and says what is
    // uploaded instead.
    const bool misspelt = std::any_of(
        section.keys->begin(), section.keys->end(),
        [key](const DescriptionEntry& entry) { return EqualIgnoringCase(entry.key, key); });
    if (!misspelt) {
      Add(kMissingKey, section.line, false, [&] {
        return "section " + Bracketed(name) + " has no \"" + std::string(key) +
               "\" key, so modpublish uploads \"" + text.text + "\" instead. Add a line \"" +
               std::string(key) + " = ...\"";
      });
    }
    return;
  }
  // Steam gets the text up to its first NUL byte: that is what counts.
  const std::string_view sent = text.Sent();
  const uint64_t line = text.line;
  if (sent.size() < text.stored.size()) {
    Add(kNul, line, true, [&] {
      return what() + " holds a NUL byte (0x00) at byte " + std::to_string(sent.size() + 1) +
             ", where Steam's copy of it ends: Steam gets " +
             (sent.empty() ? std::string("none of it")
                           : "only the " + std::to_string(sent.size()) + " bytes before it") +
             ", and the " + std::to_string(text.stored.size() - sent.size()) +
             " bytes from it on never reach Steam. Remove that byte";
    });
  }
  const bool title = key == "title";
  const uint64_t limit = title ? kTitleLimit : kDescriptionLimit;
  if (sent.size() > limit) {
    Add(kTooLong, line, true, [&] {
      return what() + " is " + std::to_string(sent.size()) + " bytes long; Steam refuses " +
             (title ? "titles" : "descriptions") + " over " + std::to_string(limit) +
             " bytes, and the publish fails after the content was uploaded. Shorten it";
    });
  }
  if (title && sent.empty()) {
    Add(kEmptyTitle, line, false, [&] {
      return what() + " is empty; the Workshop page will show no title in that language";
    });
  }
  if (!IsValidUtf8(sent)) {
    Add(kNotUtf8, line, false, [&] {
      return what() +
             " is not valid UTF-8, so the Workshop page will show it garbled. Save the file as "
             "UTF-8";
    });
  }
  for (std::string& warning : MarkupWarnings(name, key, sent)) {
    Add(kMarkup, line, false, [&warning] { return std::move(warning); });
  }
}

void DescriptionCheck::Conclude(const ModDescription& record, uint64_t fileBytes) {
  CloseHeader();
  if (ctrlZLine_ != 0 && fileBytes > ctrlZOffset_ + 1) {
    // The bytes after it may hold whole sections; none of it reaches Steam.
    Add(kCtrlZ, ctrlZLine_, true, [&] {
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
  }
  if (markHidHeader_) {
    // A header hidden with no keys below it: the section with no name,
    // which tells of it, is not there.
    Add(kMarkAlone, 1, false, [&] {
      return "the file starts with a UTF-8 byte-order mark, which hides the header " + markHeader_ +
             ". Save the file as UTF-8 without a byte-order mark (BOM)";
    });
  }
  if (plan_.uploaded.empty()) {
    Add(kNothingToUpload, 0, false, [] {
      return std::string(
          "no section will be uploaded, so the Workshop item gets no title or description. Add "
          "a section such as [en] with \"title\" and \"description\" keys");
    });
  }
  // File order; the findings about the whole file last; on one line, in
  // the order they were made, a note after the findings.
  std::vector<Findings::Kept> all;
  for (Findings::OfKind& of : findings_->kinds) {
    if (of.hidden != 0) {
      all.push_back(Findings::Note(of));
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
