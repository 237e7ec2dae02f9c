// The format of descript.ion, the whole of it.
//
// The file is a sequence of lines. A line ends at each LF, which is not part
// of it; the last line needs no LF. The file is read as Windows reads a text
// file, on every platform: a CR LF pair arrives as one LF, and a Ctrl-Z byte
// (0x1A) ends the input. Every line is then taken by ClassifyLine:
//
//  - trimmed (TrimWhitespace), it is shorter than 2 bytes: skipped;
//  - it holds '=' anywhere: a key line, split at the first '=' into a
//    trimmed key and a trimmed value (any further '=' are the value's),
//    stored in the current section, which is created on its first key; a
//    repeated key keeps the last value;
//  - it starts with '[' and ends with ']': a header; the trimmed text in
//    between becomes the current section name (it starts as ""), and a name
//    seen before continues that section;
//  - anything else is ignored.
//
// There are no comments, quotes, escapes or continuation lines, and no
// byte-order mark is recognised. Names and keys are case-sensitive bytes.
#ifndef MODPUBLISH_DESCRIPTION_LINE_RULES_H_
#define MODPUBLISH_DESCRIPTION_LINE_RULES_H_

#include <cstddef>
#include <string_view>

// How the rules above took one line.
enum class DescriptionLineKind {
  kHeader,   // a section header
  kKey,      // a key line
  kSkipped,  // shorter than 2 bytes after trimming (blank lines included)
  kIgnored,  // neither a key line nor a header
};

// A line as the rules take it. The views point into the line given.
struct ClassifiedLine {
  DescriptionLineKind kind = DescriptionLineKind::kSkipped;
  std::string_view text;   // the trimmed line
  std::string_view name;   // headers: the new current section name
  std::string_view key;    // key lines
  std::string_view value;  // key lines
};

// `text` without the leading and trailing bytes from the set tab, space,
// CR, LF. Vertical tab, form feed, NUL and non-ASCII spaces are kept.
inline std::string_view TrimWhitespace(std::string_view text) {
  auto blank = [](char c) { return c == '\t' || c == ' ' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && blank(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

// Applies the rules to one line, given without its LF. (Inline: the reader
// calls it for every line.)
inline ClassifiedLine ClassifyLine(std::string_view line) {
  ClassifiedLine classified;
  classified.text = TrimWhitespace(line);
  const std::string_view text = classified.text;
  if (text.size() < 2) {
    classified.kind = DescriptionLineKind::kSkipped;
  } else if (const size_t equals = text.find('='); equals != std::string_view::npos) {
    classified.kind = DescriptionLineKind::kKey;
    classified.key = TrimWhitespace(text.substr(0, equals));
    classified.value = TrimWhitespace(text.substr(equals + 1));
  } else if (text.front() == '[' && text.back() == ']') {
    classified.kind = DescriptionLineKind::kHeader;
    classified.name = TrimWhitespace(text.substr(1, text.size() - 2));
  } else {
    classified.kind = DescriptionLineKind::kIgnored;
  }
  return classified;
}

#endif  // MODPUBLISH_DESCRIPTION_LINE_RULES_H_
