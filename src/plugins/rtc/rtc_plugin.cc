#include "plugins/rtc/rtc_plugin.h"

#include <mutex>

#include "network/rtc/nexo_module_event_impl.h"
#include "network/sceneclass/nexo_module_event_impl.h"
#include "plugins/rtc/rtc_service.h"
#include "vanta/nexo/nexo_engine.h"

namespace vanta {
namespace meta {

void RtcPlugin::Init() {
  std::shared_ptr<nexo::NexoEngine> engine = nexo::NexoEngine::GetNexoEngine();
  if (!engine) return;
  // What RegisterModule answers is of no consequence to the plug-in.
  engine->RegisterModule(rtc::GetRtcServiceInfo());
  engine->RegisterModule(sceneclass::GetClassSceneServiceInfo());
  initialized_.exchange(true);
  engine.reset();
}

void RtcPlugin::Uninit() {}

std::shared_ptr<IPluginService> RtcPlugin::CreateService(
    const std::shared_ptr<ServiceContext>& context) {
  // One allocation for object and counts, and the service's weak self-reference bound to the
  // owner the host receives.
  return std::make_shared<RtcService>(context);
}

IPlugin* GetPluginInstance() {
  static std::once_flag once;
  static std::shared_ptr<RtcPlugin> plugin;
  std::call_once(once, [] { plugin = std::make_shared<RtcPlugin>(); });
  std::shared_ptr<RtcPlugin> copy = plugin;
  return copy.get();
}

}  // namespace meta
}  // namespace vanta
