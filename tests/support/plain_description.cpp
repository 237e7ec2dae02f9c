#include "tests/support/plain_description.h"

#include <algorithm>

void ApplyPlainLine(std::string_view trimmed, std::string& sectionName, PlainDescription& record) {
  if (trimmed.size() < 2) {
    return;
  }
  const size_t equals = trimmed.find('=');
  if (equals != std::string_view::npos) {
    record[sectionName][TrimWhitespace(trimmed.substr(0, equals))] =
        TrimWhitespace(trimmed.substr(equals + 1));
  } else if (trimmed.front() == '[' && trimmed.back() == ']') {
    sectionName = TrimWhitespace(trimmed.substr(1, trimmed.size() - 2));
  }
}

PlainDescription ParsePlainDescription(std::string_view text) {
  text = text.substr(0, text.find('\x1A'));
  PlainDescription record;
  std::string sectionName;
  for (size_t start = 0; start <= text.size();) {
    const size_t end = std::min(text.find('\n', start), text.size());
    ApplyPlainLine(TrimWhitespace(text.substr(start, end - start)), sectionName, record);
    start = end + 1;
  }
  return record;
}

PlainDescription FlattenDescription(const ModDescription& record) {
  PlainDescription flat;
  for (const auto& [name, section] : record.sections) {
    auto& keys = flat[std::string(std::string_view(name))];
    for (const auto& [key, value] : section) {
      keys[std::string(std::string_view(key))] = std::string(std::string_view(value));
    }
  }
  return flat;
}
