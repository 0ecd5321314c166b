// The host's room manager: creates and destroys a room's conference and creates a room's live.
//
// Implemented by the host; reached through ServiceContext::GetRoomManager. Callbacks may run on
// any thread, synchronously inside the call or later; each request ends in exactly one of its two
// callbacks (or none, if the host drops it). Slots the module never calls are placeholders.
#pragma once

#include "vanta/meta/rtc_result_callback.h"
#include "vanta/room/room_records.h"

namespace vanta {
namespace meta {

class RoomManager {
 public:
  virtual ~RoomManager() = default;
  virtual void Reserved1() {}
  virtual void Reserved2() {}
  virtual void Reserved3() {}
  virtual void Reserved4() {}
  virtual void Reserved5() {}
  virtual void Reserved6() {}
  virtual void Reserved7() {}
  virtual void Reserved8() {}
  virtual void Reserved9() {}
  virtual void CreateLive(const room::CreateLiveReq& req,
                          const RtcSuccessFunc<room::CreateLiveRsp>& on_success,
                          const RtcFailureFunc& on_failure) = 0;  // op 10
  virtual void Reserved11() {}
  virtual void Reserved12() {}
  virtual void Reserved13() {}
  virtual void Reserved14() {}
  virtual void Reserved15() {}
  virtual void CreateRtc(const room::CreateRtcReq& req,
                         const RtcSuccessFunc<room::CreateRtcRsp>& on_success,
                         const RtcFailureFunc& on_failure) = 0;  // op 16
  virtual void Reserved17() {}
  virtual void DestroyRtc(const room::DestroyRtcReq& req,
                          const RtcSuccessFunc<room::DestroyRtcRsp>& on_success,
                          const RtcFailureFunc& on_failure) = 0;  // op 18
};

}  // namespace meta
}  // namespace vanta
