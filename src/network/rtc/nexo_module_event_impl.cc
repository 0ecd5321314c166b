#include "network/rtc/nexo_module_event_impl.h"

#include <mutex>

namespace vanta {
namespace rtc {

std::shared_ptr<RtcServiceInfo> GetRtcServiceInfo() {
  static std::once_flag once;
  static std::shared_ptr<RtcServiceInfo> info;
  std::call_once(once, [] {
    auto made = std::make_shared<RtcServiceInfo>();
    made->handler = std::make_shared<NexoModuleEventImpl>();
    info = std::move(made);
  });
  return info;
}

}  // namespace rtc
}  // namespace vanta
