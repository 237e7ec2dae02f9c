// Prints the table slot through which each interface operation is called,
// one line per operation: "<side> <interface> <operation> <slot>".
//
//   tool       the tool's own member functions (workshop/steam_api.h), called
//              on an object whose table records which slot was used, so the
//              answer is what the tool really does, not a copy of a number;
//   simulator  the slots the simulated library serves each operation at.
//
// tests/real_library/real_client_library.py compares both with the slots
// the real client library uses.
#include <array>
#include <cstdint>
#include <cstdio>
#include <utility>

#include "steam_sim/abi.h"
#include "workshop/steam_api.h"

namespace {

using Function = void (*)();

// Larger than either real table, so no slot the tool could use is missing.
constexpr int kTableSize = 256;

int calledSlot = -1;

// Called as any slot function is: the object first, then the operation's
// arguments, which it ignores. Zero suits every result type used here.
template <int kSlot>
uint64_t Record() {
  calledSlot = kSlot;
  return 0;
}

template <int... kSlots>
std::array<Function, sizeof...(kSlots)> RecordingTable(
    std::integer_sequence<int, kSlots...> /*slots*/) {
  return {reinterpret_cast<Function>(&Record<kSlots>)...};
}

// What an interface object of the library is: its table pointer.
struct RecordingObject {
  const Function* table;
};

template <typename Call>
int SlotOf(Call call) {
  calledSlot = -1;
  call();
  return calledSlot;
}

void Print(const char* side, const char* interfaceName, const char* operation, int slot) {
  std::printf("%s %s %s %d\n", side, interfaceName, operation, slot);
}

}  // namespace

int main() {
  static const std::array<Function, kTableSize> table =
      RecordingTable(std::make_integer_sequence<int, kTableSize>());
  RecordingObject object{table.data()};
  auto* utils = reinterpret_cast<ISteamUtils*>(&object);
  auto* ugc = reinterpret_cast<ISteamUGC*>(&object);
  const char* text = "";

  Print("tool", "ISteamUtils", "GetAppID", SlotOf([&] { utils->GetAppID(); }));
  Print("tool", "ISteamUGC", "CreateItem", SlotOf([&] { ugc->CreateItem(0, 0); }));
  Print("tool", "ISteamUGC", "StartItemUpdate", SlotOf([&] { ugc->StartItemUpdate(0, 0); }));
  Print("tool", "ISteamUGC", "SetItemTitle", SlotOf([&] { ugc->SetItemTitle(0, text); }));
  Print("tool", "ISteamUGC", "SetItemDescription",
        SlotOf([&] { ugc->SetItemDescription(0, text); }));
  Print("tool", "ISteamUGC", "SetItemUpdateLanguage",
        SlotOf([&] { ugc->SetItemUpdateLanguage(0, text); }));
  Print("tool", "ISteamUGC", "SetItemVisibility", SlotOf([&] { ugc->SetItemVisibility(0, 0); }));
  Print("tool", "ISteamUGC", "SetItemContent", SlotOf([&] { ugc->SetItemContent(0, text); }));
  Print("tool", "ISteamUGC", "SetItemPreview", SlotOf([&] { ugc->SetItemPreview(0, text); }));
  Print("tool", "ISteamUGC", "SubmitItemUpdate", SlotOf([&] { ugc->SubmitItemUpdate(0, text); }));
  Print("tool", "ISteamUGC", "GetItemUpdateProgress",
        SlotOf([&] { ugc->GetItemUpdateProgress(0, nullptr, nullptr); }));

  Print("simulator", "ISteamUtils", "GetAppID", steam_sim::kGetAppIDSlot);
  Print("simulator", "ISteamUGC", "CreateItem", steam_sim::kCreateItemSlot);
  Print("simulator", "ISteamUGC", "StartItemUpdate", steam_sim::kStartItemUpdateSlot);
  Print("simulator", "ISteamUGC", "SetItemTitle", steam_sim::kSetItemTitleSlot);
  Print("simulator", "ISteamUGC", "SetItemDescription", steam_sim::kSetItemDescriptionSlot);
  Print("simulator", "ISteamUGC", "SetItemUpdateLanguage", steam_sim::kSetItemUpdateLanguageSlot);
  Print("simulator", "ISteamUGC", "SetItemVisibility", steam_sim::kSetItemVisibilitySlot);
  Print("simulator", "ISteamUGC", "SetItemContent", steam_sim::kSetItemContentSlot);
  Print("simulator", "ISteamUGC", "SetItemPreview", steam_sim::kSetItemPreviewSlot);
  Print("simulator", "ISteamUGC", "SubmitItemUpdate", steam_sim::kSubmitItemUpdateSlot);
  Print("simulator", "ISteamUGC", "GetItemUpdateProgress", steam_sim::kGetItemUpdateProgressSlot);
  return 0;
}
