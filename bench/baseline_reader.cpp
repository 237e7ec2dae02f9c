#include "bench/baseline_reader.h"

#include <fstream>

PlainDescription BaselineLoadDescription(const std::string& path) {
  PlainDescription record;
  std::ifstream in(path, std::ios::binary);
  std::string sectionName;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    const std::string trimmed = TrimWhitespace(line);
    if (trimmed.size() < 2) {
      continue;
    }
    const size_t equals = trimmed.find('=');
    if (equals != std::string::npos) {
      record[sectionName][TrimWhitespace(trimmed.substr(0, equals))] =
          TrimWhitespace(trimmed.substr(equals + 1));
    } else if (trimmed.front() == '[' && trimmed.back() == ']') {
      sectionName = TrimWhitespace(trimmed.substr(1, trimmed.size() - 2));
    }
  }
  return record;
}

bool SameRecord(const ModDescription& record, const PlainDescription& plain) {
  if (record.sections.size() != plain.size()) {
    return false;
  }
  auto plainSection = plain.begin();
  for (const auto& [name, section] : record.sections) {
    if (name != plainSection->first || section.size() != plainSection->second.size()) {
      return false;
    }
    auto plainEntry = plainSection->second.begin();
    for (const auto& [key, value] : section) {
      if (key != plainEntry->first || value != plainEntry->second) {
        return false;
      }
      ++plainEntry;
    }
    ++plainSection;
  }
  return true;
}
