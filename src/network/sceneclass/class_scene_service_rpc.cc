#include "network/sceneclass/class_scene_service_rpc.h"

#include <utility>

#include "network/common/idl_sender.h"

namespace vanta {
namespace sceneclass {
namespace {
constexpr char kLogFile[] = "src/network/sceneclass/class_scene_service_rpc";
}  // namespace

#define CLASS_SCENE_SENDER_OPERATION(Op, REQ, RSP, uri, failure)                                   \
  void ClassSceneServiceRpc::Op(const ::classScene::Op##ReqModel& request,                         \
                                std::function<void(const ::classScene::Op##RspModel&)> on_success, \
                                FailureCallback on_failure) {                                      \
    network::SendIdlRequest<::classScene::Op##RspModel>(                                           \
        GetUserKey(), "/r/Adaptor/ClassScene/" uri, request, std::move(on_success),                \
        std::move(on_failure), kLogFile);                                                          \
  }
VANTA_SCENECLASS_OPERATIONS(CLASS_SCENE_SENDER_OPERATION)
#undef CLASS_SCENE_SENDER_OPERATION

}  // namespace sceneclass
}  // namespace vanta
