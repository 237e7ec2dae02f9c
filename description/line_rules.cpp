#include "description/line_rules.h"

namespace {

bool IsWhitespace(char c) { return c == '\t' || c == ' ' || c == '\r' || c == '\n'; }

}  // namespace

std::string_view TrimWhitespace(std::string_view text) {
  while (!text.empty() && IsWhitespace(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && IsWhitespace(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

ClassifiedLine ClassifyLine(std::string_view line) {
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
