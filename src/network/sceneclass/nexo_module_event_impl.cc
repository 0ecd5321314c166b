#include "network/sceneclass/nexo_module_event_impl.h"

#include <mutex>

namespace vanta {
namespace sceneclass {

std::shared_ptr<ClassSceneServiceInfo> GetClassSceneServiceInfo() {
  static std::once_flag once;
  static std::shared_ptr<ClassSceneServiceInfo> info;
  std::call_once(once, [] {
    auto made = std::make_shared<ClassSceneServiceInfo>();
    made->handler = std::make_shared<NexoModuleEventImpl>();
    info = std::move(made);
  });
  return info;
}

}  // namespace sceneclass
}  // namespace vanta
