// Result callbacks: the function pair every asynchronous operation takes, and the callback object
// its object form takes instead.
//
// `RtcResultCallback<Rsp...>` is one template for every object form:
//   RtcResultCallback<>          OnSuccess() takes nothing (JoinRtc, LeaveRtc, ApplyLinkMic, ...)
//   RtcResultCallback<SomeRsp>   OnSuccess(const SomeRsp&) receives the response record
// Slots, in order: destructor, OnSuccess, OnFailure. The host implements it; the module calls it
// on whatever thread the result arrives (the calling host thread for an immediate refusal, an
// engine thread for an adaptor's answer, the room or live manager's or the media engine's thread
// for theirs), at most once per operation and never both methods, and keeps its own strong
// reference until then. Some paths never call back (see vanta/meta/i_rtc_service.h). The
// functions and methods must not block and must not throw: they run on threads the host does
// not own.
#pragma once

#include <functional>
#include <memory>

#include "vanta/meta/nexo_error_fwd.h"

namespace vanta {
namespace meta {

template <class... Rsp>
class RtcResultCallback {
  static_assert(sizeof...(Rsp) <= 1, "OnSuccess takes nothing or one response record");

 public:
  virtual ~RtcResultCallback() = default;
  virtual void OnSuccess(const Rsp&... rsp) = 0;
  virtual void OnFailure(const NexoError& error) = 0;
};

template <class... Rsp>
using RtcResultCallbackPtr = std::shared_ptr<RtcResultCallback<Rsp...>>;

// Function forms: RtcSuccessFunc<> is std::function<void()>.
template <class... Rsp>
using RtcSuccessFunc = std::function<void(const Rsp&...)>;
using RtcFailureFunc = std::function<void(const NexoError&)>;

}  // namespace meta
}  // namespace vanta
