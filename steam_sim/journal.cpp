#include "steam_sim/journal.h"

#include <cerrno>
#include <cstring>

namespace steam_sim {

bool Journal::Open(const std::filesystem::path& path, std::string* error) {
  Close();
  // Binary, so that lines end in a bare LF on Windows too.
  errno = 0;
  file_.open(path, std::ios::out | std::ios::app | std::ios::binary);
  if (!file_.is_open()) {
    const int cause = errno;
    *error = "cannot open the journal " + path.u8string() + " for writing" +
             (cause != 0 ? std::string(": ") + std::strerror(cause) : std::string());
    return false;
  }
  return true;
}

void Journal::Close() {
  if (file_.is_open()) {
    file_.close();
  }
  file_.clear();
}

void Journal::WriteLine(const std::string& line) {
  file_ << line << '\n';
  file_.flush();
}

}  // namespace steam_sim
