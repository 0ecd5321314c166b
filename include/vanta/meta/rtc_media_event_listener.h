// Events of the media engine about the local media connection.
//
// Implemented by the module (the service registers itself with MediaEngine::SetEventListener)
// and called by the media engine on its own threads, concurrently with host calls. The engine
// shares ownership of the listener while it is registered. The slot order is the contract with
// the engine. Texts arrive by const reference and are not kept beyond the call.
#pragma once

#include <cstdint>
#include <string>

#include "vanta/meta/export.h"
#include "vanta/meta/rtc_stats.h"

namespace vanta {
namespace meta {

class VANTA_INTERFACE RtcMediaEventListener {
 public:
  virtual ~RtcMediaEventListener() = default;
  // 0 means joined; arg2 and arg3 carry nothing the module reads.
  virtual void OnJoinResult(int32_t result, int32_t arg2, int32_t arg3) = 0;  // 1
  virtual void OnUserNotify(const std::string& user_id, int32_t a, int32_t b) = 0;
  virtual void OnForwardedEvent3(int32_t arg1, int32_t arg2) = 0;
  virtual void OnNetworkQualityChanged(const std::string& user_id, int32_t up, int32_t down) = 0;
  virtual void OnRtcWarning(int32_t warn, const std::string& message) = 0;  // 5
  virtual void OnRtcError(int32_t error, const std::string& message) = 0;
  virtual void OnOccurError() = 0;
  virtual void OnPerformanceRecovery() = 0;
  virtual void OnFirstRemoteVideoFrameDrawn(const std::string& user_id, int32_t video_track,
                                            int32_t width, int32_t height, int32_t cost) = 0;
  virtual void OnFirstLocalVideoFrameDrawn(int32_t width, int32_t height,
                                           int32_t cost) = 0;  // 10
  virtual void OnConnectionLost() = 0;
  virtual void OnTryToReconnect() = 0;
  virtual void OnConnectionRecovery() = 0;
  virtual void OnConnectionStatusChange(int32_t status, int32_t reason) = 0;
  virtual void OnPublishLiveStreamStateChanged(const std::string& stream_url, int32_t state,
                                               int32_t error_code) = 0;  // 15
  virtual void OnPublishTaskStateChanged(const std::string& stream_url, int32_t state) = 0;
  virtual void OnRemoteUserOffLineNotify(const std::string& user_id, int32_t reason) = 0;
  virtual void OnBye(int32_t reason) = 0;
  virtual void OnStats(const RtcStats& stats) = 0;
  virtual void OnLocalVideoStats(const LocalVideoStats& stats) = 0;  // 20
  virtual void OnLocalAudioStats(const LocalAudioStats& stats) = 0;
  virtual void OnRemoteVideoStats(const RemoteVideoStats& stats) = 0;
  virtual void OnRemoteAudioStats(const RemoteAudioStats& stats) = 0;
  virtual void OnForwardedEvent24(int32_t arg1, int32_t arg2) = 0;
  virtual void OnForwardedEvent25(int32_t arg1, int32_t arg2) = 0;  // 25
  virtual void OnForwardedEvent26(int32_t arg) = 0;
  // 3 in a state means sharing is active; arg3 carries nothing the module reads.
  virtual void OnScreenShareStateChanged(int32_t first_state, int32_t second_state,
                                         int32_t arg3) = 0;  // 27
};

}  // namespace meta
}  // namespace vanta
