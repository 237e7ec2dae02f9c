#include "check/mod_check.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "check/markup.h"
#include "description/language.h"

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr size_t kNameLimit = 40;

bool IsBlank(char c) { return c == '\t' || c == ' ' || c == '\r' || c == '\n'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && IsBlank(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

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

void DescriptionCheck::Warn(uint64_t line, std::string message) {
  diagnostics_.push_back(Diagnostic{line, false, std::move(message)});
}

void DescriptionCheck::Fail(uint64_t line, std::string message) {
  diagnostics_.push_back(Diagnostic{line, true, std::move(message)});
}

void DescriptionCheck::OnLine(const DescriptionLine& line) {
  if (line.number == 1 && line.text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
    CheckFirstLineMark(line);
    if (markHidHeader_ || Trim(line.text.substr(kByteOrderMark.size())).empty()) {
      return;  // the mark is the whole story of this line
    }
  }
  switch (line.kind) {
    case DescriptionLineKind::kHeader:
      CloseHeader();
      headerLine_ = line.number;
      headerName_.assign(line.section);
      headerKeys_ = 0;
      headerFinding_.clear();
      if (line.section.empty()) {
        headerFinding_ =
            "section [] has no name; modpublish never uploads its keys. Name it with a "
            "language code such as [en]";
      } else if (*SteamLanguageFor(line.section) == '\0') {
        std::string suggestion = SuggestLanguageCode(line.section);
        headerFinding_ = "section " + Bracketed(line.section) +
                         " is not a language code modpublish knows, so it will be skipped "
                         "(\"Skipping uploading description in lang: " +
                         Excerpt(line.section, kNameLimit) + "\"). ";
        headerFinding_ += suggestion.empty() ? "Use a code such as [en], [de], [pt_BR] or [zh_TW]"
                                             : "The accepted code is [" + suggestion + "]";
      }
      break;
    case DescriptionLineKind::kKey:
      KeyLine(line);
      break;
    case DescriptionLineKind::kSkipped:
      if (!line.text.empty()) {
        Warn(line.number, "the line " + Quoted(line.text) +
                              " is too short to be a key or a header; modpublish ignores it. "
                              "Remove it");
      }
      break;
    case DescriptionLineKind::kIgnored:
      IgnoredLine(line);
      break;
  }
}

void DescriptionCheck::CheckFirstLineMark(const DescriptionLine& line) {
  std::string_view rest = Trim(line.text.substr(kByteOrderMark.size()));
  if (line.kind == DescriptionLineKind::kIgnored && rest.size() >= 2 && rest.front() == '[' &&
      rest.back() == ']') {
    markHidHeader_ = true;
    Fail(line.number,
         "the file starts with a UTF-8 byte-order mark, which hides the header " +
             Excerpt(rest, kNameLimit) +
             ": the keys below it go to the section with no name and are never uploaded. "
             "Save the file as UTF-8 without a byte-order mark (BOM)");
    return;
  }
  Warn(line.number,
       "the file starts with a UTF-8 byte-order mark, which modpublish reads as part of this "
       "line. Save the file as UTF-8 without a byte-order mark (BOM)");
}

void DescriptionCheck::IgnoredLine(const DescriptionLine& line) {
  std::string_view text = line.text;
  if (line.number == 1 && text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
    text = Trim(text.substr(kByteOrderMark.size()));
  }
  if (text.front() == '[') {
    size_t close = text.find(']');
    std::string_view header = close == std::string_view::npos ? text : text.substr(0, close + 1);
    std::string fix(header);
    if (close == std::string_view::npos) {
      fix += ']';
    }
    Warn(line.number, "the line " + Quoted(line.text) +
                          " is not a section header: a header ends with \"]\" and nothing "
                          "follows it. modpublish ignores the line, so the keys below it stay "
                          "in " +
                          SectionOf(line.section) + ". Write it as " + Quoted(fix));
  } else if (text.front() == ';' || text.front() == '#') {
    Warn(line.number, "the line " + Quoted(line.text) +
                          " is ignored: descript.ion has no comment syntax. Fine as a note; "
                          "if it was meant to be read, write it as \"key = value\"");
  } else {
    Warn(line.number, "the line " + Quoted(line.text) +
                          " is neither a key line (key = value) nor a section header "
                          "([code]); modpublish ignores it. Remove it, or add the missing "
                          "\"=\" or brackets");
  }
}

void DescriptionCheck::KeyLine(const DescriptionLine& line) {
  ++headerKeys_;
  if (headerLine_ == 0 && !keysBeforeHeaderSeen_ && !markHidHeader_) {
    keysBeforeHeaderSeen_ = true;
    Warn(line.number, "the key " + Quoted(line.key) +
                          " comes before the first section header, so it goes to the section "
                          "with no name, which modpublish never uploads. Put a header such as "
                          "[en] above it");
  }
  auto section = view_.find(line.section);
  if (section == view_.end()) {
    section = view_.emplace(std::string(line.section), SectionView()).first;
    section->second.firstLine = headerLine_ != 0 ? headerLine_ : line.number;
  }
  auto key = section->second.keys.find(line.key);
  if (key == section->second.keys.end()) {
    key = section->second.keys.emplace(std::string(line.key), KeyView()).first;
  } else {
    Warn(line.number, "the key " + Quoted(line.key) + " of " + SectionOf(line.section) +
                          " is set again here, after line " +
                          std::to_string(key->second.lines.back()) +
                          "; the last value wins. Keep only the line you mean");
  }
  key->second.lines.push_back(line.number);
  key->second.valueBytes = line.value.size();
}

void DescriptionCheck::CloseHeader() {
  if (headerLine_ == 0) {
    return;
  }
  if (headerKeys_ == 0) {
    Warn(headerLine_, "the header " + Bracketed(headerName_) +
                          " has no keys under it, so nothing of it is uploaded. Add its title "
                          "and description below it, or remove the header");
  } else if (!headerFinding_.empty()) {
    Warn(headerLine_, headerFinding_);
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
  const std::string what = "the " + std::string(key) + " of section " + Bracketed(name);
  if (value.size() > limit) {
    Fail(line, what + " is " + std::to_string(value.size()) + " bytes long; Steam refuses " +
                   (title ? "titles" : "descriptions") + " over " + std::to_string(limit) +
                   " bytes, and the publish fails after the content was uploaded. Shorten it");
  }
  if (title && value.empty()) {
    Warn(line, what + " is empty; the Workshop page will show no title in that language");
  }
  if (!IsValidUtf8(value)) {
    Warn(line, what +
                   " is not valid UTF-8, so the Workshop page will show it garbled. Save the "
                   "file as UTF-8");
  }
  for (std::string& warning : MarkupWarnings(name, key, value)) {
    Warn(line, std::move(warning));
  }
}

void DescriptionCheck::Conclude(const ModDescription& record, uint64_t fileBytes) {
  CloseHeader();
  if (ctrlZLine_ != 0 && fileBytes > ctrlZOffset_ + 1) {
    Warn(ctrlZLine_, "a Ctrl-Z byte (0x1A) ends the file here, the way Windows reads text; the " +
                         std::to_string(fileBytes - ctrlZOffset_ - 1) +
                         " bytes after it are ignored. Remove that byte");
  }
  size_t uploaded = 0;
  for (const auto& [name, section] : record.sections) {
    if (name.empty() || *SteamLanguageFor(name) == '\0') {
      continue;
    }
    ++uploaded;
    auto seen = view_.find(std::string_view(name));
    const SectionView* view = seen == view_.end() ? nullptr : &seen->second;
    // Looked up by a plain literal, which any string type of the record's
    // maps can be built from.
    for (const char* keyName : {"title", "description"}) {
      const std::string_view key = keyName;
      auto found = section.find(keyName);
      if (found != section.end()) {
        // The line that set the value that stands; the view always has it,
        // as both come from the same lines.
        uint64_t line = 0;
        if (view != nullptr) {
          auto keyView = view->keys.find(key);
          line = keyView == view->keys.end() ? 0 : keyView->second.lines.back();
        }
        CheckValue(name, key, found->second, line);
        continue;
      }
      std::string message = "section " + Bracketed(name) + " has no \"" + std::string(key) +
                            "\" key, so modpublish uploads \"No " + std::string(key) +
                            "\" instead. ";
      auto similar = std::find_if(section.begin(), section.end(), [key](const auto& entry) {
        return EqualIgnoringCase(entry.first, key);
      });
      message += similar == section.end()
                     ? "Add a line \"" + std::string(key) + " = ...\""
                     : "Keys are case-sensitive: write " + Quoted(similar->first) + " as \"" +
                           std::string(key) + "\"";
      Warn(view == nullptr ? 0 : view->firstLine, std::move(message));
    }
  }
  if (uploaded == 0) {
    Warn(0,
         "no section will be uploaded, so the Workshop item gets no title or description. Add "
         "a section such as [en] with \"title\" and \"description\" keys");
  }
  // File order; the findings about the whole file last.
  std::stable_sort(
      diagnostics_.begin(), diagnostics_.end(), [](const Diagnostic& a, const Diagnostic& b) {
        return (a.line == 0 ? UINT64_MAX : a.line) < (b.line == 0 ? UINT64_MAX : b.line);
      });
}
