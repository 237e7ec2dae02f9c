#include "console/console.h"

#include <cstdio>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace {

// The column where standard output's line stands, kept on a terminal for
// LiveText; kUnknownColumn after a piece too long to look at, until a line
// end comes.
constexpr size_t kUnknownColumn = static_cast<size_t>(-1);
size_t lineColumn = 0;

// Writes straight to the terminal, past the column count: a live text is
// taken back before anything else is printed.
void WriteToTerminal(const std::string& bytes) {
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
  std::fflush(stdout);
}

}  // namespace

int VPrint(const char* format, va_list args) {
  static const bool toTerminal = platform::IsTerminal(stdout);
  if (!toTerminal) {
    // The analyzer can't see that callers start `args`; all of them do.
    return std::vprintf(format, args);  // NOLINT(clang-analyzer-valist.Uninitialized)
  }
  // On a terminal every piece shows as it is written, so the dots of a wait
  // appear one by one. A pipe or a file keeps the runtime's buffering and
  // gets exactly the same bytes. A piece that fits the buffer (every step
  // line does) is also counted, so a live text knows where the line stands;
  // a longer one (a long description's echo) is written as it comes.
  char piece[1024];
  va_list copy;
  va_copy(copy, args);
  // NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized): as above, `copy` of it too
  int written = std::vsnprintf(piece, sizeof piece, format, copy);
  va_end(copy);
  if (written >= 0 && static_cast<size_t>(written) < sizeof piece) {
    written = static_cast<int>(std::fwrite(piece, 1, static_cast<size_t>(written), stdout));
    const std::string_view text(piece, static_cast<size_t>(written));
    if (lineColumn != kUnknownColumn || text.find_last_of("\r\n") != std::string_view::npos) {
      lineColumn = ColumnAfter(lineColumn == kUnknownColumn ? 0 : lineColumn, text);
    }
  } else {
    written = std::vprintf(format, args);  // NOLINT(clang-analyzer-valist.Uninitialized)
    lineColumn = kUnknownColumn;
  }
  std::fflush(stdout);
  return written;
}

int Print(const char* format, ...) {
  va_list args;
  va_start(args, format);
  int written = VPrint(format, args);
  va_end(args);
  return written;
}

std::string Printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      // A LF would start a line of its own; a CR, an escape sequence or a
      // NUL would garble or cut this one.
      static constexpr char kHex[] = "0123456789ABCDEF";
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    } else {
      out += c;
    }
  }
  return out;
}

std::string Excerpt(std::string_view text, size_t limit) {
  if (text.size() <= limit) {
    return Printable(text);
  }
  size_t end = limit;
  // Back to the start of a character, so no half of one is shown.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80 && limit - end < 3) {
    --end;
  }
  return Printable(text.substr(0, end)) + "...";
}

bool LiveText::Supported() {
  // UseTerminalControlSequences is false for what is no terminal.
  static const bool supported =
      platform::UseTerminalControlSequences(stdout) && platform::TerminalColumns(stdout) > 0;
  return supported;
}

bool LiveText::Show(std::string_view text) {
  std::string bytes = EraseSequence(start_, length_, width_);
  length_ = 0;
  const int columns = Supported() ? platform::TerminalColumns(stdout) : 0;
  const size_t width = static_cast<size_t>(columns > 0 ? columns : 0);
  // Where a row has just been filled, some terminals keep the cursor at its
  // end until the next byte and others move it to the next row at once: a
  // text may neither begin nor end there, or it could not be found again.
  const bool placed =
      width > 0 && lineColumn != kUnknownColumn && (lineColumn == 0 || lineColumn % width != 0);
  if (placed && !text.empty()) {
    start_ = lineColumn;
    width_ = width;
    length_ = text.size();
    bytes += text;
    if ((start_ % width + length_) % width == 0) {
      bytes += ' ';
      ++length_;
    }
  }
  // One write for the erasure and the new text: no flicker between them.
  if (!bytes.empty()) {
    WriteToTerminal(bytes);
  }
  return length_ > 0;
}

void LiveText::Erase() {
  if (length_ > 0) {
    WriteToTerminal(EraseSequence(start_, length_, width_));
    length_ = 0;
  }
}

std::string EraseSequence(size_t start, size_t length, size_t width) {
  if (length == 0 || width == 0) {
    return std::string();
  }
  // The row of the text's last column, counted from the row it began on:
  // the cursor is on that row, after the text or waiting at the row's end.
  const size_t column = start % width;
  const size_t rows = (column + length - 1) / width;
  std::string sequence = "\r";
  if (rows > 0) {
    sequence += "\x1B[" + std::to_string(rows) + "A";
  }
  // Terminals read a count of 0 as 1: no move is no sequence.
  if (column > 0) {
    sequence += "\x1B[" + std::to_string(column) + "C";
  }
  return sequence + "\x1B[J";
}

size_t ColumnAfter(size_t column, std::string_view written) {
  for (char c : written) {
    if (c == '\n' || c == '\r') {
      column = 0;
    } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
      ++column;
    }
  }
  return column;
}

void HoldWindowUntilEnter() {
  if (!platform::IsOnlyProcessOnConsole() || !platform::IsTerminal(stdin) ||
      !platform::IsTerminal(stdout)) {
    return;
  }
  Print("Press Enter to close this window.");
  for (int c = std::getchar(); c != '\n' && c != EOF; c = std::getchar()) {
  }
}
