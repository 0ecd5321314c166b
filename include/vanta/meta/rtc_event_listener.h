// The host's event listener: what the module passes on from the media engine.
//
// Implemented by the host and attached with IRtcService::SetEventListener (it may stay absent).
// Called on the media engine's threads. Slots the module never calls are placeholders; the
// forwarded events (ops 18, 21, 22, 24) carry the engine's values unchanged.
#pragma once

#include <cstdint>
#include <string>

#include "vanta/meta/nexo_error_fwd.h"
#include "vanta/meta/rtc_stats.h"

namespace vanta {
namespace meta {

class RtcEventListener {
 public:
  virtual ~RtcEventListener() = default;
  virtual void OnJoined() = 0;                              // op 1
  virtual void OnError(const NexoError& error) = 0;         // op 2
  virtual void OnUserNotice(const UserNotice& notice) = 0;  // op 3
  virtual void Reserved4() {}
  virtual void Reserved5() {}
  virtual void Reserved6() {}
  virtual void Reserved7() {}
  virtual void Reserved8() {}
  virtual void Reserved9() {}
  virtual void Reserved10() {}
  virtual void Reserved11() {}
  virtual void Reserved12() {}
  virtual void Reserved13() {}
  virtual void Reserved14() {}
  virtual void Reserved15() {}
  virtual void Reserved16() {}
  virtual void Reserved17() {}
  virtual void OnForwardedEvent18(int32_t arg1, int32_t arg2) = 0;  // op 18
  virtual void OnStats(const RtcStats& stats) = 0;                  // op 19
  virtual void Reserved20() {}
  virtual void OnForwardedEvent21(int32_t arg1, int32_t arg2) = 0;  // op 21
  virtual void OnForwardedEvent22(int32_t arg1, int32_t arg2) = 0;  // op 22
  virtual void Reserved23() {}
  virtual void OnForwardedEvent24(int32_t arg) = 0;  // op 24
  virtual void OnFirstRemoteVideoFrameDrawn(const std::string& user_id, int32_t video_track,
                                            int32_t width, int32_t height,
                                            int32_t cost) = 0;  // op 25
  virtual void OnFirstLocalVideoFrameDrawn(int32_t width, int32_t height,
                                           int32_t cost) = 0;  // op 26
};

}  // namespace meta
}  // namespace vanta
