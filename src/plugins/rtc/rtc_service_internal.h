// Helpers shared by the service's source files.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "common/callback_adapter.h"
#include "common/log_message.h"

namespace vanta {
namespace meta {

// Every line of the service carries this source tag, whichever file writes it.
inline constexpr char kServiceLogFile[] = "src/plugins/rtc/rtc_service";
#define SVC_LOG(severity) RTC_LOG(severity, ::vanta::meta::kServiceLogFile)

using ReportParams = std::map<std::string, std::string>;

// One monitoring report, through the module fetched anew for it.
void SendReport(int32_t event_id, const ReportParams& params, int64_t code,
                const std::string& message);

// Calls a host function only when it is set: hosts are asked for non-empty functions, and an
// empty one is skipped rather than thrown on.
template <typename Fn, typename... Args>
void Invoke(const Fn& fn, Args&&... args) {
  if (fn) fn(std::forward<Args>(args)...);
}

// An object form: adapt the callback object and run the function form, or do nothing at all
// when the object is empty.
template <typename... Rsp, typename FunctionForm>
void WithCallbackObject(const std::shared_ptr<RtcResultCallback<Rsp...>>& callback,
                        FunctionForm&& function_form) {
  std::function<void(const Rsp&...)> on_success;
  std::function<void(const nexo::NexoError&)> on_failure;
  if (common::AdaptResultCallback(callback, &on_success, &on_failure)) {
    function_form(on_success, on_failure);
  }
}

}  // namespace meta
}  // namespace vanta
