// The RTC module as the engine sees it: its description ("rtc") and its event handler.
#pragma once

#include <memory>
#include <string>

#include "network/common/module_events.h"
#include "network/rtc/rtc_module_impl.h"
#include "vanta/nexo/nexo_module_info.h"

namespace vanta {
namespace rtc {

struct RtcEventTexts {
  static constexpr const char* kTag = "[rtc_service_info]";
  static constexpr const char* kLogFile = "src/network/rtc/nexo_module_event_impl";
};

class NexoModuleEventImpl : public network::ModuleEventHandler<RtcModuleImpl, RtcEventTexts> {};

class RtcServiceInfo : public nexo::NexoModuleInfo {
 public:
  std::string GetModuleName() override { return "rtc"; }
  std::shared_ptr<nexo::NexoModuleEventHandler> GetEventHandler() override { return handler; }

  std::shared_ptr<NexoModuleEventImpl> handler;
};

// The process-wide description, made once (with its handler) on first call. An exception from
// making it reaches the caller, and the next call tries again.
std::shared_ptr<RtcServiceInfo> GetRtcServiceInfo();

}  // namespace rtc
}  // namespace vanta
