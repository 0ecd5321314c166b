// Media-engine events: logged, reported to monitoring and forwarded to the host's listener.
// Events arrive on the media engine's threads.
#include <map>
#include <string>

#include "plugins/rtc/rtc_service.h"
#include "plugins/rtc/rtc_service_internal.h"

namespace vanta {
namespace meta {
namespace {

const char* VideoTrackText(int32_t track) {
  switch (track) {
    case 1:
      return "camera";
    case 2:
      return "screen";
    case 3:
      return "screen|camera";
    default:
      return "no";
  }
}

const char* AudioTrackText(int32_t track) {
  switch (track) {
    case 0:
      return "no";
    case 1:
      return "mic";
    default:
      return "";
  }
}

const char* QualityText(int32_t quality) {
  static constexpr const char* kTexts[] = {"excellent", "good",    "poor",
                                           "bad",       "verybad", "disconnect"};
  return quality >= 0 && quality < 6 ? kTexts[quality] : "unknown";
}

const char* PublishStateText(int32_t state) {
  static constexpr const char* kTexts[] = {"idle",       "connect", "running",
                                           "recovering", "failure", "end"};
  return state >= 0 && state < 6 ? kTexts[state] : "";
}

const char* PublishErrorText(int32_t code) {
  static constexpr const char* kTexts[] = {
      "stream_not_found",  "stream_already_exist",  "invalid_param",   "internal_error",
      "rtmp_server_error", "rtmp_stream_url_error", "publish_timeout", "not_authorized"};
  if (code == 0) return "publish_ok";
  if (code >= 0x1100001 && code <= 0x1100008) return kTexts[code - 0x1100001];
  return "";
}

const char* TaskStateText(int32_t state) {
  static constexpr const char* kTexts[] = {"start", "update", "stop"};
  return state >= 0 && state < 3 ? kTexts[state] : "";
}

const char* OfflineReasonText(int32_t reason) {
  static constexpr const char* kTexts[] = {"quit", "dropped", "become_audience"};
  return reason >= 0 && reason < 3 ? kTexts[reason] : "";
}

// {"key":"value",...} in ascending key order, copied verbatim (no escaping).
std::string StatsText(const std::map<std::string, std::string>& entries) {
  std::string out = "{";
  for (const auto& entry : entries) {
    if (out.size() > 1) out += ",";
    out += "\"" + entry.first + "\":\"" + entry.second + "\"";
  }
  return out + "}";
}

using std::to_string;

}  // namespace

void RtcService::OnJoinResult(int32_t result, int32_t, int32_t) {
  auto context = context_.lock();
  if (!context) return;
  if (result == 0) {
    const std::string rtc_id = LookupRtcId(context);
    ReportJoinStatus(rtc_id, 3);
    SendReport(108, {{"rtc_id", rtc_id}}, 0, "");
    if (event_listener_) event_listener_->OnJoined();
    return;
  }
  if (event_listener_) event_listener_->OnError(Error(to_string(result)));
  SendReport(108, {{"rtc_id", ""}}, -1, to_string(result));
}

void RtcService::OnUserNotify(const std::string& user_id, int32_t a, int32_t b) {
  if (a == 0 && b == 0) return;
  auto context = context_.lock();
  if (!context) return;
  const UserRecord self = context->GetUserRecord();
  UserNotice notice;
  notice.user_id = user_id;
  notice.is_self = user_id == self.user_id;
  notice.value = b;
  if (event_listener_) event_listener_->OnUserNotice(notice);
}

void RtcService::OnForwardedEvent3(int32_t arg1, int32_t arg2) {
  if (event_listener_) event_listener_->OnForwardedEvent18(arg1, arg2);
}

void RtcService::OnNetworkQualityChanged(const std::string& user_id, int32_t up, int32_t down) {
  SVC_LOG(1) << "OnNetworkQualityChanged, uid=" << user_id << ",up_quality=" << QualityText(up)
             << ",down_quality=" << QualityText(down);
  if (context_.lock()) {
    SendReport(121,
               {{"target_uid", user_id},
                {"up_quality", QualityText(up)},
                {"down_quality", QualityText(down)}},
               0, "");
  }
}

void RtcService::OnRtcWarning(int32_t warn, const std::string& message) {
  SVC_LOG(2) << "rtc occur warning, warn=" << warn << ",msg=" << message;
}

void RtcService::OnRtcError(int32_t error, const std::string& message) {
  SVC_LOG(3) << "rtc occur error, error=" << error << ",msg=" << message;
  if (context_.lock()) SendReport(114, {}, error, message);
}

// These two events carry no figures; their reports name the figures they would carry.
void RtcService::OnOccurError() {
  SVC_LOG(2) << "OnOccurError";
  if (context_.lock()) SendReport(115, {{"cpu_usage_sys", ""}, {"cpu_usage_proc", ""}}, 0, "");
}

void RtcService::OnPerformanceRecovery() {
  SVC_LOG(2) << "OnPerformanceRecovery";
  if (context_.lock()) SendReport(116, {{"cpu_usage_sys", ""}, {"cpu_usage_proc", ""}}, 0, "");
}

void RtcService::OnFirstRemoteVideoFrameDrawn(const std::string& user_id, int32_t video_track,
                                              int32_t width, int32_t height, int32_t cost) {
  SVC_LOG(1) << "OnFirstRemoteVideoFrameDrawn, uid=" << user_id
             << ",videoTrack=" << VideoTrackText(video_track) << ",width=" << width
             << ",heigth=" << height << ",cost=" << cost;
  if (!context_.lock()) return;
  SendReport(120,
             {{"target_uid", user_id},
              {"source_type", VideoTrackText(video_track)},
              {"width", to_string(width)},
              {"height", to_string(height)},
              {"cost_time", to_string(cost)}},
             0, "");
  if (event_listener_) {
    event_listener_->OnFirstRemoteVideoFrameDrawn(user_id, video_track, width, height, cost);
  }
}

void RtcService::OnFirstLocalVideoFrameDrawn(int32_t width, int32_t height, int32_t cost) {
  SVC_LOG(1) << "OnFirstLocalVideoFrameDrawn, width=" << width << ",heigth=" << height
             << ",cost=" << cost;
  if (event_listener_) event_listener_->OnFirstLocalVideoFrameDrawn(width, height, cost);
}

void RtcService::OnConnectionLost() {
  SVC_LOG(3) << "OnConnectionLost";
  if (context_.lock()) SendReport(117, {}, 0, "");
}

void RtcService::OnTryToReconnect() {
  SVC_LOG(2) << "OnTryToReconnect";
  if (context_.lock()) SendReport(118, {}, 0, "");
}

void RtcService::OnConnectionRecovery() {
  SVC_LOG(2) << "OnConnectionRecovery";
  if (context_.lock()) SendReport(119, {}, 0, "");
}

void RtcService::OnConnectionStatusChange(int32_t status, int32_t reason) {
  SVC_LOG(2) << "OnConnectionStatusChange, status=" << status << ",reason=" << reason;
}

void RtcService::OnPublishLiveStreamStateChanged(const std::string& stream_url, int32_t state,
                                                 int32_t error_code) {
  SVC_LOG(1) << "OnPublishLiveStreamStateChanged, stream_url=" << stream_url
             << ",state=" << PublishStateText(state)
             << ",error_code=" << PublishErrorText(error_code);
  if (context_.lock()) {
    SendReport(123,
               {{"push_url", stream_url},
                {"live_trans_state", to_string(state)},
                {"live_trans_ec", to_string(error_code)}},
               0, "");
  }
}

void RtcService::OnPublishTaskStateChanged(const std::string& stream_url, int32_t state) {
  SVC_LOG(1) << "OnPublishTaskStateChanged, stream_url=" << stream_url
             << ",state=" << TaskStateText(state);
}

void RtcService::OnRemoteUserOffLineNotify(const std::string& user_id, int32_t reason) {
  SVC_LOG(1) << "OnRemoteUserOffLineNotify, uid=" << user_id
             << ",reason =" << OfflineReasonText(reason);
}

void RtcService::OnBye(int32_t) {
  SVC_LOG(1) << "OnBye";
}

void RtcService::OnStats(const RtcStats& s) {
  SVC_LOG(1) << "OnStats statts = "
             << StatsText({{"sent_k_bitrate", to_string(s.sent_k_bitrate)},
                           {"rcvd_k_bitrate", to_string(s.rcvd_k_bitrate)},
                           {"sent_bytes", to_string(s.sent_bytes)},
                           {"rcvd_bytes", to_string(s.rcvd_bytes)},
                           {"video_rcvd_k_bitrate", to_string(s.video_rcvd_k_bitrate)},
                           {"video_sent_k_bitrate", to_string(s.video_sent_k_bitrate)},
                           {"system_cpu", to_string(s.system_cpu)},
                           {"app_cpu", to_string(s.app_cpu)},
                           {"call_duration", to_string(s.call_duration)},
                           {"sent_loss_rate", to_string(s.sent_loss_rate)},
                           {"sent_loss_pkts", to_string(s.sent_loss_pkts)},
                           {"sent_expected_pkts", to_string(s.sent_expected_pkts)},
                           {"rcvd_loss_rate", to_string(s.rcvd_loss_rate)},
                           {"rcvd_loss_pkts", to_string(s.rcvd_loss_pkts)},
                           {"rcvd_expected_pkts", to_string(s.rcvd_expected_pkts)},
                           {"lastmile_delay", to_string(s.lastmile_delay)}});
  if (event_listener_) event_listener_->OnStats(s);
}

void RtcService::OnLocalVideoStats(const LocalVideoStats& s) {
  SVC_LOG(1) << "OnLocalVideoStats = "
             << StatsText({{"track", VideoTrackText(s.track)},
                           {"sent_bitrate", to_string(s.sent_bitrate)},
                           {"sent_fps", to_string(s.sent_fps)},
                           {"encode_fps", to_string(s.encode_fps)}});
}

void RtcService::OnLocalAudioStats(const LocalAudioStats& s) {
  SVC_LOG(1) << "OnLocalAudioStats = "
             << StatsText({{"track", AudioTrackText(s.track)},
                           {"sent_bitrate", to_string(s.sent_bitrate)},
                           {"sent_samplerate", to_string(s.sent_samplerate)},
                           {"num_channel", to_string(s.num_channel)},
                           {"input_level", to_string(s.input_level)}});
}

void RtcService::OnRemoteVideoStats(const RemoteVideoStats& s) {
  SVC_LOG(1) << "OnRemoteVideoStats = "
             << StatsText({{"user_id", s.user_id},
                           {"track", VideoTrackText(s.track)},
                           {"width", to_string(s.width)},
                           {"height", to_string(s.height)},
                           {"decode_fps", to_string(s.decode_fps)},
                           {"render_fps", to_string(s.render_fps)},
                           {"frozen_times", to_string(s.frozen_times)}});
}

void RtcService::OnRemoteAudioStats(const RemoteAudioStats& s) {
  SVC_LOG(1) << "OnRemoteAudioStats = "
             << StatsText({{"user_id", s.user_id},
                           {"track", AudioTrackText(s.track)},
                           {"quality", to_string(s.quality)},
                           {"network_transport_delay", to_string(s.network_transport_delay)},
                           {"jitter_buffer_delay", to_string(s.jitter_buffer_delay)},
                           {"audio_loss_rate", to_string(s.audio_loss_rate)},
                           {"rcvd_bitrate", to_string(s.rcvd_bitrate)},
                           {"total_frozen_times", to_string(s.total_frozen_times)}});
}

void RtcService::OnForwardedEvent24(int32_t arg1, int32_t arg2) {
  if (event_listener_) event_listener_->OnForwardedEvent21(arg1, arg2);
}

void RtcService::OnForwardedEvent25(int32_t arg1, int32_t arg2) {
  if (event_listener_) event_listener_->OnForwardedEvent22(arg1, arg2);
}

void RtcService::OnForwardedEvent26(int32_t arg) {
  if (event_listener_) event_listener_->OnForwardedEvent24(arg);
}

// Value 3 marks active sharing. The second state is tested first: (3, 3) is a start.
void RtcService::OnScreenShareStateChanged(int32_t first_state, int32_t second_state, int32_t) {
  auto context = context_.lock();
  if (!context) return;
  const std::string rtc_id = LookupRtcId(context);
  if (rtc_id.empty()) {
    Invoke(StoredStartFailure(), Error("rtc_id is empty"));
  } else if (second_state == 3) {
    ShareScreenStarted(context, rtc_id);
  } else if (first_state == 3) {
    Invoke(StoredStopSuccess());
  }
}

}  // namespace meta
}  // namespace vanta
