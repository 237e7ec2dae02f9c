#include <utility>

#include "steam_sim/session.h"

namespace steam_sim {

SteamAPICall Session::CreateItem(AppId app, int32_t fileType) {
  const uint64_t number = CountCall(Operation::kCreateItem);
  SteamAPICall handle = kInvalidCall;
  if (state_.running && !state_.scenario.Fails(Operation::kCreateItem, number)) {
    PendingCall call;
    call.kind = CallKind::kCreateItem;
    call.app = app;
    call.fileType = fileType;
    const std::vector<uint64_t>& ids = state_.scenario.itemIds;
    if (state_.createdItems < ids.size()) {
      call.itemId = ids[state_.createdItems];
    }
    ++state_.createdItems;
    handle = Schedule(std::move(call));
  }
  journal_.Write([&] {
    return "CreateItem app=" + Number(uint64_t{app}) + " type=" + Number(int64_t{fileType}) +
           " -> " + Number(handle);
  });
  return handle;
}

UGCUpdateHandle Session::StartItemUpdate(AppId app, PublishedFileId item) {
  const uint64_t number = CountCall(Operation::kStartItemUpdate);
  UGCUpdateHandle handle = kInvalidUpdateHandle;
  if (state_.running && !state_.scenario.Fails(Operation::kStartItemUpdate, number)) {
    // Any item id gets a handle: the service judges the item at submission.
    handle = state_.updateHandles.Next();
    ItemUpdate& update = state_.updates[handle];
    update = ItemUpdate();
    update.app = app;
    update.item = item;
  }
  journal_.Write([&] {
    return "StartItemUpdate app=" + Number(uint64_t{app}) + " item=" + Number(item) + " -> " +
           Number(handle);
  });
  return handle;
}

bool Session::SetItemTitle(UGCUpdateHandle update, const char* title) {
  return RecordText(Operation::kSetItemTitle, "title", update, title,
                    [](ItemUpdate* u, std::string text) { u->title = std::move(text); });
}

bool Session::SetItemDescription(UGCUpdateHandle update, const char* description) {
  return RecordText(Operation::kSetItemDescription, "description", update, description,
                    [](ItemUpdate* u, std::string text) { u->description = std::move(text); });
}

bool Session::SetItemUpdateLanguage(UGCUpdateHandle update, const char* language) {
  return RecordText(Operation::kSetItemUpdateLanguage, "language", update, language,
                    [](ItemUpdate* u, std::string text) { u->language = std::move(text); });
}

bool Session::SetItemVisibility(UGCUpdateHandle update, int32_t visibility) {
  return RecordSetting(
      Operation::kSetItemVisibility, update,
      [visibility] { return "visibility=" + Number(int64_t{visibility}); },
      [visibility](ItemUpdate* u) { u->visibility = visibility; });
}

bool Session::SetItemContent(UGCUpdateHandle update, const char* folder) {
  return RecordText(Operation::kSetItemContent, "folder", update, folder,
                    [](ItemUpdate* u, std::string text) { u->contentFolder = std::move(text); });
}

bool Session::SetItemPreview(UGCUpdateHandle update, const char* file) {
  return RecordText(Operation::kSetItemPreview, "file", update, file,
                    [](ItemUpdate* u, std::string text) { u->previewFile = std::move(text); });
}

SteamAPICall Session::SubmitItemUpdate(UGCUpdateHandle update, const char* changeNote) {
  const uint64_t number = CountCall(Operation::kSubmitItemUpdate);
  SteamAPICall handle = kInvalidCall;
  auto found = state_.updates.find(update);
  if (state_.running && found != state_.updates.end() &&
      !state_.scenario.Fails(Operation::kSubmitItemUpdate, number)) {
    PendingCall call;
    call.kind = CallKind::kSubmitItemUpdate;
    call.update = std::move(found->second);
    call.update.changeNote = changeNote == nullptr ? "" : changeNote;
    call.updateHandle = update;
    // The Steam client reads what it uploads once submitted; a slow upload
    // then takes as long as these bytes need.
    call.contentBytes = call.update.contentFolder ? UploadBytes(*call.update.contentFolder) : 0;
    call.previewBytes = call.update.previewFile ? UploadBytes(*call.update.previewFile) : 0;
    call.submittedAt = std::chrono::steady_clock::now();
    // A submitted update is spent: later setters on its handle fail.
    state_.updates.erase(found);
    handle = Schedule(std::move(call));
  }
  journal_.Write([&] {
    return "SubmitItemUpdate update=" + Number(update) + " note=" + QuoteOrNull(changeNote) +
           " -> " + Number(handle);
  });
  return handle;
}

int32_t Session::GetItemUpdateProgress(UGCUpdateHandle update, uint64_t* bytesProcessed,
                                       uint64_t* bytesTotal) {
  int32_t status = kUpdateStatusInvalid;
  uint64_t processed = 0;
  uint64_t total = 0;
  for (const PendingCall& call : state_.pending) {
    if (call.kind != CallKind::kSubmitItemUpdate || call.updateHandle != update) {
      continue;
    }
    // The content goes up first, then the preview; what is left is the
    // commit, until the result is delivered.
    const uint64_t sent = BytesSent(call, std::chrono::steady_clock::now());
    status = kUpdateStatusCommittingChanges;
    if (sent < call.contentBytes) {
      status = kUpdateStatusUploadingContent;
      processed = sent;
      total = call.contentBytes;
    } else if (sent - call.contentBytes < call.previewBytes) {
      status = kUpdateStatusUploadingPreviewFile;
      processed = sent - call.contentBytes;
      total = call.previewBytes;
    }
    break;
  }
  if (bytesProcessed != nullptr) {
    *bytesProcessed = processed;
  }
  if (bytesTotal != nullptr) {
    *bytesTotal = total;
  }
  journal_.Write([&] {
    return "GetItemUpdateProgress update=" + Number(update) + " -> " + Number(int64_t{status}) +
           " processed=" + Number(processed) + " total=" + Number(total);
  });
  return status;
}

bool Session::RecordSetting(Operation operation, UGCUpdateHandle update,
                            const std::function<std::string()>& argument,
                            const std::function<void(ItemUpdate*)>& apply) {
  const uint64_t number = CountCall(operation);
  auto found = state_.updates.find(update);
  const bool ok =
      state_.running && found != state_.updates.end() && !state_.scenario.Fails(operation, number);
  if (ok) {
    apply(&found->second);
  }
  journal_.Write([&] {
    return std::string(OperationName(operation)) + " update=" + Number(update) + " " + argument() +
           " -> " + Bool(ok);
  });
  return ok;
}

bool Session::RecordText(Operation operation, const char* field, UGCUpdateHandle update,
                         const char* value,
                         const std::function<void(ItemUpdate*, std::string)>& store) {
  // A null string can't be recorded; the call is counted and answered false
  // like any other rejected call.
  if (value == nullptr) {
    CountCall(operation);
    journal_.Write([&] {
      return std::string(OperationName(operation)) + " update=" + Number(update) + " " + field +
             "=null -> false";
    });
    return false;
  }
  return RecordSetting(
      operation, update, [&] { return std::string(field) + "=" + Quote(value); },
      [&](ItemUpdate* u) { store(u, value); });
}

}  // namespace steam_sim
