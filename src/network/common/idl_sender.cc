#include "network/common/idl_sender.h"

#include <utility>

#include "common/log_message.h"
#include "vanta/nexo/nexo_engine.h"
#include "vanta/nexo/nexo_manager_ex.h"
#include "vanta/nexo/nexo_mlink_service.h"

namespace vanta {
namespace network {

std::shared_ptr<nexo::MlinkRequestChannel> GetRequestChannel(const nexo::NexoUserId& uid,
                                                             const char* log_file) {
  nexo::NexoEngineEx* engine = nexo::GetNexoEngine();
  if (engine == nullptr) {
    RTC_LOG(1, log_file) << "get nexo engine is null";
    return nullptr;
  }
  auto manager = engine->GetNexoManagerEx(uid);
  if (!manager) {
    RTC_LOG(1, log_file) << "get nexo manager service is null";
    return nullptr;
  }
  auto mlink = manager->GetMlinkService();
  if (!mlink) {
    RTC_LOG(1, log_file) << "get nexo mlink service is null";
    return nullptr;
  }
  return mlink->GetRequestChannel();
}

const RequestStub& RequestStub::Instance() {
  static const RequestStub stub;
  return stub;
}

std::shared_ptr<tessel::mlink::Request> RequestStub::NewRequest(std::string uri) const {
  auto request = std::make_shared<tessel::mlink::Request>(std::move(uri));
  request->SetHeader("dt", "p");
  return request;
}

}  // namespace network
}  // namespace vanta
