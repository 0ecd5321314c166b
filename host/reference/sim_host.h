// The host side of a session against the adaptor simulator: a room whose instance ids live in
// the simulator's per-room directory (so every host of the room sees the conference the teacher
// created), and room and live managers that create, destroy and publish through the
// simulator's host-side calls.
//
// The managers answer from their own reply thread (through a Sequencer when given one), like a
// host whose managers talk to a server; a refused call fails with the simulator's Status as a
// NexoError. Each call and answer is also handed to the observer, on the calling and on the
// reply thread. The simulator must outlive these objects and their pending answers.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "reference/media_engine.h"
#include "reference/room.h"
#include "reference/sequencer.h"
#include "rtc_sim/simulator.h"
#include "vanta/meta/live_manager.h"
#include "vanta/meta/room.h"
#include "vanta/meta/room_manager.h"

namespace refhost {

// One call of a manager ("CreateRtc", answer false) or its answer (answer true).
struct HostNote {
  std::string user;
  std::string op;
  bool answer = false;
  bool failed = false;
  std::string detail;  // the request's or the answer's fields, "key=value" separated by blanks
};
using HostObserver = std::function<void(const HostNote& note)>;

class SimRoom : public vanta::meta::Room {
 public:
  SimRoom(rtc_sim::AdaptorSimulator& simulator, vanta::meta::RoomDetail detail);

  std::string GetPluginInstanceId(const std::string& type) override;
  void SetPluginInstanceId(const std::string& type, const std::string& id) override;
  void RemovePluginInstanceId(const std::string& type) override;
  vanta::meta::RoomDetail GetRoomDetail() override { return detail_; }

 private:
  rtc_sim::AdaptorSimulator& simulator_;
  const vanta::meta::RoomDetail detail_;
};

class SimRoomManager : public vanta::meta::RoomManager {
 public:
  SimRoomManager(rtc_sim::AdaptorSimulator& simulator, std::string user_id, std::string room_id,
                 Sequencer* sequencer = nullptr, HostObserver observer = nullptr);

  void CreateLive(const vanta::room::CreateLiveReq& req,
                  const vanta::meta::RtcSuccessFunc<vanta::room::CreateLiveRsp>& on_success,
                  const vanta::meta::RtcFailureFunc& on_failure) override;
  void CreateRtc(const vanta::room::CreateRtcReq& req,
                 const vanta::meta::RtcSuccessFunc<vanta::room::CreateRtcRsp>& on_success,
                 const vanta::meta::RtcFailureFunc& on_failure) override;
  void DestroyRtc(const vanta::room::DestroyRtcReq& req,
                  const vanta::meta::RtcSuccessFunc<vanta::room::DestroyRtcRsp>& on_success,
                  const vanta::meta::RtcFailureFunc& on_failure) override;

  ReplyWorker& reply_thread() { return worker_; }

 private:
  rtc_sim::AdaptorSimulator& simulator_;
  const std::string user_id_;
  const std::string room_id_;
  Sequencer* const sequencer_;
  const HostObserver observer_;
  ReplyWorker worker_;
};

class SimLiveManager : public vanta::meta::LiveManager {
 public:
  SimLiveManager(rtc_sim::AdaptorSimulator& simulator, std::string user_id,
                 Sequencer* sequencer = nullptr, HostObserver observer = nullptr);

  void PublishLive(const vanta::live::PublishLiveReq& req,
                   const vanta::meta::RtcSuccessFunc<vanta::live::PublishLiveRsp>& on_success,
                   const vanta::meta::RtcFailureFunc& on_failure) override;
  void GetLiveDetail(const std::string& live_id,
                     const vanta::meta::RtcSuccessFunc<vanta::live::LiveDetail>& on_success,
                     const vanta::meta::RtcFailureFunc& on_failure) override;

  ReplyWorker& reply_thread() { return worker_; }

 private:
  rtc_sim::AdaptorSimulator& simulator_;
  const std::string user_id_;
  Sequencer* const sequencer_;
  const HostObserver observer_;
  ReplyWorker worker_;
};

// What a host holds for one user in a room of the simulator: the service context, wired to the
// room, the managers and the live module with the user's record ("teacher", "student", ...), as
// a host sets it up before asking the plug-in for a service. The media engine and the event
// listener stay the caller's, who may keep them across services.
struct SimHostSide {
  std::string user;
  std::shared_ptr<ReferenceServiceContext> context;
  std::shared_ptr<SimRoom> room;
  std::shared_ptr<SimRoomManager> room_manager;
  std::shared_ptr<SimLiveManager> live_manager;
  std::shared_ptr<ReferenceLiveModule> live_module;
};
SimHostSide MakeSimHostSide(rtc_sim::AdaptorSimulator& simulator, const std::string& user,
                            const vanta::meta::RoomDetail& room, const std::string& role,
                            Sequencer* sequencer = nullptr, HostObserver observer = nullptr);

}  // namespace refhost
