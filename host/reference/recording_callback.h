// Records the results of the module's asynchronous operations, for both operation forms:
// ResultRecorder hands out a success and a failure function (function forms), and
// RecordingCallback is a callback object (object forms). Results may arrive on any thread.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "reference/call_log.h"
#include "vanta/meta/rtc_result_callback.h"
#include "vanta/nexo/nexo_error.h"

namespace refhost {

template <class... Rsp>
struct Result {
  bool success = false;
  std::tuple<Rsp...> response;   // on success
  vanta::nexo::NexoError error;  // on failure
  std::thread::id thread;        // where it arrived
};

template <class... Rsp>
class ResultRecorder {
 public:
  ResultRecorder() : log_(std::make_shared<CallLog<Result<Rsp...>>>()) {}

  // Each function keeps the record alive on its own, so it may outlive the recorder.
  vanta::meta::RtcSuccessFunc<Rsp...> OnSuccess() const {
    return [log = log_](const Rsp&... rsp) {
      log->Add({true, std::tuple<Rsp...>(rsp...), {}, std::this_thread::get_id()});
    };
  }
  vanta::meta::RtcFailureFunc OnFailure() const {
    return [log = log_](const vanta::nexo::NexoError& error) {
      log->Add({false, {}, error, std::this_thread::get_id()});
    };
  }

  std::vector<Result<Rsp...>> results() const { return log_->Snapshot(); }
  std::size_t count() const { return log_->size(); }
  bool WaitFor(std::size_t count, std::chrono::milliseconds timeout = kDefaultWait) const {
    return log_->WaitForSize(count, timeout);
  }

 private:
  std::shared_ptr<CallLog<Result<Rsp...>>> log_;
};

template <class... Rsp>
class RecordingCallback : public vanta::meta::RtcResultCallback<Rsp...> {
 public:
  void OnSuccess(const Rsp&... rsp) override { recorder_.OnSuccess()(rsp...); }
  void OnFailure(const vanta::nexo::NexoError& error) override { recorder_.OnFailure()(error); }

  std::vector<Result<Rsp...>> results() const { return recorder_.results(); }
  std::size_t count() const { return recorder_.count(); }
  bool WaitFor(std::size_t count, std::chrono::milliseconds timeout = kDefaultWait) const {
    return recorder_.WaitFor(count, timeout);
  }

 private:
  ResultRecorder<Rsp...> recorder_;
};

}  // namespace refhost
