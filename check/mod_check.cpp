#include "check/mod_check.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <utility>
#include <vector>

#include "check/markup.h"
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
char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return Lower(x) == Lower(y); });
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

std::string Excerpt(std::string_view text, size_t limit) {
  bool cut = false;
  if (text.size() > limit) {
    size_t end = limit;
    // Back to the start of a character, so no half of one is shown.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80 && limit - end < 3) {
      --end;
    }
    text = text.substr(0, end);
    cut = true;
  }
  std::string out;
  out.reserve(text.size() + 3);
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      // A CR, an escape sequence or a NUL would garble or cut the line.
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  if (cut) {
    out += "...";
  }
  return out;
}

std::string SuggestLanguageCode(std::string_view sectionName) {
  std::string guess;
  if (sectionName.size() == 2) {
    guess = {Lower(sectionName[0]), Lower(sectionName[1])};
  } else if (sectionName.size() == 5 && (sectionName[2] == '-' || sectionName[2] == '_')) {
    guess = {Lower(sectionName[0]), Lower(sectionName[1]), '_', Upper(sectionName[3]),
             Upper(sectionName[4])};
  }
  if (guess.empty() || guess == sectionName || *SteamLanguageFor(guess) == '\0') {
    return std::string();
  }
  return guess;
}

namespace {

// The kinds of findings: each is shown kShownPerKind times at most.
enum Kind : int {
  kMark,
  kTooShort,
  kNotAHeader,
  kComment,
  kStrayText,
  kKeysBeforeHeader,
  kDuplicateKey,
  kHeaderWithoutKeys,
  kNamelessSection,
  kUnknownCode,
  kCtrlZ,
  kTooLong,
  kEmptyTitle,
  kNotUtf8,
  kMarkup,
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
    case DescriptionLineKind::kHeader:
      CloseHeader();
      headerLine_ = line.number;
      headerName_.assign(line.section);
      headerKeys_ = 0;
      break;
    case DescriptionLineKind::kKey:
      KeyLine(line);
      break;
    case DescriptionLineKind::kSkipped:
      if (!line.text.empty()) {
        Add(kTooShort, line.number, false, [&] {
          return "the line " + Quoted(line.text) +
                 " is too short to be a key or a header; modpublish ignores it. Remove it";
        });
      }
      break;
    case DescriptionLineKind::kIgnored:
      IgnoredLine(line);
      break;
  }
}

