#include "steam_sim/sim_fixture.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "steam_sim/sim_platform.h"
#include "steam_sim/test_platform.h"

namespace steam_sim_test {

namespace fs = std::filesystem;

void WriteFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << bytes;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

void SimTest::SetUp() {
  std::string error;
  ASSERT_TRUE(LoadSim(&sim_, &error)) << error;
  static int count = 0;
  root_ = fs::temp_directory_path() / ("steam_sim_test-" + std::to_string(steam_sim::ProcessId()) +
                                       "-" + std::to_string(++count));
  fs::remove_all(root_);
  fs::create_directories(root_ / "cwd");
  savedFolder_ = fs::current_path();
  fs::current_path(root_ / "cwd");
  workshop_ = root_ / "workshop";
  journal_ = root_ / "journal.txt";
  SetEnvironment("STEAMSIM_WORKSHOP", workshop_.string());
  SetEnvironment("STEAMSIM_JOURNAL", journal_.string());
  UnsetEnvironment("STEAMSIM_SCENARIO");
  UnsetEnvironment("SteamAppId");
  UnsetEnvironment("STEAMSIM_UPLOAD_RATE");
  RunLog().clear();
  OnRun() = nullptr;
}

void SimTest::TearDown() {
  OnRun() = nullptr;
  // End the session so that nothing refers to this test's bindings.
  if (sim_.init != nullptr) {
    UnsetEnvironment("STEAMSIM_JOURNAL");
    UnsetEnvironment("STEAMSIM_SCENARIO");
    sim_.init(kVersionList, nullptr);
  }
  if (!savedFolder_.empty()) {
    fs::current_path(savedFolder_);
  }
  UnsetEnvironment("STEAMSIM_WORKSHOP");
  UnsetEnvironment("STEAMSIM_UPLOAD_RATE");
  std::error_code ignored;
  fs::remove_all(root_, ignored);
}

void SimTest::UseScenario(const std::string& text) {
  WriteFile(root_ / "scenario.txt", text);
  SetEnvironment("STEAMSIM_SCENARIO", (root_ / "scenario.txt").string());
}

int SimTest::Init(char* errMsg) { return sim_.init(kVersionList, errMsg); }

void SimTest::Start(const std::string& scenario) {
  UseScenario(scenario);
  ASSERT_EQ(Init(), 0);
  utils_ = sim_.findInterface(1, "SteamUtils010");
  ugc_ = sim_.findInterface(1, "STEAMUGC_INTERFACE_VERSION020");
  ASSERT_NE(utils_, nullptr);
  ASSERT_NE(ugc_, nullptr);
}

std::vector<std::string> SimTest::Journal() const {
  std::vector<std::string> lines;
  std::istringstream text(ReadFile(journal_));
  for (std::string line; std::getline(text, line);) {
    lines.push_back(line);
  }
  return lines;
}

void SimTest::ClearJournal() { fs::resize_file(journal_, 0); }

uint32_t SimTest::GetAppID() { return CallSlot<uint32_t>(utils_, 9); }

uint64_t SimTest::CreateItem(uint32_t app, int32_t fileType) {
  return CallSlot<uint64_t>(ugc_, 44, app, fileType);
}

uint64_t SimTest::StartItemUpdate(uint32_t app, uint64_t item) {
  return CallSlot<uint64_t>(ugc_, 45, app, item);
}

bool SimTest::SetTitle(uint64_t update, const char* title) {
  return CallSlot<bool>(ugc_, 46, update, title);
}

bool SimTest::SetDescription(uint64_t update, const char* description) {
  return CallSlot<bool>(ugc_, 47, update, description);
}

bool SimTest::SetLanguage(uint64_t update, const char* language) {
  return CallSlot<bool>(ugc_, 48, update, language);
}

bool SimTest::SetVisibility(uint64_t update, int32_t visibility) {
  return CallSlot<bool>(ugc_, 50, update, visibility);
}

bool SimTest::SetContent(uint64_t update, const char* folder) {
  return CallSlot<bool>(ugc_, 52, update, folder);
}

bool SimTest::SetPreview(uint64_t update, const char* file) {
  return CallSlot<bool>(ugc_, 53, update, file);
}

uint64_t SimTest::Submit(uint64_t update, const char* note) {
  return CallSlot<uint64_t>(ugc_, 66, update, note);
}

int32_t SimTest::Progress(uint64_t update, uint64_t* processed, uint64_t* total) {
  return CallSlot<int32_t>(ugc_, 67, update, processed, total);
}

void SimTest::Register(TestBinding* binding, uint64_t call) {
  sim_.registerCallResult(binding, call);
}

void SimTest::Pump(int times) {
  for (int i = 0; i < times; ++i) {
    sim_.runCallbacks();
  }
}

uint64_t SimTest::CreateDelivered() {
  TestBinding binding = MakeBinding(kCreateItemId);
  const uint64_t call = CreateItem(250);
  Register(&binding, call);
  const size_t before = RunLog().size();
  for (int i = 0; i < 10 && RunLog().size() == before; ++i) {
    Pump();
  }
  return RunLog().size() == before ? 0 : Uint64At(RunLog().back().record, kCreateItemOffset);
}

int32_t SimTest::SubmitDelivered(uint64_t update, const char* note) {
  TestBinding binding = MakeBinding(kSubmitItemId);
  const uint64_t call = Submit(update, note);
  Register(&binding, call);
  const size_t before = RunLog().size();
  for (int i = 0; i < 10 && RunLog().size() == before; ++i) {
    Pump();
  }
  return RunLog().size() == before ? -1 : Int32At(RunLog().back().record, 0);
}

std::string SimTest::RunProbe(const std::vector<std::string>& arguments) {
  const fs::path output = root_ / "probe.txt";
  const int status = RunProgram(STEAM_SIM_PROBE_PATH, arguments, output);
  if (status != 0) {
    return "exit " + std::to_string(status);
  }
  std::string text = ReadFile(output);
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  return text;
}

std::string SimTest::Absolute(const std::string& relative) {
  return (fs::current_path() / fs::u8path(relative)).u8string();
}

fs::path SimTest::ItemFolder(uint64_t item) const {
  return workshop_ / "items" / std::to_string(item);
}

std::vector<std::string> SimTest::Names(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace steam_sim_test
