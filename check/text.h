// The checks' helpers for text as bytes: ASCII letter case and UTF-8. No
// locale is consulted and nothing is decoded: a byte past ASCII is only
// ever compared as it is, so the checks read a file the same way on every
// system.
#ifndef MODPUBLISH_CHECK_TEXT_H_
#define MODPUBLISH_CHECK_TEXT_H_

#include <cstddef>
#include <string_view>

inline bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
inline bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

// `c` with an ASCII capital made small; every other byte as it is.
inline char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Comparisons in which ASCII letters match in either case, and nothing
// else is folded.
bool EqualIgnoringCase(std::string_view a, std::string_view b);
bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix);
bool EndsWithIgnoringCase(std::string_view text, std::string_view suffix);
bool ContainsIgnoringCase(std::string_view text, std::string_view part);

// The length of the well-formed UTF-8 character at the start of `text`
// (1 to 4), or 0 when it starts with a byte that begins none (no overlong
// forms, surrogates, or code points past U+10FFFF); 0 for an empty text.
size_t Utf8CharacterLength(std::string_view text);

// The offset of the first byte of `text` that is not part of a well-formed
// UTF-8 character, or npos when all of it is well-formed.
size_t FirstBadUtf8(std::string_view text);

#endif  // MODPUBLISH_CHECK_TEXT_H_
