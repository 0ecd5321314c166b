// Turns a host callback object into the success and failure functions the function forms take.
// Each function holds its own strong reference to the object, so the object lives until the
// operation has answered.
#pragma once

#include <functional>
#include <memory>

#include "vanta/meta/rtc_result_callback.h"
#include "vanta/nexo/nexo_error.h"

namespace vanta {
namespace common {

// False, and nothing set, when `callback` is empty.
template <typename... Rsp>
bool AdaptResultCallback(const std::shared_ptr<meta::RtcResultCallback<Rsp...>>& callback,
                         std::function<void(const Rsp&...)>* on_success,
                         std::function<void(const nexo::NexoError&)>* on_failure) {
  if (!callback) return false;
  *on_success = [callback](const Rsp&... rsp) { callback->OnSuccess(rsp...); };
  *on_failure = [callback](const nexo::NexoError& error) { callback->OnFailure(error); };
  return true;
}

}  // namespace common
}  // namespace vanta
