// The fixture of the tests that drive the built library through its
// exports: each test gets its own temporary folder holding the current
// folder, the Workshop, the journal and the scenario, and the environment
// pointing at them.
#ifndef MODPUBLISH_STEAM_SIM_SIM_FIXTURE_H_
#define MODPUBLISH_STEAM_SIM_SIM_FIXTURE_H_

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "steam_sim/test_support.h"

namespace steam_sim_test {

// Writes `bytes` to `path`, creating its folder.
void WriteFile(const std::filesystem::path& path, const std::string& bytes);
// The file's bytes, or "" when it can't be read.
std::string ReadFile(const std::filesystem::path& path);

class SimTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes `text` as the scenario file and points STEAMSIM_SCENARIO at it.
  void UseScenario(const std::string& text);
  // SteamAPI_Init with the standard version list.
  int Init(char* errMsg = nullptr);
  // Init with `scenario`, which must succeed; fetches both interfaces.
  void Start(const std::string& scenario = "app_id 250");
  // The journal's lines so far, and a way to start it afresh.
  std::vector<std::string> Journal() const;
  void ClearJournal();

  // The ISteamUtils and ISteamUGC slots, by their literal slot numbers.
  uint32_t GetAppID();
  uint64_t CreateItem(uint32_t app, int32_t fileType = 0);
  uint64_t StartItemUpdate(uint32_t app, uint64_t item);
  bool SetTitle(uint64_t update, const char* title);
  bool SetDescription(uint64_t update, const char* description);
  bool SetLanguage(uint64_t update, const char* language);
  bool SetVisibility(uint64_t update, int32_t visibility);
  bool SetContent(uint64_t update, const char* folder);
  bool SetPreview(uint64_t update, const char* file);
  uint64_t Submit(uint64_t update, const char* note);
  int32_t Progress(uint64_t update, uint64_t* processed, uint64_t* total);
  void Register(TestBinding* binding, uint64_t call);
  void Pump(int times = 1);

  // Creates an item of app 250 and pumps until its result arrives.
  // Returns the record's item id (0 when none arrived).
  uint64_t CreateDelivered();
  // Submits `update` and pumps until its result arrives. Returns the
  // record's result code (-1 when none arrived).
  int32_t SubmitDelivered(uint64_t update, const char* note = "note");

  // Runs steam_sim_probe with `arguments` in this test's folder and
  // environment. Returns its output with Windows' CRs taken out, or
  // "exit <status>" when it fails.
  std::string RunProbe(const std::vector<std::string>& arguments);

  // `relative` in the current folder, as a fully qualified UTF-8 path: the
  // form the service finds.
  static std::string Absolute(const std::string& relative);

  std::filesystem::path ItemFolder(uint64_t item) const;
  // The names in `folder`, sorted.
  static std::vector<std::string> Names(const std::filesystem::path& folder);

  SimExports sim_;
  std::filesystem::path root_;
  std::filesystem::path workshop_;
  std::filesystem::path journal_;
  void* utils_ = nullptr;
  void* ugc_ = nullptr;

 private:
  std::filesystem::path savedFolder_;
};

}  // namespace steam_sim_test

#endif  // MODPUBLISH_STEAM_SIM_SIM_FIXTURE_H_
