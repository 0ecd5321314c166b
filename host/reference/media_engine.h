// The reference host's media engine and event listener: both record every call they get.
//
// The media engine answers its result-returning operations with configurable values (0 by
// default, which for the screen-share starts means "started"), keeps the event listener the
// service registers, and can deliver events to it inside the call or from its own event thread.
// Registering the service makes the engine share its ownership; ClearEventListener breaks the
// engine-service cycle.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "reference/call_log.h"
#include "reference/reply_worker.h"
#include "reference/responder.h"
#include "vanta/meta/media_engine.h"
#include "vanta/meta/rtc_event_listener.h"
#include "vanta/meta/rtc_media_event_listener.h"

namespace refhost {

// One call on the engine. `ints` holds the 32-bit arguments in order; `text` the user id of ops
// 6 and 7; `flag` the argument of op 1; `join` the argument of op 4.
struct MediaCall {
  int op = 0;
  std::vector<int32_t> ints;
  std::string text;
  bool flag = false;
  vanta::meta::JoinChannelInfo join;
  std::thread::id thread;
};

class ReferenceMediaEngine : public vanta::meta::MediaEngine {
 public:
  ReferenceMediaEngine() = default;

  void EngineCall1(const bool& flag) override;
  void EngineCall2() override;
  void EngineCall3() override;
  void JoinChannel(const vanta::meta::JoinChannelInfo& info) override;
  void LeaveChannel() override;
  void EngineCall6(const std::string& user_id) override;
  void EngineCall7(const std::string& user_id) override;
  int32_t EngineCall8(int32_t arg) override;
  int32_t EngineCall9(int32_t arg) override;
  void SetEventListener(
      const std::shared_ptr<vanta::meta::RtcMediaEventListener>& listener) override;
  void Reserved11() override { Unexpected(11); }
  void Reserved12() override { Unexpected(12); }
  void Reserved13() override { Unexpected(13); }
  void Reserved14() override { Unexpected(14); }
  void Reserved15() override { Unexpected(15); }
  void Reserved16() override { Unexpected(16); }
  void Reserved17() override { Unexpected(17); }
  void Reserved18() override { Unexpected(18); }
  void Reserved19() override { Unexpected(19); }
  void Reserved20() override { Unexpected(20); }
  void Reserved21() override { Unexpected(21); }
  void Reserved22() override { Unexpected(22); }
  void Reserved23() override { Unexpected(23); }
  void Reserved24() override { Unexpected(24); }
  void Reserved25() override { Unexpected(25); }
  void Reserved26() override { Unexpected(26); }
  int32_t EngineCall27(int32_t arg1, int32_t arg2) override;
  int32_t StartScreenShareByDesktopId(int32_t arg1, int32_t arg2) override;
  int32_t StartScreenShareAlt(int32_t arg1, int32_t arg2) override;
  void EngineCall30() override;
  int32_t EngineCall31(int32_t arg) override;
  int32_t EngineCall32(int32_t arg) override;

  // What op 8, 9, 27, 28, 29, 31 or 32 returns from now on.
  void SetResult(int op, int32_t result);

  const CallLog<MediaCall>& calls() const { return calls_; }
  std::vector<MediaCall> CallsOf(int op) const;
  // Op numbers in call order.
  std::vector<int> Ops() const;
  // Calls of slots the module should never use, by op number.
  const CallLog<int>& unexpected_calls() const { return unexpected_; }

  std::shared_ptr<vanta::meta::RtcMediaEventListener> event_listener() const;
  void ClearEventListener();

  // Hands every call to `observer` on the calling thread before recording it (empty: none).
  void SetCallObserver(std::function<void(const MediaCall&)> observer);

  // Hands the registered listener to `event`, inside this call or later on the event thread.
  // Returns false (and does nothing) when no listener is registered.
  bool Emit(std::function<void(vanta::meta::RtcMediaEventListener&)> event,
            Delivery delivery = Delivery::kSync);
  ReplyWorker& event_thread() { return worker_; }

 private:
  void Record(MediaCall call);
  void Unexpected(int op) { unexpected_.Add(op); }
  int32_t ResultOf(int op) const;

  ReplyWorker worker_;
  mutable std::mutex mu_;
  std::map<int, int32_t> results_;
  std::shared_ptr<vanta::meta::RtcMediaEventListener> listener_;
  std::function<void(const MediaCall&)> call_observer_;
  CallLog<MediaCall> calls_;
  CallLog<int> unexpected_;
};

// One call on the host listener. `ints` holds the integer arguments in order; `text` the user
// id of op 25; `error`, `notice` and `stats` the record of ops 2, 3 and 19.
struct HostEvent {
  int op = 0;
  std::vector<int32_t> ints;
  std::string text;
  NexoError error;
  vanta::meta::UserNotice notice;
  vanta::meta::RtcStats stats;
  std::thread::id thread;
};

class ReferenceEventListener : public vanta::meta::RtcEventListener {
 public:
  ReferenceEventListener() = default;

  void OnJoined() override;
  void OnError(const NexoError& error) override;
  void OnUserNotice(const vanta::meta::UserNotice& notice) override;
  void OnForwardedEvent18(int32_t arg1, int32_t arg2) override;
  void OnStats(const vanta::meta::RtcStats& stats) override;
  void OnForwardedEvent21(int32_t arg1, int32_t arg2) override;
  void OnForwardedEvent22(int32_t arg1, int32_t arg2) override;
  void OnForwardedEvent24(int32_t arg) override;
  void OnFirstRemoteVideoFrameDrawn(const std::string& user_id, int32_t video_track, int32_t width,
                                    int32_t height, int32_t cost) override;
  void OnFirstLocalVideoFrameDrawn(int32_t width, int32_t height, int32_t cost) override;
  void Reserved4() override { Unexpected(4); }
  void Reserved5() override { Unexpected(5); }
  void Reserved6() override { Unexpected(6); }
  void Reserved7() override { Unexpected(7); }
  void Reserved8() override { Unexpected(8); }
  void Reserved9() override { Unexpected(9); }
  void Reserved10() override { Unexpected(10); }
  void Reserved11() override { Unexpected(11); }
  void Reserved12() override { Unexpected(12); }
  void Reserved13() override { Unexpected(13); }
  void Reserved14() override { Unexpected(14); }
  void Reserved15() override { Unexpected(15); }
  void Reserved16() override { Unexpected(16); }
  void Reserved17() override { Unexpected(17); }
  void Reserved20() override { Unexpected(20); }
  void Reserved23() override { Unexpected(23); }

  const CallLog<HostEvent>& events() const { return events_; }
  std::vector<HostEvent> EventsOf(int op) const;
  std::vector<int> Ops() const;
  const CallLog<int>& unexpected_calls() const { return unexpected_; }

  // Hands every event to `observer` on the calling thread before recording it (empty: none).
  void SetObserver(std::function<void(const HostEvent&)> observer);

 private:
  void Record(HostEvent event);
  void Unexpected(int op) { unexpected_.Add(op); }

  mutable std::mutex mu_;
  std::function<void(const HostEvent&)> observer_;
  CallLog<HostEvent> events_;
  CallLog<int> unexpected_;
};

}  // namespace refhost
