// Steam result codes (EResult) in words, for the verbose output.
#ifndef MODPUBLISH_WORKSHOP_RESULT_TEXT_H_
#define MODPUBLISH_WORKSHOP_RESULT_TEXT_H_

#include <cstdint>

// Returns the text for `code` 0 to 106 ("success" for 1), else "UNKNOWN".
// Never null or empty; the text is static.
const char* ResultText(int32_t code);

#endif  // MODPUBLISH_WORKSHOP_RESULT_TEXT_H_
