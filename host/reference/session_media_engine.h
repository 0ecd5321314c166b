// A media engine that behaves like a real one for a whole session: it answers what the module
// asks of it with the events a real engine reports, from its own event thread.
//
//   JoinChannel          -> OnJoinResult(0)
//   LeaveChannel         -> OnBye(0)
//   screen-share start   -> OnScreenShareStateChanged(0, 3) when the start is accepted (op 28/29
//                           answered 0, see SetResult)
//   EngineCall30 (stop)  -> OnScreenShareStateChanged(3, 0)
//   Tick, in a channel   -> every `period`-th tick OnStats and OnNetworkQualityChanged
//
// Every call is recorded as by ReferenceMediaEngine. Statistics follow the host's clock rather
// than the wall clock: the host calls Tick, so the figures and their timing depend only on the
// number of ticks. With a Sequencer, events wait in it until the driver runs them (still on
// the event thread); without one they are posted to the event thread at once. The event
// observer sees each event on the event thread right before the listener gets it.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "reference/media_engine.h"
#include "reference/sequencer.h"

namespace refhost {

class SessionMediaEngine : public ReferenceMediaEngine {
 public:
  explicit SessionMediaEngine(std::string user_id, Sequencer* sequencer = nullptr);

  void JoinChannel(const vanta::meta::JoinChannelInfo& info) override;
  void LeaveChannel() override;
  int32_t StartScreenShareByDesktopId(int32_t arg1, int32_t arg2) override;
  int32_t StartScreenShareAlt(int32_t arg1, int32_t arg2) override;
  void EngineCall30() override;

  // One beat of the host's clock.
  void Tick();
  // Statistics every `ticks` ticks while in a channel (1 unless set; 0 turns them off).
  void SetStatsPeriod(int ticks);
  bool in_channel() const;

  // Called with the event's text ("OnJoinResult(result=0)") on the event thread.
  void SetEventObserver(std::function<void(const std::string& event)> observer);

 private:
  using Event = std::function<void(vanta::meta::RtcMediaEventListener&)>;
  void Schedule(std::string text, Event event);
  int32_t AfterShareStart(int32_t result);

  const std::string user_id_;
  Sequencer* const sequencer_;
  mutable std::mutex state_mu_;
  bool in_channel_ = false;
  int stats_period_ = 1;
  int64_t ticks_ = 0;
  std::function<void(const std::string&)> event_observer_;
};

}  // namespace refhost