void DescriptionCheck::CheckFirstLineMark(const DescriptionLine& line) {
  std::string_view rest =
      TrimWhitespace(line.text.substr(std::min(line.text.size(), kByteOrderMark.size())));
  if (line.kind == DescriptionLineKind::kIgnored && rest.size() >= 2 && rest.front() == '[' &&
      rest.back() == ']') {
    markHidHeader_ = true;
    Add(kMark, line.number, true, [&] {
      return "the file starts with a UTF-8 byte-order mark, which hides the header " +
             Excerpt(rest, kNameLimit) +
             ": the keys below it go to the section with no name and are never uploaded. "
             "Save the file as UTF-8 without a byte-order mark (BOM)";
    });
    return;
  }
  Add(kMark, line.number, false, [] {
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

void DescriptionCheck::KeyLine(const DescriptionLine& line) {
  ++headerKeys_;
  if (headerLine_ == 0 && !keysBeforeHeaderSeen_ && !markHidHeader_) {
    keysBeforeHeaderSeen_ = true;
    Add(kKeysBeforeHeader, line.number, false, [&] {
      return "the key " + Quoted(line.key) +
             " comes before the first section header, so it goes to the section with no name, "
             "which modpublish never uploads. Put a header such as [en] above it";
    });
  }
  if (line.replacedLine != 0) {
    Add(kDuplicateKey, line.number, false, [&] {
      return "the key " + Quoted(line.key) + " of " + SectionOf(line.section) +
             " is set again here, after line " + std::to_string(line.replacedLine) +
             "; the last value wins. Keep only the line you mean";
    });
  }
}

void DescriptionCheck::CloseHeader() {
  if (headerLine_ == 0) {
    return;
  }
  const std::string_view name = headerName_;
  if (headerKeys_ == 0) {
    Add(kHeaderWithoutKeys, headerLine_, false, [&] {
      return "the header " + Bracketed(name) +
             " has no keys under it, so nothing of it is uploaded. Add its title and "
             "description below it, or remove the header";
    });
  } else if (name.empty()) {
    Add(kNamelessSection, headerLine_, false, [] {
      return std::string(
          "section [] has no name; modpublish never uploads its keys. Name it with a language "
          "code such as [en]");
    });
  } else if (*SteamLanguageFor(name) == '\0') {
    Add(kUnknownCode, headerLine_, false, [&] {
      const std::string suggestion = SuggestLanguageCode(name);
      return "section " + Bracketed(name) +
             " is not a language code modpublish knows, so it will be skipped (\"Skipping "
             "uploading description in lang: " +
             Excerpt(name, kNameLimit) + "\"). " +
             (suggestion.empty() ? std::string("Use a code such as [en], [de], [pt_BR] or [zh_TW]")
                                 : "The accepted code is [" + suggestion + "]");
    });
  }
  headerLine_ = 0;
  headerKeys_ = 0;
}

void DescriptionCheck::OnCtrlZ(uint64_t lineNumber, uint64_t offset) {
  ctrlZLine_ = lineNumber;
  ctrlZOffset_ = offset;
}

void DescriptionCheck::CheckValue(std::string_view name, std::string_view key,
                                  std::string_view value, uint64_t line) {
  const bool title = key == "title";
  const uint64_t limit = title ? kTitleLimit : kDescriptionLimit;
  auto what = [&] { return "the " + std::string(key) + " of section " + Bracketed(name); };
  if (value.size() > limit) {
    Add(kTooLong, line, true, [&] {
      return what() + " is " + std::to_string(value.size()) + " bytes long; Steam refuses " +
             (title ? "titles" : "descriptions") + " over " + std::to_string(limit) +
             " bytes, and the publish fails after the content was uploaded. Shorten it";
    });
  }
  if (title && value.empty()) {
    Add(kEmptyTitle, line, false, [&] {
      return what() + " is empty; the Workshop page will show no title in that language";
    });
  }
  if (!IsValidUtf8(value)) {
    Add(kNotUtf8, line, false, [&] {
      return what() +
             " is not valid UTF-8, so the Workshop page will show it garbled. Save the file as "
             "UTF-8";
    });
  }
  for (std::string& warning : MarkupWarnings(name, key, value)) {
    Add(kMarkup, line, false, [&warning] { return std::move(warning); });
  }
}

void DescriptionCheck::Conclude(const ModDescription& record, uint64_t fileBytes) {
  CloseHeader();
  if (ctrlZLine_ != 0 && fileBytes > ctrlZOffset_ + 1) {
    Add(kCtrlZ, ctrlZLine_, false, [&] {
      return "a Ctrl-Z byte (0x1A) ends the file here, the way Windows reads text; the " +
             std::to_string(fileBytes - ctrlZOffset_ - 1) +
             " bytes after it are ignored. Remove that byte";
    });
  }
  size_t uploaded = 0;
  for (const PlannedSection& section : UploadPlan(record)) {
    if (section.skip != SectionSkip::kNone) {
      continue;
    }
    ++uploaded;
    for (const PlannedText* text : {&section.title, &section.description}) {
      const std::string_view key = text == &section.title ? "title" : "description";
      if (text->fromKey) {
        CheckValue(section.name, key, text->stored, text->line);
        continue;
      }
      Add(kMissingKey, section.line, false, [&] {
        std::string message = "section " + Bracketed(section.name) + " has no \"" +
                              std::string(key) + "\" key, so modpublish uploads \"" + text->text +
                              "\" instead. ";
        const auto similar = std::find_if(
            section.keys->begin(), section.keys->end(),
            [key](const DescriptionEntry& entry) { return EqualIgnoringCase(entry.key, key); });
        message += similar == section.keys->end()
                       ? "Add a line \"" + std::string(key) + " = ...\""
                       : "Keys are case-sensitive: write " + Quoted(similar->key) + " as \"" +
                             std::string(key) + "\"";
        return message;
      });
    }
  }
  if (uploaded == 0) {
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
