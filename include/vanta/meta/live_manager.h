// The host's live broadcasts: publishing a live and reading its detail.
//
// Implemented by the host. Callbacks may run on any thread, synchronously inside the call or
// later; each request ends in exactly one of its two callbacks (or none, if the host drops it).
#pragma once

#include <memory>
#include <string>

#include "vanta/live/live_records.h"
#include "vanta/meta/rtc_result_callback.h"

namespace vanta {
namespace meta {

class LiveManager {
 public:
  virtual ~LiveManager() = default;
  virtual void PublishLive(const live::PublishLiveReq& req,
                           const RtcSuccessFunc<live::PublishLiveRsp>& on_success,
                           const RtcFailureFunc& on_failure) = 0;  // op 1
  virtual void Reserved2() {}
  virtual void GetLiveDetail(const std::string& live_id,
                             const RtcSuccessFunc<live::LiveDetail>& on_success,
                             const RtcFailureFunc& on_failure) = 0;  // op 3
};

// Owner of the live manager; the table starts with its one operation, the destructor after it.
class LiveModule {
 public:
  virtual std::shared_ptr<LiveManager> GetLiveManager() = 0;  // op 0; may be empty
  virtual ~LiveModule() = default;
};

}  // namespace meta
}  // namespace vanta
