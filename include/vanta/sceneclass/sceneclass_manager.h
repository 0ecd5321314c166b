// The per-account client of the class-scene adaptor.
//
// Same contract as vanta::rtc::RtcManager, with two differences hosts may notice: a request for
// an account without a sender is dropped silently, and an empty callback object is ignored
// silently. Slot order: slot 0 destructor, then for the operation in row k of
// VANTA_SCENECLASS_OPERATIONS the function form in slot 2k+1 and the callback-object form in 2k+2.
#pragma once

#include <functional>
#include <memory>

#include "vanta/meta/rtc_result_callback.h"
#include "vanta/sceneclass/class_scene_records.h"

namespace vanta {
namespace sceneclass {

using NexoError = ::vanta::meta::NexoError;

class SceneclassManager {
 public:
  virtual ~SceneclassManager() = default;

#define VANTA_SCENECLASS_MANAGER_SLOTS(Op, REQ, RSP, uri, failure)                           \
  virtual void Op(const Op##Req& req, const std::function<void(const Op##Rsp&)>& on_success, \
                  const std::function<void(const NexoError&)>& on_failure) = 0;              \
  virtual void Op(const Op##Req& req,                                                        \
                  const std::shared_ptr<::vanta::meta::RtcResultCallback<Op##Rsp>>& callback) = 0;
  VANTA_SCENECLASS_OPERATIONS(VANTA_SCENECLASS_MANAGER_SLOTS)
#undef VANTA_SCENECLASS_MANAGER_SLOTS
};

}  // namespace sceneclass
}  // namespace vanta
