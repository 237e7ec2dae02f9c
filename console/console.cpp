#include "console/console.h"

#include <cstdio>
#include <string>
#include <string_view>

#include "platform/platform.h"

int VPrint(const char* format, va_list args) {
  // The analyzer can't see that callers start `args`; all of them do.
  int written = std::vprintf(format, args);  // NOLINT(clang-analyzer-valist.Uninitialized)
  // On a terminal every piece shows as it is written, so the dots of a wait
  // appear one by one. A pipe or a file keeps the runtime's buffering and
  // gets exactly the same bytes.
  static const bool toTerminal = platform::IsTerminal(stdout);
  if (toTerminal) {
    std::fflush(stdout);
  }
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
