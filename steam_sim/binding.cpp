#include "steam_sim/binding.h"

#include <cstring>

namespace steam_sim {

namespace {

// The binding's table. Read with memcpy: the object is the caller's and its
// declared type is unknown here.
const Slot* Table(const void* binding) {
  const Slot* table = nullptr;
  std::memcpy(&table, binding, sizeof table);
  return table;
}

}  // namespace

int32_t BindingCallbackId(const void* binding) {
  int32_t id = 0;
  std::memcpy(&id, static_cast<const unsigned char*>(binding) + kBindingIdOffset, sizeof id);
  return id;
}

int BindingCallbackSizeBytes(void* binding) {
  const auto getSize =
      reinterpret_cast<GetCallbackSizeBytesFunction>(Table(binding)[kGetCallbackSizeBytesSlot]);
  return getSize(binding);
}

void SetBindingRegistered(void* binding, bool registered) {
  unsigned char* flags = static_cast<unsigned char*>(binding) + kBindingFlagsOffset;
  if (registered) {
    *flags = static_cast<unsigned char>(*flags | kBindingRegisteredFlag);
  } else {
    *flags = static_cast<unsigned char>(*flags & ~kBindingRegisteredFlag);
  }
}

void RunBinding(void* binding, void* record, bool ioFailure, SteamAPICall call) {
  const auto run = reinterpret_cast<RunWithCallFunction>(Table(binding)[kRunWithCallSlot]);
  run(binding, record, ioFailure, call);
}

}  // namespace steam_sim
