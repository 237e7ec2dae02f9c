// Binds one pending asynchronous Steam call to a member function of its
// receiver. The client library calls the binding from inside
// steam::RunCallbacks when the call completes.
#ifndef MODPUBLISH_WORKSHOP_CALL_RESULT_H_
#define MODPUBLISH_WORKSHOP_CALL_RESULT_H_

#include "workshop/steam_api.h"

// `T` is the result record (CreateItemResult_t or SubmitItemUpdateResult_t);
// `Target` the class whose handler receives it. A binding is idle (no call)
// or pending (one call, registered with the library). `target_` and `handler_`
// stay set after the call is answered.
template <class Target, class T>
class CCallResult : private CCallbackBase {
 public:
  using Handler = void (Target::*)(T* result, bool ioFailure);

  CCallResult() : CCallbackBase(T::k_iCallback) {}

  // A binding that still waits for its call unregisters it: the library must
  // never call into a destroyed object.
  ~CCallResult() {
    if (pendingCall_ != 0) {
      steam::UnregisterCallResult(this, pendingCall_);
      pendingCall_ = 0;
    }
  }

  // Waits for `call` from now on, to hand its result to `newHandler` on
  // `newTarget`. A call still pending is unregistered first. A zero handle
  // stores the receiver but registers nothing: the binding stays idle.
  void Set(SteamAPICall_t call, Target* newTarget, Handler newHandler) {
    if (pendingCall_ != 0) {
      steam::UnregisterCallResult(this, pendingCall_);
    }
    pendingCall_ = call;
    target_ = newTarget;
    handler_ = newHandler;
    if (call != 0) {
      steam::RegisterCallResult(this, call);
    }
  }

  // The handle of the call being waited for; 0 when idle.
  SteamAPICall_t PendingCall() const { return pendingCall_; }

  // The library's entry for a completed call: a completion for any other
  // handle than the pending one is not ours and changes nothing, and an idle
  // binding has nothing to complete.
  void Run(void* record, bool ioFailure, SteamAPICall_t call) override {
    if (call != pendingCall_ || pendingCall_ == 0) {
      return;
    }
    pendingCall_ = 0;  // before the handler, which may Set a new call
    Deliver(record, ioFailure);
  }

  void Run(void* record) override {
    pendingCall_ = 0;
    Deliver(record, false);
  }

  int GetCallbackSizeBytes() override { return static_cast<int>(sizeof(T)); }

 private:
  void Deliver(void* record, bool ioFailure) {
    if (target_ != nullptr && handler_ != nullptr) {
      (target_->*handler_)(static_cast<T*>(record), ioFailure);
    }
  }

  SteamAPICall_t pendingCall_ = 0;
  Target* target_ = nullptr;
  Handler handler_ = nullptr;
};

#endif  // MODPUBLISH_WORKSHOP_CALL_RESULT_H_
