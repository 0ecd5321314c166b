#include "reference/session_media_engine.h"

#include <memory>
#include <utility>

namespace refhost {

SessionMediaEngine::SessionMediaEngine(std::string user_id, Sequencer* sequencer)
    : user_id_(std::move(user_id)), sequencer_(sequencer) {}

void SessionMediaEngine::JoinChannel(const vanta::meta::JoinChannelInfo& info) {
  ReferenceMediaEngine::JoinChannel(info);
  {
    std::lock_guard<std::mutex> lock(state_mu_);
    in_channel_ = true;
  }
  Schedule("OnJoinResult(result=0)",
           [](vanta::meta::RtcMediaEventListener& l) { l.OnJoinResult(0, 0, 0); });
}

void SessionMediaEngine::LeaveChannel() {
  ReferenceMediaEngine::LeaveChannel();
  bool was_in = false;
  {
    std::lock_guard<std::mutex> lock(state_mu_);
    was_in = std::exchange(in_channel_, false);
  }
  if (was_in) Schedule("OnBye(0)", [](vanta::meta::RtcMediaEventListener& l) { l.OnBye(0); });
}

int32_t SessionMediaEngine::AfterShareStart(int32_t result) {
  if (result == 0) {
    Schedule("OnScreenShareStateChanged(first=0,second=3)",
             [](vanta::meta::RtcMediaEventListener& l) { l.OnScreenShareStateChanged(0, 3, 0); });
  }
  return result;
}

int32_t SessionMediaEngine::StartScreenShareByDesktopId(int32_t arg1, int32_t arg2) {
  return AfterShareStart(ReferenceMediaEngine::StartScreenShareByDesktopId(arg1, arg2));
}

int32_t SessionMediaEngine::StartScreenShareAlt(int32_t arg1, int32_t arg2) {
  return AfterShareStart(ReferenceMediaEngine::StartScreenShareAlt(arg1, arg2));
}

void SessionMediaEngine::EngineCall30() {
  ReferenceMediaEngine::EngineCall30();
  Schedule("OnScreenShareStateChanged(first=3,second=0)",
           [](vanta::meta::RtcMediaEventListener& l) { l.OnScreenShareStateChanged(3, 0, 0); });
}

void SessionMediaEngine::Tick() {
  int64_t beat = 0;
  {
    std::lock_guard<std::mutex> lock(state_mu_);
    ++ticks_;
    if (!in_channel_ || stats_period_ <= 0 || ticks_ % stats_period_ != 0) return;
    beat = ticks_ / stats_period_;
  }
  // Figures a steady call would show: they grow with the call's duration.
  vanta::meta::RtcStats stats;
  stats.sent_k_bitrate = 800 + beat % 7 * 10;
  stats.rcvd_k_bitrate = 600 + beat % 5 * 10;
  stats.sent_bytes = beat * 100000;
  stats.rcvd_bytes = beat * 75000;
  stats.video_sent_k_bitrate = stats.sent_k_bitrate - 64;
  stats.video_rcvd_k_bitrate = stats.rcvd_k_bitrate - 64;
  stats.system_cpu = 20;
  stats.app_cpu = 5;
  stats.call_duration = beat;
  stats.sent_expected_pkts = beat * 90;
  stats.rcvd_expected_pkts = beat * 70;
  stats.lastmile_delay = 12;
  Schedule("OnStats(call_duration=" + std::to_string(beat) + ")",
           [stats](vanta::meta::RtcMediaEventListener& l) { l.OnStats(stats); });
  const int32_t quality = beat % 3 == 0 ? 2 : 1;  // good, now and then poor
  Schedule(
      "OnNetworkQualityChanged(uid=" + user_id_ + ",up=" + std::to_string(quality) + ",down=1)",
      [uid = user_id_, quality](vanta::meta::RtcMediaEventListener& l) {
        l.OnNetworkQualityChanged(uid, quality, 1);
      });
}

void SessionMediaEngine::SetStatsPeriod(int ticks) {
  std::lock_guard<std::mutex> lock(state_mu_);
  stats_period_ = ticks;
}

bool SessionMediaEngine::in_channel() const {
  std::lock_guard<std::mutex> lock(state_mu_);
  return in_channel_;
}

void SessionMediaEngine::SetEventObserver(std::function<void(const std::string&)> observer) {
  std::lock_guard<std::mutex> lock(state_mu_);
  event_observer_ = std::move(observer);
}

void SessionMediaEngine::Schedule(std::string text, Event event) {
  std::shared_ptr<vanta::meta::RtcMediaEventListener> listener = event_listener();
  if (!listener) return;
  Dispatch(
      sequencer_, event_thread(),
      [this, listener = std::move(listener), text = std::move(text), event = std::move(event)] {
        std::function<void(const std::string&)> observer;
        {
          std::lock_guard<std::mutex> lock(state_mu_);
          observer = event_observer_;
        }
        if (observer) observer(text);
        event(*listener);
      });
}

}  // namespace refhost
