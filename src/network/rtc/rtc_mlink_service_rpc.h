// The account's request sender for the RTC adaptor: one send operation per adaptor request,
// each sending to "/r/Adaptor/RtcMlink/<operation>". Lives in its own per-account registry for
// as long as the account's RtcModuleImpl does.
#pragma once

#include <functional>
#include <memory>

#include "network/common/account_isolator.h"
#include "rtc/rtc_models.h"
#include "tessel/base/error_result.h"

namespace vanta {
namespace rtc {

class RtcMlinkServiceRpc : public AccountIsolatorInstance<RtcMlinkServiceRpc>,
                           public std::enable_shared_from_this<RtcMlinkServiceRpc> {
 public:
  using FailureCallback = std::function<void(const tessel::base::ErrorResult&)>;

#define RTC_SENDER_OPERATION(Op, REQ, RSP, uri, failure, missing) \
  void Op(const ::rtc::Op##ReqModel& request,                     \
          std::function<void(const ::rtc::Op##RspModel&)> on_success, FailureCallback on_failure);
  VANTA_RTC_OPERATIONS(RTC_SENDER_OPERATION)
#undef RTC_SENDER_OPERATION
};

}  // namespace rtc
}  // namespace vanta
