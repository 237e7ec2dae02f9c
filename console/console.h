// The tool's one output channel: formatted text on standard output.
// Nothing in the tool writes to standard error.
#ifndef MODPUBLISH_CONSOLE_CONSOLE_H_
#define MODPUBLISH_CONSOLE_CONSOLE_H_

#include <cstdarg>
#include <cstddef>
#include <string>
#include <string_view>

#if defined(__GNUC__)
#define MODPUBLISH_PRINTF_FORMAT(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define MODPUBLISH_PRINTF_FORMAT(fmt, args)
#endif

// Formats the arguments by the printf rules and writes the result to
// standard output, adding nothing (no line end, no prefix). `format` is
// always a literal of the tool; outside text goes in as a %s argument.
// Returns what the formatted write returns: the byte count, or a negative
// value on an output error.
int Print(const char* format, ...) MODPUBLISH_PRINTF_FORMAT(1, 2);

// Print with the arguments already collected.
int VPrint(const char* format, va_list args) MODPUBLISH_PRINTF_FORMAT(1, 0);

// Text from outside the tool (a path, a command-line argument, a line of a
// file) made safe for one line of output: every control byte (0x00 to 0x1F
// and 0x7F) is shown as \xNN with upper-case hex digits, so no line end,
// carriage return, escape sequence or NUL in it can start, overwrite or cut
// a line. All other bytes stay as they are.
std::string Printable(std::string_view text);

// Printable(text), cut after about `limit` bytes (at the start of a UTF-8
// character, so no half of one is shown) with "..." added; whole when it
// has at most `limit` bytes.
std::string Excerpt(std::string_view text, size_t limit);

#endif  // MODPUBLISH_CONSOLE_CONSOLE_H_
