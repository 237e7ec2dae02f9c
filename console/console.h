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

// A short text shown at the end of the line being printed while the
// program waits (an upload's progress), on a terminal only. Each Show
// replaces the text shown before; Erase takes it away and leaves the screen
// as if it had never been there, the cursor where the text began. Nothing
// else may be printed while it shows: Erase first. Off a terminal it shows
// nothing, so a pipe or a file never gets a byte of it.
class LiveText {
 public:
  LiveText() = default;
  ~LiveText() { Erase(); }
  LiveText(const LiveText&) = delete;
  LiveText& operator=(const LiveText&) = delete;

  // Whether standard output can show one: a terminal that takes cursor
  // control sequences (platform::UseTerminalControlSequences, switched on
  // by the first call) and tells its width. Decided once per process.
  static bool Supported();

  // Shows `text` (printable ASCII, no line end; it may wrap) after what the
  // current line holds, in place of the text shown before; with a blank
  // after it where it would end right at a row's end. Returns whether it
  // shows: false, with the text before erased, when `text` is empty, on no
  // supported terminal, when the column where the line stands is unknown
  // (after a piece of Print's output too long to keep), and when the line
  // has just filled a whole row.
  bool Show(std::string_view text);

  // Takes the text away. Does nothing when none shows.
  void Erase();

  bool Showing() const { return length_ > 0; }

 private:
  size_t start_ = 0;   // the column of the line where the text begins
  size_t length_ = 0;  // its columns; 0 while none shows
  size_t width_ = 0;   // the terminal's width when it was drawn
};

// The ANSI sequence that takes back a text of `length` columns written
// from column `start` of a line (counted from its start, wrapped rows
// included) on a terminal `width` columns wide: the cursor goes back to
// where the text began and everything from there to the end of the screen
// is erased. "" when there is nothing to take back. The text must not end
// right at a row's end, where terminals differ in where they leave the
// cursor.
std::string EraseSequence(size_t start, size_t length, size_t width);

// The column a line stands at after `written` is printed from column
// `column`: a line end or a carriage return starts again from 0, and every
// other byte but the continuation bytes of UTF-8 takes a column.
size_t ColumnAfter(size_t column, std::string_view written);

// At the end of a program: when it is the only process on its console
// (platform::IsOnlyProcessOnConsole: a Windows program started by a
// double-click or a drop on it, whose window closes the moment it ends) and
// standard input and output are that console, prints "Press Enter to close
// this window." and waits for a line, or the end, of standard input. Does
// nothing otherwise: never when started from a console or a script, nor on
// POSIX.
void HoldWindowUntilEnter();

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
