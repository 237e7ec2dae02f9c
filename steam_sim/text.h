// Byte-string helpers shared by the journal, the scenario reader and the
// Workshop's item files, so that all three quote and read numbers the same
// way.
#ifndef MODPUBLISH_STEAM_SIM_TEXT_H_
#define MODPUBLISH_STEAM_SIM_TEXT_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace steam_sim {

// Returns `bytes` in double quotes: bytes 0x20..0x7E stay as they are,
// except '"' and '\' which become \" and \\; every other byte, NUL included,
// becomes \xHH with two lower-case hex digits.
std::string Quote(std::string_view bytes);

// Reverses Quote. `quoted` must be exactly one quoted string as Quote writes
// it (upper-case hex digits are accepted too). Returns false on anything
// else, leaving `bytes` unspecified.
bool Unquote(std::string_view quoted, std::string* bytes);

// Reads an unsigned 64-bit number written in decimal or, after "0x" or "0X",
// in hex. Returns false for an empty token, a sign, any other byte, or a
// value beyond 64 bits.
bool ParseUnsigned(std::string_view token, uint64_t* value);

// Splits `line` at runs of spaces and tabs; empty tokens are dropped.
std::vector<std::string_view> SplitTokens(std::string_view line);

// Splits `line` into tokens separated by spaces and tabs, where a token that
// starts with '"' runs to its closing quote (as Quote writes it) and is
// returned still quoted. Returns false when a quoted token is not closed or
// is glued to the next token.
bool SplitQuotedTokens(std::string_view line, std::vector<std::string_view>* tokens);

}  // namespace steam_sim

#endif  // MODPUBLISH_STEAM_SIM_TEXT_H_
