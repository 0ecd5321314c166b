// The RTC adaptor client of one account (see vanta/rtc/rtc_manager.h for the contract).
#pragma once

#include <memory>

#include "vanta/nexo/nexo_user_id.h"
#include "vanta/rtc/rtc_manager.h"

namespace vanta {
namespace rtc {

class RtcManagerImpl : public RtcManager, public std::enable_shared_from_this<RtcManagerImpl> {
 public:
  explicit RtcManagerImpl(const nexo::NexoUserId& id) : uid(id) {}

#define RTC_MANAGER_OVERRIDES(Op, REQ, RSP, uri, failure, missing)                   \
  void Op(const Op##Req& req, const std::function<void(const Op##Rsp&)>& on_success, \
          const std::function<void(const NexoError&)>& on_failure) override;         \
  void Op(const Op##Req& req,                                                        \
          const std::shared_ptr<::vanta::meta::RtcResultCallback<Op##Rsp>>& callback) override;
  VANTA_RTC_OPERATIONS(RTC_MANAGER_OVERRIDES)
#undef RTC_MANAGER_OVERRIDES

  const nexo::NexoUserId uid;
};

}  // namespace rtc
}  // namespace vanta
