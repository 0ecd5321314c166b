#include "network/rtc/rtc_mlink_service_rpc.h"

#include <utility>

#include "network/common/idl_sender.h"

namespace vanta {
namespace rtc {
namespace {
constexpr char kLogFile[] = "src/network/rtc/rtc_mlink_service_rpc";
}  // namespace

#define RTC_SENDER_OPERATION(Op, REQ, RSP, uri, failure, missing)                          \
  void RtcMlinkServiceRpc::Op(const ::rtc::Op##ReqModel& request,                          \
                              std::function<void(const ::rtc::Op##RspModel&)> on_success,  \
                              FailureCallback on_failure) {                                \
    network::SendIdlRequest<::rtc::Op##RspModel>(GetUserKey(), "/r/Adaptor/RtcMlink/" uri, \
                                                 request, std::move(on_success),           \
                                                 std::move(on_failure), kLogFile);         \
  }
VANTA_RTC_OPERATIONS(RTC_SENDER_OPERATION)
#undef RTC_SENDER_OPERATION

}  // namespace rtc
}  // namespace vanta
