#include "tests/support/plain_description.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

namespace {

std::string PlainTrim(std::string_view text) {
  const char* blanks = "\t \r\n";
  const size_t first = text.find_first_not_of(blanks);
  return first == std::string_view::npos
             ? std::string()
             : std::string(text.substr(first, text.find_last_not_of(blanks) - first + 1));
}

void ApplyPlainLine(std::string_view line, std::string& sectionName, PlainDescription& record) {
  const std::string trimmed = PlainTrim(line);
  if (trimmed.size() < 2) {
    return;
  }
  const size_t equals = trimmed.find('=');
  if (equals != std::string::npos) {
    record[sectionName][PlainTrim(trimmed.substr(0, equals))] =
        PlainTrim(trimmed.substr(equals + 1));
  } else if (trimmed.front() == '[' && trimmed.back() == ']') {
    sectionName = PlainTrim(trimmed.substr(1, trimmed.size() - 2));
  }
}

}  // namespace

PlainDescription ParsePlainDescription(std::string_view text) {
  text = text.substr(0, text.find('\x1A'));
  PlainDescription record;
  std::string sectionName;
  for (size_t start = 0; start <= text.size();) {
    const size_t end = std::min(text.find('\n', start), text.size());
    ApplyPlainLine(text.substr(start, end - start), sectionName, record);
    start = end + 1;
  }
  return record;
}

PlainDescription ReadPlainDescription(const std::string& path) {
  PlainDescription record;
  std::ifstream in(path, std::ios::binary);
  std::string sectionName;
  std::string line;
  while (std::getline(in, line)) {
    ApplyPlainLine(line, sectionName, record);
  }
  return record;
}

PlainDescription FlattenDescription(const ModDescription& record) {
  PlainDescription flat;
  for (const auto& [name, section] : record.sections) {
    auto& keys = flat[std::string(name.view())];
    for (const auto& [key, value] : section) {
      keys[std::string(key.view())] = std::string(value.view());
    }
  }
  return flat;
}

std::string DumpDescription(const PlainDescription& record) {
  std::string out;
  auto put = [&out](std::string_view text) {
    for (unsigned char c : text) {
      if (c < 0x20 || c >= 0x7F) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02X", c);
        out += hex;
      } else {
        out += static_cast<char>(c);
      }
    }
  };
  for (const auto& [name, keys] : record) {
    out += '[';
    put(name);
    out += "]\n";
    for (const auto& [key, value] : keys) {
      put(key);
      out += '=';
      put(value);
      out += '\n';
    }
  }
  return out;
}
