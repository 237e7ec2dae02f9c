// The tool's one output channel: formatted text on standard output.
// Nothing in the tool writes to standard error.
#ifndef MODPUBLISH_CONSOLE_CONSOLE_H_
#define MODPUBLISH_CONSOLE_CONSOLE_H_

#include <cstdarg>

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

#endif  // MODPUBLISH_CONSOLE_CONSOLE_H_
