// The description line rules applied the plain way, on standard maps of
// strings, with a trim of its own: the one yardstick that the reader's
// compact record is compared with (by its tests, the checker's, the fuzzer
// and the benchmark, whose baseline reader it is).
#ifndef MODPUBLISH_TESTS_SUPPORT_PLAIN_DESCRIPTION_H_
#define MODPUBLISH_TESTS_SUPPORT_PLAIN_DESCRIPTION_H_

#include <map>
#include <string>
#include <string_view>

#include "description/description.h"

// Section name → key → value.
using PlainDescription = std::map<std::string, std::map<std::string, std::string>>;

// Applies the line rules to `text` as the reader takes a file: the input
// ends at a Ctrl-Z byte, lines end at LF, every line is trimmed (so a CR
// before the LF goes), and the last line needs no LF.
PlainDescription ParsePlainDescription(std::string_view text);

// The same, from the file at `path`, the plain way: std::ifstream and
// std::getline, a copy per step (the benchmark's baseline). Ignores Ctrl-Z,
// which the benchmark's inputs never hold. No sections when it can't open.
PlainDescription ReadPlainDescription(const std::string& path);

// The record's sections, keys and values copied into plain maps, to compare
// with ==; plain maps sort the same way as the record.
PlainDescription FlattenDescription(const ModDescription& record);

// One "[name]" line per section and one "key=value" line per key, control
// and non-ASCII bytes as \xNN, so a failure shows exactly which bytes differ.
std::string DumpDescription(const PlainDescription& record);

#endif  // MODPUBLISH_TESTS_SUPPORT_PLAIN_DESCRIPTION_H_
