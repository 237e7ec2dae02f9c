// The description line rules applied the plain way, on standard maps of
// strings: a yardstick that the reader's compact record is compared with
// (by the fuzzer, the checker's tests and the benchmark's sanity check).
#ifndef MODPUBLISH_TESTS_SUPPORT_PLAIN_DESCRIPTION_H_
#define MODPUBLISH_TESTS_SUPPORT_PLAIN_DESCRIPTION_H_

#include <map>
#include <string>
#include <string_view>

#include "description/reader.h"

// Section name → key → value.
using PlainDescription = std::map<std::string, std::map<std::string, std::string>>;

// Applies the line rules to `text` as the reader takes a file: the input
// ends at a Ctrl-Z byte, lines end at LF, every line is trimmed (so a CR
// before the LF goes), and the last line needs no LF.
PlainDescription ParsePlainDescription(std::string_view text);

// Stores one trimmed line by the rules into `record`, where `sectionName`
// is the current section name, which a header line changes.
void ApplyPlainLine(std::string_view trimmed, std::string& sectionName, PlainDescription& record);

// The record's sections, keys and values copied into plain maps. Compare
// with == to check a record against a PlainDescription; the record's own
// order is checked elsewhere (plain maps sort the same way).
PlainDescription FlattenDescription(const ModDescription& record);

#endif  // MODPUBLISH_TESTS_SUPPORT_PLAIN_DESCRIPTION_H_
