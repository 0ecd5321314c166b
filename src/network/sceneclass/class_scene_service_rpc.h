// The account's request sender for the class-scene adaptor: one send operation per adaptor
// request, each sending to "/r/Adaptor/ClassScene/<operation>".
#pragma once

#include <functional>
#include <memory>

#include "classScene/class_scene_models.h"
#include "network/common/account_isolator.h"
#include "tessel/base/error_result.h"

namespace vanta {
namespace sceneclass {

class ClassSceneServiceRpc : public AccountIsolatorInstance<ClassSceneServiceRpc>,
                             public std::enable_shared_from_this<ClassSceneServiceRpc> {
 public:
  using FailureCallback = std::function<void(const tessel::base::ErrorResult&)>;

#define CLASS_SCENE_SENDER_OPERATION(Op, REQ, RSP, uri, failure)             \
  void Op(const ::classScene::Op##ReqModel& request,                         \
          std::function<void(const ::classScene::Op##RspModel&)> on_success, \
          FailureCallback on_failure);
  VANTA_SCENECLASS_OPERATIONS(CLASS_SCENE_SENDER_OPERATION)
#undef CLASS_SCENE_SENDER_OPERATION
};

}  // namespace sceneclass
}  // namespace vanta
