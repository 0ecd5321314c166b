// The class-scene module as the engine sees it: its description ("class_scene") and its event
// handler.
#pragma once

#include <memory>
#include <string>

#include "network/common/module_events.h"
#include "network/sceneclass/class_scene_module_impl.h"
#include "vanta/nexo/nexo_module_info.h"

namespace vanta {
namespace sceneclass {

struct ClassSceneEventTexts {
  static constexpr const char* kTag = "[class_scene_service_info]";
  static constexpr const char* kLogFile = "src/network/sceneclass/nexo_module_event_impl";
};

class NexoModuleEventImpl
    : public network::ModuleEventHandler<ClassSceneModuleImpl, ClassSceneEventTexts> {};

class ClassSceneServiceInfo : public nexo::NexoModuleInfo {
 public:
  std::string GetModuleName() override { return "class_scene"; }
  std::shared_ptr<nexo::NexoModuleEventHandler> GetEventHandler() override { return handler; }

  std::shared_ptr<NexoModuleEventImpl> handler;
};

// The process-wide description, made once (with its handler) on first call.
std::shared_ptr<ClassSceneServiceInfo> GetClassSceneServiceInfo();

}  // namespace sceneclass
}  // namespace vanta
