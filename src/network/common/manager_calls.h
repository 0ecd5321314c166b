// The shape every manager operation shares, in both layers.
//
// Function form: find the account's sender (never create it); wrap the caller's callbacks so
// that each holds only a weak reference to the manager ("self is destoryed" and nothing else
// when it is gone), converts the model into the host-facing record or the ErrorResult into a
// NexoError, and logs failures; copy the record into a request model with every field present;
// hand both to the sender. Callback-object form: adapt the object into the two functions, each
// holding a strong reference to it, and run the function form directly.
#pragma once

#include <functional>
#include <memory>
#include <utility>

#include "common/callback_adapter.h"
#include "common/log_message.h"
#include "tessel/base/error_result.h"
#include "tessel/idl/model_macros.h"
#include "vanta/meta/rtc_result_callback.h"
#include "vanta/nexo/nexo_error.h"

namespace vanta {
namespace network {

// What differs between the layers besides names.
struct ManagerPolicy {
  const char* log_file;
  // Whether an empty callback object is logged ("callback in null") or ignored silently.
  bool log_empty_callback;
};

template <typename Record, typename Self>
std::function<void(const typename tessel::idl::RecordBinding<Record>::Model&)> WrapSuccess(
    std::weak_ptr<Self> weak, std::function<void(const Record&)> on_success, const char* log_file) {
  using Model = typename tessel::idl::RecordBinding<Record>::Model;
  return [weak = std::move(weak), on_success = std::move(on_success), log_file](const Model& m) {
    auto self = weak.lock();
    if (!self) {
      RTC_LOG(1, log_file) << "self is destoryed";
      return;
    }
    if (on_success) on_success(tessel::idl::ToRecord(m));
  };
}

template <typename Self>
std::function<void(const tessel::base::ErrorResult&)> WrapFailure(
    std::weak_ptr<Self> weak, std::function<void(const nexo::NexoError&)> on_failure,
    const char* failure_text, const char* log_file) {
  return [weak = std::move(weak), on_failure = std::move(on_failure), failure_text,
          log_file](const tessel::base::ErrorResult& error) {
    auto self = weak.lock();
    if (!self) {
      RTC_LOG(1, log_file) << "self is destoryed";
      return;
    }
    RTC_LOG(3, log_file) << failure_text << " error code: " << error.code()
                         << " reason:" << error.reason();
    if (on_failure) on_failure(nexo::NexoError(error));
  };
}

// The function form. `send` is the sender's member function for the operation;
// `missing_sender_line` is logged at severity 3 when the account has no sender (null: the
// request is dropped silently).
template <typename Sender, typename Self, typename Req, typename Rsp, typename SendFn>
void CallThroughSender(Self* self, const ManagerPolicy& policy, const char* failure_text,
                       const char* missing_sender_line, const Req& req,
                       const std::function<void(const Rsp&)>& on_success,
                       const std::function<void(const nexo::NexoError&)>& on_failure, SendFn send) {
  auto sender = Sender::Find(self->uid);
  if (!sender) {
    if (missing_sender_line != nullptr) RTC_LOG(3, policy.log_file) << missing_sender_line;
    return;
  }
  std::weak_ptr<Self> weak = self->weak_from_this();
  auto success = WrapSuccess<Rsp>(weak, on_success, policy.log_file);
  auto failure = WrapFailure(std::move(weak), on_failure, failure_text, policy.log_file);
  ((*sender).*send)(tessel::idl::ToModel(req), std::move(success), std::move(failure));
}

// Adapts a callback object for the function form. Returns false (after the policy's line) when
// the object is empty: the operation then does nothing.
template <typename Rsp>
bool AdaptCallbackObject(const ManagerPolicy& policy,
                         const std::shared_ptr<meta::RtcResultCallback<Rsp>>& callback,
                         std::function<void(const Rsp&)>* on_success,
                         std::function<void(const nexo::NexoError&)>* on_failure) {
  if (common::AdaptResultCallback(callback, on_success, on_failure)) return true;
  if (policy.log_empty_callback) RTC_LOG(1, policy.log_file) << "callback in null";
  return false;
}

}  // namespace network
}  // namespace vanta
