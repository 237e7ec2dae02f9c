// Test support: one session of the simulated Steam client library, loaded
// in-process through the tool's own boundary, with a private Workshop,
// scenario and journal.
#ifndef MODPUBLISH_TESTS_SUPPORT_SIM_SESSION_H_
#define MODPUBLISH_TESTS_SUPPORT_SIM_SESSION_H_

#include <string>
#include <vector>

#include "tests/support/scratch_folder.h"

class SimSession {
 public:
  // Makes a scratch folder, removed with the session, holding the
  // Workshop, the journal and (when `scenario` isn't empty) a scenario file
  // with these lines, and points the simulator's environment at them.
  // Nothing is started yet.
  explicit SimSession(const std::vector<std::string>& scenario = {});
  ~SimSession();
  SimSession(const SimSession&) = delete;
  SimSession& operator=(const SimSession&) = delete;

  // Starts a session: steam::InitSteamAPI with the simulator beside the
  // test program. Returns its verdict.
  bool Start();

  // The journal lines written so far.
  std::vector<std::string> Journal() const;
  // Journal lines that begin with `prefix`.
  std::vector<std::string> JournalLines(const std::string& prefix) const;

 private:
  ScratchFolder folder_;
  std::string journal_;
};

#endif  // MODPUBLISH_TESTS_SUPPORT_SIM_SESSION_H_
