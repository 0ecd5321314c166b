// Records the media engine reports about the running media connection, and the user notice the
// module passes on to the host. Field order and widths are the engine's; all integers signed.
#pragma once

#include <cstdint>
#include <string>

namespace vanta {
namespace meta {

struct RtcStats {
  int64_t sent_k_bitrate = 0;
  int64_t rcvd_k_bitrate = 0;
  int64_t sent_bytes = 0;
  int64_t rcvd_bytes = 0;
  int64_t video_rcvd_k_bitrate = 0;
  int64_t video_sent_k_bitrate = 0;
  int32_t system_cpu = 0;
  int32_t app_cpu = 0;
  int64_t call_duration = 0;
  int64_t sent_loss_rate = 0;
  int64_t sent_loss_pkts = 0;
  int64_t sent_expected_pkts = 0;
  int64_t rcvd_loss_rate = 0;
  int64_t rcvd_loss_pkts = 0;
  int64_t rcvd_expected_pkts = 0;
  int64_t lastmile_delay = 0;
};

struct LocalVideoStats {
  int32_t track = 0;  // video track code
  int32_t sent_bitrate = 0;
  int32_t sent_fps = 0;
  int32_t encode_fps = 0;
};

struct LocalAudioStats {
  int32_t track = 0;  // audio track code
  int32_t sent_bitrate = 0;
  int32_t sent_samplerate = 0;
  int32_t num_channel = 0;
  int32_t input_level = 0;
};

struct RemoteVideoStats {
  std::string user_id;
  int32_t track = 0;  // video track code
  int32_t width = 0;
  int32_t height = 0;
  int32_t decode_fps = 0;
  int32_t render_fps = 0;
  int32_t frozen_times = 0;
};

struct RemoteAudioStats {
  std::string user_id;
  int32_t track = 0;  // audio track code
  int32_t quality = 0;
  int32_t network_transport_delay = 0;
  int32_t jitter_buffer_delay = 0;
  int32_t audio_loss_rate = 0;
  int32_t rcvd_bitrate = 0;
  int32_t total_frozen_times = 0;
};

// Passed to the host when the engine notifies about a user.
struct UserNotice {
  std::string user_id;
  std::string extra;  // always empty from this module
  bool flag = false;  // always false from this module
  bool is_self = false;
  int32_t value = 0;
};

}  // namespace meta
}  // namespace vanta
