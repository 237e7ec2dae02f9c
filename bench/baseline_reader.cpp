#include "bench/baseline_reader.h"

#include <fstream>

ModDescription BaselineLoadDescription(const std::string& path) {
  ModDescription record;
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
      record.sections[sectionName][TrimWhitespace(trimmed.substr(0, equals))] =
          TrimWhitespace(trimmed.substr(equals + 1));
    } else if (trimmed.front() == '[' && trimmed.back() == ']') {
      sectionName = TrimWhitespace(trimmed.substr(1, trimmed.size() - 2));
    }
  }
  return record;
}
