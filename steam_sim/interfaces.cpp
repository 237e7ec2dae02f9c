#include "steam_sim/interfaces.h"

#include <array>
#include <cstddef>
#include <utility>

namespace steam_sim {

namespace {

// The slot functions. Each takes the interface object first, as a call
// through the table passes it; the object carries no state of its own.

uint32_t GetAppID(void* /*self*/) { return TheSession().GetAppID(); }

uint64_t CreateItem(void* /*self*/, uint32_t app, int32_t fileType) {
  return TheSession().CreateItem(app, fileType);
}

uint64_t StartItemUpdate(void* /*self*/, uint32_t app, uint64_t item) {
  return TheSession().StartItemUpdate(app, item);
}

bool SetItemTitle(void* /*self*/, uint64_t update, const char* title) {
  return TheSession().SetItemTitle(update, title);
}

bool SetItemDescription(void* /*self*/, uint64_t update, const char* description) {
  return TheSession().SetItemDescription(update, description);
}

bool SetItemUpdateLanguage(void* /*self*/, uint64_t update, const char* language) {
  return TheSession().SetItemUpdateLanguage(update, language);
}

bool SetItemVisibility(void* /*self*/, uint64_t update, int32_t visibility) {
  return TheSession().SetItemVisibility(update, visibility);
}

bool SetItemContent(void* /*self*/, uint64_t update, const char* folder) {
  return TheSession().SetItemContent(update, folder);
}

bool SetItemPreview(void* /*self*/, uint64_t update, const char* file) {
  return TheSession().SetItemPreview(update, file);
}

uint64_t SubmitItemUpdate(void* /*self*/, uint64_t update, const char* changeNote) {
  return TheSession().SubmitItemUpdate(update, changeNote);
}

int32_t GetItemUpdateProgress(void* /*self*/, uint64_t update, uint64_t* bytesProcessed,
                              uint64_t* bytesTotal) {
  return TheSession().GetItemUpdateProgress(update, bytesProcessed, bytesTotal);
}

// Fills every slot the simulator doesn't implement. Whatever the real
// operation's parameters, the caller cleans up its own arguments on x64, so
// ignoring them is safe, and 0 in the return register reads as 0, false or
// null.
template <InterfaceKind kKind, int kSlot>
uint64_t Trap(void* /*self*/) {
  TheSession().Unexpected(kKind == InterfaceKind::kUtils ? "ISteamUtils" : "ISteamUGC", kSlot);
  return 0;
}

template <InterfaceKind kKind, int... kSlots>
std::array<Slot, sizeof...(kSlots)> TrapTable(std::integer_sequence<int, kSlots...> /*slots*/) {
  return {reinterpret_cast<Slot>(&Trap<kKind, kSlots>)...};
}

template <typename Function>
Slot AsSlot(Function* function) {
  return reinterpret_cast<Slot>(function);
}

std::array<Slot, kUtilsSlotCount> MakeUtilsTable() {
  auto table = TrapTable<InterfaceKind::kUtils>(std::make_integer_sequence<int, kUtilsSlotCount>());
  table[kGetAppIDSlot] = AsSlot(&GetAppID);
  return table;
}

std::array<Slot, kUGCSlotCount> MakeUGCTable() {
  auto table = TrapTable<InterfaceKind::kUGC>(std::make_integer_sequence<int, kUGCSlotCount>());
  table[kCreateItemSlot] = AsSlot(&CreateItem);
  table[kStartItemUpdateSlot] = AsSlot(&StartItemUpdate);
  table[kSetItemTitleSlot] = AsSlot(&SetItemTitle);
  table[kSetItemDescriptionSlot] = AsSlot(&SetItemDescription);
  table[kSetItemUpdateLanguageSlot] = AsSlot(&SetItemUpdateLanguage);
  table[kSetItemVisibilitySlot] = AsSlot(&SetItemVisibility);
  table[kSetItemContentSlot] = AsSlot(&SetItemContent);
  table[kSetItemPreviewSlot] = AsSlot(&SetItemPreview);
  table[kSubmitItemUpdateSlot] = AsSlot(&SubmitItemUpdate);
  table[kGetItemUpdateProgressSlot] = AsSlot(&GetItemUpdateProgress);
  return table;
}

}  // namespace

void* InterfaceObjectFor(InterfaceKind kind) {
  static const std::array<Slot, kUtilsSlotCount> utilsTable = MakeUtilsTable();
  static const std::array<Slot, kUGCSlotCount> ugcTable = MakeUGCTable();
  static InterfaceObject utils{utilsTable.data()};
  static InterfaceObject ugc{ugcTable.data()};
  switch (kind) {
    case InterfaceKind::kUtils:
      return &utils;
    case InterfaceKind::kUGC:
      return &ugc;
    case InterfaceKind::kNone:
      break;
  }
  return nullptr;
}

}  // namespace steam_sim
