// A room session's whole world for fault tests: the real request path (both engine modules
// registered with the engine stand-in, synchronous delivery) into the adaptor simulator, with a
// teacher and a student signed in, each with a reference host whose room, room manager and live
// manager live through the simulator and whose media engine reports events as a real one does.
//
// Every asynchronous answer of the host side (room and live manager replies, media events) waits
// in one Sequencer until Settle runs it, and the requests of one URI can be parked in front of
// the simulator and released later from another thread, so a test decides exactly what happens
// while a request is in flight. Log lines and monitoring reports are captured; the engine, the
// log handler and the monitoring module are put back by the destructor.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "metrix_standin/metrix_control.h"
#include "network/rtc/nexo_module_event_impl.h"
#include "network/rtc/rtc_module_impl.h"
#include "network/sceneclass/class_scene_module_impl.h"
#include "network/sceneclass/nexo_module_event_impl.h"
#include "nexo_standin/engine_control.h"
#include "plugins/rtc/rtc_service.h"
#include "reference/room.h"
#include "reference/session_media_engine.h"
#include "reference/sim_host.h"
#include "rtc_sim/simulator.h"
#include "simulator/sim_fixture.h"
#include "support/network_fixture.h"
#include "vanta/nexo/nexo_engine.h"

namespace faults {

using namespace std::chrono_literals;
using network_test::ClassClientOf;
using network_test::LogCapture;
using network_test::LogLine;
using network_test::RtcClientOf;
using vanta::nexo::NexoError;
using vanta::nexo::NexoUserId;

inline constexpr char kTeacher[] = "alice";
inline constexpr char kStudent[] = "bob";
inline constexpr char kRoom[] = "room-1";
inline constexpr char kTag[] = "pc";

// Hands requests to the simulator, or parks those of one URI until Release hands them on from
// another thread (an engine thread, as far as the module can tell).
class ParkingTransport {
 public:
  explicit ParkingTransport(nexo_standin::Transport inner)
      : state_(std::make_shared<State>(std::move(inner))) {}

  nexo_standin::Transport transport() const {
    return [state = state_](const std::shared_ptr<nexo_standin::PendingRequest>& request) {
      nexo_standin::Transport inner;
      {
        std::lock_guard<std::mutex> lock(state->mu);
        ++state->sent[request->request().uri];
        if (!state->park_uri.empty() && state->park_uri == request->request().uri) {
          state->parked.push_back(request);
          return;
        }
        inner = state->inner;
      }
      inner(request);
    };
  }

  // Parks the requests to `uri` from now on ("" parks nothing).
  void Park(const std::string& uri) {
    std::lock_guard<std::mutex> lock(state_->mu);
    state_->park_uri = uri;
  }
  size_t parked() const {
    std::lock_guard<std::mutex> lock(state_->mu);
    return state_->parked.size();
  }
  // Stops parking and hands the parked requests to the simulator on a thread of their own; the
  // answers (and, with synchronous delivery, the module's continuations) have run on return.
  void Release() {
    std::vector<std::shared_ptr<nexo_standin::PendingRequest>> parked;
    nexo_standin::Transport inner;
    {
      std::lock_guard<std::mutex> lock(state_->mu);
      state_->park_uri.clear();
      parked.swap(state_->parked);
      inner = state_->inner;
    }
    std::thread([&] {
      for (const auto& request : parked) inner(request);
    }).join();
  }
  // Requests seen per URI.
  int Sent(const std::string& uri) const {
    std::lock_guard<std::mutex> lock(state_->mu);
    auto it = state_->sent.find(uri);
    return it == state_->sent.end() ? 0 : it->second;
  }
  void ClearCounts() {
    std::lock_guard<std::mutex> lock(state_->mu);
    state_->sent.clear();
  }

 private:
  struct State {
    explicit State(nexo_standin::Transport t) : inner(std::move(t)) {}
    std::mutex mu;
    const nexo_standin::Transport inner;
    std::string park_uri;
    std::vector<std::shared_ptr<nexo_standin::PendingRequest>> parked;
    std::map<std::string, int> sent;
  };
  std::shared_ptr<State> state_;
};

// One signed-in user's host: context, room, managers, media engine, listener and service.
struct Participant : refhost::SimHostSide {
  std::shared_ptr<refhost::SessionMediaEngine> media;
  std::shared_ptr<refhost::ReferenceEventListener> listener;
  std::shared_ptr<vanta::meta::RtcService> service;
};

class SimWorld {
 public:
  // Both users signed in, services made and attached; no conference yet.
  SimWorld() {
    basefx::SetMinLogSeverity(1);
    vanta::metrix::SetMetrixModuleObj(metrix_);
    network_test::RegisterBothModules();
    nexo_standin::SetSynchronousDelivery(true);
    nexo_standin::SetRequestTimeout(0ms);
    nexo_standin::SetTransport(parking_.transport());
    for (const char* user : {kTeacher, kStudent}) SignIn(user);
  }

