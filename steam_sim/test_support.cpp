#include "steam_sim/test_support.h"

#include "steam_sim/test_platform.h"

namespace steam_sim_test {

namespace {

template <typename Function>
bool Find(void* library, const char* name, Function* function, std::string* error) {
  void* address = library == nullptr ? nullptr : FindExport(library, name);
  if (address == nullptr) {
    *error += std::string(error->empty() ? "" : ", ") + "no export " + name;
    return false;
  }
  *function = reinterpret_cast<Function>(address);
  return true;
}

void Log(const TestBinding* binding, int slot, const void* record, bool ioFailure, uint64_t call) {
  RunRecord entry;
  entry.binding = binding;
  entry.slot = slot;
  const size_t size = binding->callbackId == kCreateItemId ? kCreateRecordSize : kSubmitRecordSize;
  const auto* bytes = static_cast<const unsigned char*>(record);
  entry.record.assign(bytes, bytes + size);
  entry.ioFailure = ioFailure;
  entry.call = call;
  RunLog().push_back(entry);
  if (OnRun()) {
    OnRun()(RunLog().back());
  }
}

void RunWithCall(TestBinding* self, void* record, bool ioFailure, uint64_t call) {
  Log(self, kRunSlot, record, ioFailure, call);
}

// The library must never call the one-argument Run for a call result; the
// log shows it if it does.
void RunWithoutCall(TestBinding* self, void* record) { Log(self, kOtherRunSlot, record, false, 0); }

int GetCallbackSizeBytes(TestBinding* self) {
  return static_cast<int>(self->callbackId == kCreateItemId ? kCreateRecordSize
                                                            : kSubmitRecordSize);
}

const TestSlot* BindingTable() {
  static TestSlot table[3];
  table[kRunSlot] = reinterpret_cast<TestSlot>(&RunWithCall);
  table[kOtherRunSlot] = reinterpret_cast<TestSlot>(&RunWithoutCall);
  table[2] = reinterpret_cast<TestSlot>(&GetCallbackSizeBytes);
  return table;
}

}  // namespace

bool LoadSim(SimExports* exports, std::string* error) {
  static void* const library = LoadSharedLibrary(STEAM_SIM_LIBRARY_PATH);
  error->clear();
  if (library == nullptr) {
    *error = std::string("cannot load ") + STEAM_SIM_LIBRARY_PATH;
    return false;
  }
  bool found = Find(library, "SteamInternal_SteamAPI_Init", &exports->init, error);
  found &= Find(library, "SteamInternal_ContextInit", &exports->contextInit, error);
  found &= Find(library, "SteamInternal_FindOrCreateUserInterface", &exports->findInterface, error);
  found &= Find(library, "SteamAPI_GetHSteamUser", &exports->getHSteamUser, error);
  found &= Find(library, "SteamAPI_RegisterCallResult", &exports->registerCallResult, error);
  found &= Find(library, "SteamAPI_UnregisterCallResult", &exports->unregisterCallResult, error);
  found &= Find(library, "SteamAPI_RunCallbacks", &exports->runCallbacks, error);
  return found;
}

TestBinding MakeBinding(int32_t id) {
  TestBinding binding{};
  binding.table = BindingTable();
  binding.callbackId = id;
  return binding;
}

std::vector<RunRecord>& RunLog() {
  static std::vector<RunRecord> log;
  return log;
}

std::function<void(const RunRecord&)>& OnRun() {
  static std::function<void(const RunRecord&)> hook;
  return hook;
}

int32_t Int32At(const std::vector<unsigned char>& bytes, size_t offset) {
  int32_t value = 0;
  std::memcpy(&value, bytes.data() + offset, sizeof value);
  return value;
}

uint64_t Uint64At(const std::vector<unsigned char>& bytes, size_t offset) {
  uint64_t value = 0;
  std::memcpy(&value, bytes.data() + offset, sizeof value);
  return value;
}

}  // namespace steam_sim_test
