// The class-scene adaptor client of one account (see vanta/sceneclass/sceneclass_manager.h).
#pragma once

#include <memory>

#include "vanta/nexo/nexo_user_id.h"
#include "vanta/sceneclass/sceneclass_manager.h"

namespace vanta {
namespace sceneclass {

class ClassSceneManagerImpl : public SceneclassManager,
                              public std::enable_shared_from_this<ClassSceneManagerImpl> {
 public:
  explicit ClassSceneManagerImpl(const nexo::NexoUserId& id) : uid(id) {}

#define CLASS_SCENE_MANAGER_OVERRIDES(Op, REQ, RSP, uri, failure)                    \
  void Op(const Op##Req& req, const std::function<void(const Op##Rsp&)>& on_success, \
          const std::function<void(const NexoError&)>& on_failure) override;         \
  void Op(const Op##Req& req,                                                        \
          const std::shared_ptr<::vanta::meta::RtcResultCallback<Op##Rsp>>& callback) override;
  VANTA_SCENECLASS_OPERATIONS(CLASS_SCENE_MANAGER_OVERRIDES)
#undef CLASS_SCENE_MANAGER_OVERRIDES

  const nexo::NexoUserId uid;
};

}  // namespace sceneclass
}  // namespace vanta
