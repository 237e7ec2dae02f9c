#include "tests/support/sim_session.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/platform.h"
#include "workshop/steam_api.h"

namespace {

void SetEnvironment(const char* name, const std::string& value) {
#if defined(_WIN32)
  _putenv_s(name, value.c_str());
#else
  setenv(name, value.c_str(), 1);
#endif
}

void ClearEnvironment(const char* name) {
#if defined(_WIN32)
  _putenv_s(name, "");
#else
  unsetenv(name);
#endif
}

}  // namespace

SimSession::SimSession(const std::vector<std::string>& scenario) : folder_("modpublish-sim") {
  const std::filesystem::path& folder = folder_.Path();
  journal_ = (folder / "journal.txt").string();
  SetEnvironment("STEAMSIM_WORKSHOP", (folder / "workshop").string());
  SetEnvironment("STEAMSIM_JOURNAL", journal_);
  ClearEnvironment("SteamAppId");
  if (scenario.empty()) {
    ClearEnvironment("STEAMSIM_SCENARIO");
  } else {
    std::ofstream file(folder / "scenario.txt", std::ios::binary);
    for (const std::string& line : scenario) {
      file << line << '\n';
    }
    SetEnvironment("STEAMSIM_SCENARIO", (folder / "scenario.txt").string());
  }
}

SimSession::~SimSession() = default;

bool SimSession::Start() { return steam::InitSteamAPI(platform::kSteamLibraryName); }

std::vector<std::string> SimSession::Journal() const {
  std::ifstream file(journal_, std::ios::binary);
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(file, line)) {
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> SimSession::JournalLines(const std::string& prefix) const {
  std::vector<std::string> found;
  for (const std::string& line : Journal()) {
    if (line.compare(0, prefix.size(), prefix) == 0) {
      found.push_back(line);
    }
  }
  return found;
}
