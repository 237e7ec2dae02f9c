// The plain way to read a description file, as a yardstick for the
// project's reader: std::ifstream, std::getline, TrimWhitespace and
// std::map, one copy per step. It follows the same line rules except that
// it ignores Ctrl-Z, which the benchmark inputs never hold.
#ifndef MODPUBLISH_BENCH_BASELINE_READER_H_
#define MODPUBLISH_BENCH_BASELINE_READER_H_

#include <map>
#include <string>

#include "description/reader.h"

// Section name → key → value, in plain standard maps of strings.
using PlainDescription = std::map<std::string, std::map<std::string, std::string>>;

// Reads the file at `path`, without any echo. Returns no sections when the
// file can't be opened.
PlainDescription BaselineLoadDescription(const std::string& path);

// Whether `record` holds exactly the sections, keys and values of `plain`,
// in the same order.
bool SameRecord(const ModDescription& record, const PlainDescription& plain);

#endif  // MODPUBLISH_BENCH_BASELINE_READER_H_
