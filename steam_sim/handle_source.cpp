#include "steam_sim/handle_source.h"

#include <utility>

namespace steam_sim {

HandleSource::HandleSource(uint64_t first, uint64_t invalid)
    : first_(first), invalid_(invalid), counter_(first) {}

void HandleSource::Reset(std::vector<uint64_t> listed) {
  counter_ = first_;
  listed_ = std::move(listed);
  nextListed_ = 0;
  issued_.clear();
}

uint64_t HandleSource::Next() {
  uint64_t handle = 0;
  if (nextListed_ < listed_.size()) {
    handle = listed_[nextListed_++];
  } else {
    do {
      handle = counter_++;
    } while (handle == invalid_ || issued_.count(handle) != 0);
  }
  issued_.insert(handle);
  return handle;
}

}  // namespace steam_sim
