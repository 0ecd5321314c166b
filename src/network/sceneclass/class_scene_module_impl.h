// The class-scene module of one account, and the view of it that RtcService holds.
#pragma once

#include <memory>
#include <string>

#include "network/common/account_module.h"
#include "network/sceneclass/class_scene_manager_impl.h"
#include "network/sceneclass/class_scene_service_rpc.h"
#include "vanta/nexo/nexo_user_id.h"

namespace vanta {
namespace sceneclass {

class SceneclassModule {
 public:
  virtual ~SceneclassModule() = default;
  virtual std::string GetUserId() = 0;
  virtual std::shared_ptr<SceneclassManager> GetSceneclassManager() = 0;
};

struct ClassSceneModuleTexts {
  static constexpr const char* kName = "class_scene_module";
  static constexpr const char* kThreadPrefix = "class_scene.biz.";
  static constexpr const char* kLogFile = "src/network/sceneclass/class_scene_module_impl";
};

class ClassSceneModuleImpl
    : public SceneclassModule,
      public network::AccountModule<ClassSceneModuleImpl, ClassSceneServiceRpc,
                                    ClassSceneManagerImpl, ClassSceneModuleTexts>,
      public std::enable_shared_from_this<ClassSceneModuleImpl> {
 public:
  std::string GetUserId() override { return GetUserKey().user_id; }
  std::shared_ptr<SceneclassManager> GetSceneclassManager() override { return GetOrMakeManager(); }
};

class ClassSceneModuleWrapper : public SceneclassModule {
 public:
  ClassSceneModuleWrapper(const std::shared_ptr<SceneclassModule>& m, const nexo::NexoUserId& id)
      : module(m), uid(id) {}
  std::string GetUserId() override { return uid.user_id; }
  std::shared_ptr<SceneclassManager> GetSceneclassManager() override {
    auto m = module.lock();
    return m ? m->GetSceneclassManager() : nullptr;
  }

  std::weak_ptr<SceneclassModule> module;
  nexo::NexoUserId uid;
};

}  // namespace sceneclass
}  // namespace vanta
