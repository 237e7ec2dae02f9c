// The description files that the reader's and the checker's tests share,
// each with the record the line rules make of it.
#ifndef MODPUBLISH_TESTS_SUPPORT_DESCRIPTION_INPUTS_H_
#define MODPUBLISH_TESTS_SUPPORT_DESCRIPTION_INPUTS_H_

#include <string>
#include <vector>

struct DescriptionInput {
  std::string what;
  std::string text;
  std::string record;  // as DumpDescription prints it
};

// Every line rule, CR LF, lone CRs, NUL and high bytes, a byte-order mark,
// Ctrl-Z in each place, repeated headers, and lines longer than the
// reader's buffers.
const std::vector<DescriptionInput>& DescriptionInputs();

// A file with a line of every kind (LF line ends): a byte-order mark before
// a comment, a repeated header, a nameless section, a lone CR.
extern const char kSampleDescription[];

// `text` with every `from` replaced by `to`.
std::string ReplaceAll(std::string text, const std::string& from, const std::string& to);

#endif  // MODPUBLISH_TESTS_SUPPORT_DESCRIPTION_INPUTS_H_
