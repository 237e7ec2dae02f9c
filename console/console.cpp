#include "console/console.h"

#include <cstdio>

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
