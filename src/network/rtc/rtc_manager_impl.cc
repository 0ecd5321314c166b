#include "network/rtc/rtc_manager_impl.h"

#include "network/common/manager_calls.h"
#include "network/rtc/rtc_mlink_service_rpc.h"

namespace vanta {
namespace rtc {
namespace {
constexpr network::ManagerPolicy kPolicy{"src/network/rtc/rtc_manager_impl", true};
}  // namespace

#define RTC_MANAGER_OPERATION(Op, REQ, RSP, uri, failure, missing)                              \
  void RtcManagerImpl::Op(const Op##Req& req,                                                   \
                          const std::function<void(const Op##Rsp&)>& on_success,                \
                          const std::function<void(const NexoError&)>& on_failure) {            \
    network::CallThroughSender<RtcMlinkServiceRpc>(                                             \
        this, kPolicy, failure, missing, req, on_success, on_failure, &RtcMlinkServiceRpc::Op); \
  }                                                                                             \
  void RtcManagerImpl::Op(                                                                      \
      const Op##Req& req,                                                                       \
      const std::shared_ptr<::vanta::meta::RtcResultCallback<Op##Rsp>>& callback) {             \
    std::function<void(const Op##Rsp&)> on_success;                                             \
    std::function<void(const NexoError&)> on_failure;                                           \
    if (network::AdaptCallbackObject(kPolicy, callback, &on_success, &on_failure)) {            \
      RtcManagerImpl::Op(req, on_success, on_failure);                                          \
    }                                                                                           \
  }
VANTA_RTC_OPERATIONS(RTC_MANAGER_OPERATION)
#undef RTC_MANAGER_OPERATION

}  // namespace rtc
}  // namespace vanta
