// steam_sim_probe: a second process for the simulator's tests. It loads the
// built library like any program would and prints what it saw on one line.
//   steam_sim_probe init <n>   ContextInit before any init, then n inits:
//                              "before=<calls> results=<r>,... generation=<g>"
//   steam_sim_probe create     creates an item of app 250 and waits for it:
//                              "result=<code> item=<id>"
// The environment (Workshop, scenario, app id) comes from the caller.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "steam_sim/test_support.h"

namespace {

using namespace steam_sim_test;

int contextCalls = 0;
void CountContextCall(void* /*slot*/) { ++contextCalls; }

int Inits(const SimExports& sim, int count) {
  void* context[3] = {reinterpret_cast<void*>(&CountContextCall), nullptr, nullptr};
  sim.contextInit(context);
  std::printf("before=%d results=", contextCalls);
  for (int i = 0; i < count; ++i) {
    std::printf("%s%d", i == 0 ? "" : ",", sim.init(kVersionList, nullptr));
  }
  sim.contextInit(context);
  std::printf(" generation=%llu\n",
              static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(context[1])));
  return 0;
}

int Create(const SimExports& sim) {
  if (sim.init(kVersionList, nullptr) != 0) {
    std::printf("init failed\n");
    return 1;
  }
  void* ugc = sim.findInterface(sim.getHSteamUser(), "STEAMUGC_INTERFACE_VERSION020");
  TestBinding binding = MakeBinding(kCreateItemId);
  sim.registerCallResult(&binding, CallSlot<uint64_t>(ugc, 44, uint32_t{250}, int32_t{0}));
  for (int i = 0; i < 10 && RunLog().empty(); ++i) {
    sim.runCallbacks();
  }
  if (RunLog().empty()) {
    std::printf("no result\n");
    return 1;
  }
  const std::vector<unsigned char>& record = RunLog().back().record;
  std::printf("result=%d item=%llu\n", Int32At(record, 0),
              static_cast<unsigned long long>(Uint64At(record, kCreateItemOffset)));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  SimExports sim;
  std::string error;
  if (!LoadSim(&sim, &error)) {
    std::fprintf(stderr, "steam_sim_probe: %s\n", error.c_str());
    return 2;
  }
  if (argc == 3 && std::strcmp(argv[1], "init") == 0) {
    return Inits(sim, std::atoi(argv[2]));
  }
  if (argc == 2 && std::strcmp(argv[1], "create") == 0) {
    return Create(sim);
  }
  std::fprintf(stderr, "usage: steam_sim_probe init <n> | create\n");
  return 2;
}
