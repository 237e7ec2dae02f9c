// The journal: a text file that records every call the simulated library
// receives and every result it delivers, one line per event, so that a test
// of the tool can compare what the tool did with what it should have done.
#ifndef MODPUBLISH_STEAM_SIM_JOURNAL_H_
#define MODPUBLISH_STEAM_SIM_JOURNAL_H_

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

#include "steam_sim/text.h"

namespace steam_sim {

class Journal {
 public:
  // Closes the journal in use, if any, and opens `path` for appending.
  // Returns false with `error` set when it can't be opened for writing; the
  // journal stays closed then.
  bool Open(const std::filesystem::path& path, std::string* error);

  // Stops journaling.
  void Close();

  // Appends the line that `build()` returns, and an LF, and flushes, so
  // that a crash loses nothing written before it. While closed, does
  // nothing and never calls `build`: a line may quote an argument of
  // hundreds of megabytes, which should cost nothing when no one reads it.
  template <typename BuildLine>
  void Write(BuildLine&& build) {
    if (file_.is_open()) {
      WriteLine(std::forward<BuildLine>(build)());
    }
  }

 private:
  void WriteLine(const std::string& line);

  std::ofstream file_;
};

// Pieces of journal lines: numbers in decimal, booleans as true or false,
// strings quoted (see Quote) or written null.
inline std::string Number(uint64_t value) { return std::to_string(value); }
inline std::string Number(int64_t value) { return std::to_string(value); }
inline const char* Bool(bool value) { return value ? "true" : "false"; }
inline std::string QuoteOrNull(const char* text) { return text == nullptr ? "null" : Quote(text); }

}  // namespace steam_sim

#endif  // MODPUBLISH_STEAM_SIM_JOURNAL_H_
