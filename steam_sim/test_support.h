// The test side of the library's binary boundary, written from the binary
// facts alone, independently of the library's own abi.h, so that a layout
// mistake in either shows up as a failing test instead of agreeing with
// itself: loading the built library, calling interface slots, and a
// hand-built call-result binding that logs what it receives.
#ifndef MODPUBLISH_STEAM_SIM_TEST_SUPPORT_H_
#define MODPUBLISH_STEAM_SIM_TEST_SUPPORT_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace steam_sim_test {

// Which table slot holds the three-argument Run, and where the creation
// record's fields are: Windows callers are laid out as MSVC does it and
// pack records to 8, Linux callers pack them to 4.
#if defined(_WIN32)
constexpr int kRunSlot = 0;
constexpr size_t kCreateRecordSize = 24;
constexpr size_t kCreateItemOffset = 8;
constexpr size_t kCreateLegalOffset = 16;
#else
constexpr int kRunSlot = 1;
constexpr size_t kCreateRecordSize = 16;
constexpr size_t kCreateItemOffset = 4;
constexpr size_t kCreateLegalOffset = 12;
#endif
constexpr int kOtherRunSlot = 1 - kRunSlot;
// The submission record is the same on both.
constexpr size_t kSubmitRecordSize = 16;
constexpr size_t kSubmitLegalOffset = 4;
constexpr size_t kSubmitItemOffset = 8;
constexpr int32_t kCreateItemId = 3403;
constexpr int32_t kSubmitItemId = 3404;

// The version list the tool passes, cut to the two names the library needs.
constexpr char kVersionList[] = "SteamUtils010\0STEAMUGC_INTERFACE_VERSION020\0";

// The library's exports, found by name.
struct SimExports {
  int (*init)(const char* versionList, char* errMsg) = nullptr;
  void* (*contextInit)(void* context) = nullptr;
  void* (*findInterface)(int32_t user, const char* version) = nullptr;
  int32_t (*getHSteamUser)() = nullptr;
  void (*registerCallResult)(void* binding, uint64_t call) = nullptr;
  void (*unregisterCallResult)(void* binding, uint64_t call) = nullptr;
  void (*runCallbacks)() = nullptr;
};

// Loads the built library (once per process). Returns false, with `error`
// set, when the library or one of its exports is missing.
bool LoadSim(SimExports* exports, std::string* error);

using TestSlot = void (*)();

// Calls slot `slot` of an interface object as a plain function whose first
// argument is the object.
template <typename Result, typename... Args>
Result CallSlot(void* object, int slot, Args... args) {
  const TestSlot* table = nullptr;
  std::memcpy(&table, object, sizeof table);
  return reinterpret_cast<Result (*)(void*, Args...)>(table[slot])(object, args...);
}

// A call-result binding exactly as the library sees one.
struct TestBinding {
  const TestSlot* table;
  uint8_t flags;
  uint8_t padding[3];
  int32_t callbackId;
};
static_assert(sizeof(TestBinding) == 16, "");
static_assert(offsetof(TestBinding, flags) == 8, "");
static_assert(offsetof(TestBinding, callbackId) == 12, "");

// A binding for records of callback `id` (kCreateItemId or kSubmitItemId);
// its GetCallbackSizeBytes answers that record's size.
TestBinding MakeBinding(int32_t id);

// One call of a binding's table, as the binding saw it.
struct RunRecord {
  const TestBinding* binding = nullptr;
  int slot = 0;                       // which Run slot was called
  std::vector<unsigned char> record;  // the record's bytes, its full size
  bool ioFailure = false;
  uint64_t call = 0;
};

// Every Run of every test binding, in order. Tests clear it.
std::vector<RunRecord>& RunLog();

// Called after a Run is logged, so a test can act from inside a delivery as
// the tool does (submit the update from the creation's result, say).
std::function<void(const RunRecord&)>& OnRun();

// Reads fields of a record at literal offsets.
int32_t Int32At(const std::vector<unsigned char>& bytes, size_t offset);
uint64_t Uint64At(const std::vector<unsigned char>& bytes, size_t offset);

}  // namespace steam_sim_test

#endif  // MODPUBLISH_STEAM_SIM_TEST_SUPPORT_H_
