// The plain way to read a description file, as a yardstick for the
// project's reader: std::ifstream, std::getline, TrimWhitespace and
// std::map, one copy per step. It follows the same line rules except that
// it ignores Ctrl-Z, which the benchmark inputs never hold.
#ifndef MODPUBLISH_BENCH_BASELINE_READER_H_
#define MODPUBLISH_BENCH_BASELINE_READER_H_

#include <string>

#include "description/reader.h"
#include "tests/support/plain_description.h"

// Reads the file at `path`, without any echo. Returns no sections when the
// file can't be opened.
PlainDescription BaselineLoadDescription(const std::string& path);

#endif  // MODPUBLISH_BENCH_BASELINE_READER_H_
