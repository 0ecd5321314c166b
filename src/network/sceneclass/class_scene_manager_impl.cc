#include "network/sceneclass/class_scene_manager_impl.h"

#include "network/common/manager_calls.h"
#include "network/sceneclass/class_scene_service_rpc.h"

namespace vanta {
namespace sceneclass {
namespace {
// Unlike the RTC client, a missing sender and an empty callback object are both silent.
constexpr network::ManagerPolicy kPolicy{"src/network/sceneclass/class_scene_manager_impl", false};
}  // namespace

#define CLASS_SCENE_MANAGER_OPERATION(Op, REQ, RSP, uri, failure)                                 \
  void ClassSceneManagerImpl::Op(const Op##Req& req,                                              \
                                 const std::function<void(const Op##Rsp&)>& on_success,           \
                                 const std::function<void(const NexoError&)>& on_failure) {       \
    network::CallThroughSender<ClassSceneServiceRpc>(                                             \
        this, kPolicy, failure, nullptr, req, on_success, on_failure, &ClassSceneServiceRpc::Op); \
  }                                                                                               \
  void ClassSceneManagerImpl::Op(                                                                 \
      const Op##Req& req,                                                                         \
      const std::shared_ptr<::vanta::meta::RtcResultCallback<Op##Rsp>>& callback) {               \
    std::function<void(const Op##Rsp&)> on_success;                                               \
    std::function<void(const NexoError&)> on_failure;                                             \
    if (network::AdaptCallbackObject(kPolicy, callback, &on_success, &on_failure)) {              \
      ClassSceneManagerImpl::Op(req, on_success, on_failure);                                     \
    }                                                                                             \
  }
VANTA_SCENECLASS_OPERATIONS(CLASS_SCENE_MANAGER_OPERATION)
#undef CLASS_SCENE_MANAGER_OPERATION

}  // namespace sceneclass
}  // namespace vanta
