// The per-account client of the RTC adaptor.
//
// Each operation turns a request record into the adaptor's request, sends it through the
// account's request sender and delivers the answer as a response record, or the failure as a
// NexoError. Callbacks run once, on the engine thread that delivered the answer; they must not
// block. Either callback may be empty. When the account has no sender (never created, or
// released) the request is dropped and no callback runs. A manager that is destroyed before its
// answer arrives drops the answer.
//
// Slot order is part of the contract: slot 0 destructor, then for the operation in row k of
// VANTA_RTC_OPERATIONS the function form in slot 2k+1 and the callback-object form in 2k+2.
#pragma once

#include <functional>
#include <memory>

#include "vanta/meta/rtc_result_callback.h"
#include "vanta/rtc/rtc_records.h"

namespace vanta {
namespace rtc {

using NexoError = ::vanta::meta::NexoError;

class RtcManager {
 public:
  virtual ~RtcManager() = default;

#define VANTA_RTC_MANAGER_SLOTS(Op, REQ, RSP, uri, failure, missing)                         \
  virtual void Op(const Op##Req& req, const std::function<void(const Op##Rsp&)>& on_success, \
                  const std::function<void(const NexoError&)>& on_failure) = 0;              \
  virtual void Op(const Op##Req& req,                                                        \
                  const std::shared_ptr<::vanta::meta::RtcResultCallback<Op##Rsp>>& callback) = 0;
  VANTA_RTC_OPERATIONS(VANTA_RTC_MANAGER_SLOTS)
#undef VANTA_RTC_MANAGER_SLOTS
};

}  // namespace rtc
}  // namespace vanta
