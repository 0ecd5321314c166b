// The RTC module of one account, and the view of it that RtcService holds.
#pragma once

#include <memory>
#include <string>

#include "network/common/account_module.h"
#include "network/rtc/rtc_manager_impl.h"
#include "network/rtc/rtc_mlink_service_rpc.h"
#include "vanta/nexo/nexo_user_id.h"

namespace vanta {
namespace rtc {

class RtcModule {
 public:
  virtual ~RtcModule() = default;
  virtual std::string GetUserId() = 0;
  virtual std::shared_ptr<RtcManager> GetRtcManager() = 0;
};

struct RtcModuleTexts {
  static constexpr const char* kName = "rtc_module";
  static constexpr const char* kThreadPrefix = "rtc.biz.";
  static constexpr const char* kLogFile = "src/network/rtc/rtc_module_impl";
};

// Made at the engine's manager-create event; its OnCreate registers the account's
// RtcMlinkServiceRpc, its OnRelease removes it.
class RtcModuleImpl : public RtcModule,
                      public network::AccountModule<RtcModuleImpl, RtcMlinkServiceRpc,
                                                    RtcManagerImpl, RtcModuleTexts>,
                      public std::enable_shared_from_this<RtcModuleImpl> {
 public:
  std::string GetUserId() override { return GetUserKey().user_id; }
  std::shared_ptr<RtcManager> GetRtcManager() override { return GetOrMakeManager(); }
};

// Holds the module weakly: once the engine has released the account and nobody else holds the
// module, the wrapper answers with an empty manager.
class RtcModuleWrapper : public RtcModule {
 public:
  RtcModuleWrapper(const std::shared_ptr<RtcModule>& m, const nexo::NexoUserId& id)
      : module(m), uid(id) {}
  std::string GetUserId() override { return uid.user_id; }
  std::shared_ptr<RtcManager> GetRtcManager() override {
    auto m = module.lock();
    return m ? m->GetRtcManager() : nullptr;
  }

  std::weak_ptr<RtcModule> module;
  nexo::NexoUserId uid;
};

}  // namespace rtc
}  // namespace vanta
