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
    ApplyPlainLine(TrimWhitespace(line), sectionName, record);
  }
  return record;
}
