// The journal: a text file that records every call the simulated library
// receives and every result it delivers, one line per event, so that a test
// of the tool can compare what the tool did with what it should have done.
#ifndef MODPUBLISH_STEAM_SIM_JOURNAL_H_
#define MODPUBLISH_STEAM_SIM_JOURNAL_H_

#include <filesystem>
#include <fstream>
#include <string>

namespace steam_sim {

class Journal {
 public:
  // Closes the journal in use, if any, and opens `path` for appending.
  // Returns false with `error` set when it can't be opened for writing; the
  // journal stays closed then.
  bool Open(const std::filesystem::path& path, std::string* error);

  // Stops journaling.
  void Close();

  // Appends `line` and an LF and flushes, so that a crash loses nothing
  // written before it. Does nothing while closed.
  void Write(const std::string& line);

 private:
  std::ofstream file_;
};

}  // namespace steam_sim

#endif  // MODPUBLISH_STEAM_SIM_JOURNAL_H_