  ~SimWorld() {
    Settle();
    for (auto& [user, p] : participants_) Detach(p);
    for (const char* user : {kTeacher, kStudent}) nexo_standin::ReleaseAccount({user, kTag});
    nexo_standin::SetTransport(nullptr);
    // Drops what is still parked or unanswered without a notification.
    nexo_standin::Reset();
    vanta::metrix::SetMetrixModuleObj(nullptr);
  }

  Participant& operator[](const std::string& user) { return participants_.at(user); }
  rtc_sim::AdaptorSimulator& sim() { return *sim_; }
  ParkingTransport& parking() { return parking_; }
  refhost::Sequencer& sequencer() { return sequencer_; }
  const LogCapture& logs() const { return logs_; }
  vanta::metrix::RecordingMetrixModule& metrix() { return *metrix_; }

  // The host lets go of the service: the engine drops its listener (the two keep each other
  // alive until then) and the host its pointer.
  static void Detach(Participant& p) {
    if (p.media) p.media->ClearEventListener();
    p.service.reset();
  }

  std::shared_ptr<vanta::rtc::RtcManager> RtcManager(const std::string& user) {
    return RtcClientOf({user, ""});
  }
  std::shared_ptr<vanta::sceneclass::SceneclassManager> ClassManager(const std::string& user) {
    return ClassClientOf({user, ""});
  }

  // The teacher's conference in the room, with the student as a member.
  std::string CreateConference() {
    return sim_test::CreateConference(*sim_, kRoom, kTeacher, {kStudent});
  }

  // Runs the host side's queued answers and waits until every request is answered and its
  // continuations have run, except the parked ones. False after `wait`.
  bool Settle(std::chrono::milliseconds wait = 10s) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
      while (sequencer_.RunNext()) {
      }
      const size_t parked = parking_.parked();
      // Timeouts notify from the engine's timer thread: only the engine knows when they are done.
      // Parked requests are never timed out (the timeout is off whenever a test parks).
      const bool quiet = parked == 0 ? nexo_standin::WaitUntilIdle(5ms)
                                     : nexo_standin::PendingRequestCount() == parked;
      if (quiet && sequencer_.size() == 0) return true;
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(1ms);
    }
  }

  // Runs queued host-side answers one at a time until a request is parked (or none is left).
  void RunUntilParked() {
    while (parking_.parked() == 0 && sequencer_.RunNext()) {
    }
  }

  void ClearRecords() {
    logs_.Clear();
    metrix_->Clear();
    parking_.ClearCounts();
  }

 private:
  void SignIn(const std::string& user) {
    nexo_standin::AddAccount({user, kTag});
    ASSERT_TRUE(nexo_standin::InitAccount({user, kTag}));
    Participant& p = participants_[user];
    static_cast<refhost::SimHostSide&>(p) =
        refhost::MakeSimHostSide(*sim_, user, {kRoom, "Physics", {}, kTeacher},
                                 user == kTeacher ? "teacher" : "student", &sequencer_);
    p.media = std::make_shared<refhost::SessionMediaEngine>(user, &sequencer_);
    p.listener = std::make_shared<refhost::ReferenceEventListener>();
    p.service = std::make_shared<vanta::meta::RtcService>(p.context);
    p.service->SetMediaEngine(p.media);
    p.service->SetEventListener(p.listener);
  }

  // Declared first, destroyed last: the participants' objects refer to them.
  LogCapture logs_;
  std::shared_ptr<vanta::metrix::RecordingMetrixModule> metrix_ =
      std::make_shared<vanta::metrix::RecordingMetrixModule>();
  std::unique_ptr<rtc_sim::AdaptorSimulator> sim_ = std::make_unique<rtc_sim::AdaptorSimulator>();
  ParkingTransport parking_{sim_->transport()};
  refhost::Sequencer sequencer_;
  std::map<std::string, Participant> participants_;
};

}  // namespace faults
