#include "network/common/idl_sender.h"

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

std::shared_ptr<tessel::mlink::Request> RequestStub::Build(
    const std::string& uri, const tessel::idl::BaseModel& body) const {
  auto request = std::make_shared<tessel::mlink::Request>(uri);
  request->SetHeader("dt", "p");
  tessel::idl::Packb(body, &request->body);
  return request;
}

}  // namespace network
}  // namespace vanta
