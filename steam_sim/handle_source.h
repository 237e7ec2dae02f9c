// Where a session's handles come from: the call handles of CreateItem and
// SubmitItemUpdate, and the update handles of StartItemUpdate.
#ifndef MODPUBLISH_STEAM_SIM_HANDLE_SOURCE_H_
#define MODPUBLISH_STEAM_SIM_HANDLE_SOURCE_H_

#include <cstddef>
#include <cstdint>
#include <set>
#include <vector>

namespace steam_sim {

// Hands out handles: first the ones a scenario lists, in order, then its
// own count upwards from `first`, skipping `invalid` and every handle
// already handed out since the last Reset.
class HandleSource {
 public:
  HandleSource(uint64_t first, uint64_t invalid);
  // Starts over with `listed` to hand out first.
  void Reset(std::vector<uint64_t> listed);
  uint64_t Next();

 private:
  uint64_t first_;
  uint64_t invalid_;
  uint64_t counter_;
  std::vector<uint64_t> listed_;
  size_t nextListed_ = 0;
  std::set<uint64_t> issued_;
};

}  // namespace steam_sim

#endif  // MODPUBLISH_STEAM_SIM_HANDLE_SOURCE_H_
