#include "reference/sim_host.h"

#include <utility>

namespace refhost {

namespace {

// Notes the call, then, on the reply thread, runs it against the simulator, notes the answer
// and calls back.
template <class Rsp>
void Serve(Sequencer* sequencer, ReplyWorker& worker, const HostObserver& observer, HostNote note,
           std::function<rtc_sim::Status(Rsp*)> call,
           std::function<std::string(const Rsp&)> describe,
           const vanta::meta::RtcSuccessFunc<Rsp>& on_success,
           const vanta::meta::RtcFailureFunc& on_failure) {
  if (observer) observer(note);
  Dispatch(sequencer, worker,
           [observer, note = std::move(note), call = std::move(call),
            describe = std::move(describe), on_success, on_failure]() mutable {
             Rsp rsp{};
             const rtc_sim::Status status = call(&rsp);
             note.answer = true;
             note.failed = !status.ok();
             note.detail = status.ok()
                               ? describe(rsp)
                               : "code=" + std::to_string(status.code) + " reason=" + status.reason;
             if (observer) observer(note);
             if (status.ok()) {
               if (on_success) on_success(rsp);
             } else if (on_failure) {
               on_failure(rtc_sim::ToNexoError(status));
             }
           });
}

}  // namespace

SimRoom::SimRoom(rtc_sim::AdaptorSimulator& simulator, vanta::meta::RoomDetail detail)
    : simulator_(simulator), detail_(std::move(detail)) {}

std::string SimRoom::GetPluginInstanceId(const std::string& type) {
  return simulator_.InstanceId(detail_.room_id, type);
}

void SimRoom::SetPluginInstanceId(const std::string& type, const std::string& id) {
  simulator_.SetInstanceId(detail_.room_id, type, id);
}

void SimRoom::RemovePluginInstanceId(const std::string& type) {
  simulator_.RemoveInstanceId(detail_.room_id, type);
}

SimRoomManager::SimRoomManager(rtc_sim::AdaptorSimulator& simulator, std::string user_id,
                               std::string room_id, Sequencer* sequencer, HostObserver observer)
    : simulator_(simulator),
      user_id_(std::move(user_id)),
      room_id_(std::move(room_id)),
      sequencer_(sequencer),
      observer_(std::move(observer)) {}

void SimRoomManager::CreateLive(
    const vanta::room::CreateLiveReq& req,
    const vanta::meta::RtcSuccessFunc<vanta::room::CreateLiveRsp>& on_success,
    const vanta::meta::RtcFailureFunc& on_failure) {
  Serve<vanta::room::CreateLiveRsp>(
      sequencer_, worker_, observer_,
      {user_id_, "room manager CreateLive", false, false,
       "owner_id=" + req.owner_id + " title=" + req.title},
      [this, req](vanta::room::CreateLiveRsp* rsp) {
        return simulator_.CreateLive(room_id_, req, rsp);
      },
      [](const vanta::room::CreateLiveRsp& rsp) {
        return "live_id=" + rsp.live_id + " push_url=" + rsp.push_url;
      },
      on_success, on_failure);
}

void SimRoomManager::CreateRtc(
    const vanta::room::CreateRtcReq& req,
    const vanta::meta::RtcSuccessFunc<vanta::room::CreateRtcRsp>& on_success,
    const vanta::meta::RtcFailureFunc& on_failure) {
  Serve<vanta::room::CreateRtcRsp>(
      sequencer_, worker_, observer_,
      {user_id_, "room manager CreateRtc", false, false,
       "owner_id=" + req.owner_id + " title=" + req.title},
      [this, req](vanta::room::CreateRtcRsp* rsp) {
        return simulator_.CreateConference(room_id_, req, rsp);
      },
      [](const vanta::room::CreateRtcRsp& rsp) { return "rtc_id=" + rsp.rtc_id; }, on_success,
      on_failure);
}

void SimRoomManager::DestroyRtc(
    const vanta::room::DestroyRtcReq& req,
    const vanta::meta::RtcSuccessFunc<vanta::room::DestroyRtcRsp>& on_success,
    const vanta::meta::RtcFailureFunc& on_failure) {
  Serve<vanta::room::DestroyRtcRsp>(
      sequencer_, worker_, observer_,
      {user_id_, "room manager DestroyRtc", false, false, "rtc_id=" + req.rtc_id},
      [this, req](vanta::room::DestroyRtcRsp*) {
        return simulator_.DestroyConference(user_id_, req);
      },
      [](const vanta::room::DestroyRtcRsp&) { return std::string("destroyed"); }, on_success,
      on_failure);
}

SimLiveManager::SimLiveManager(rtc_sim::AdaptorSimulator& simulator, std::string user_id,
                               Sequencer* sequencer, HostObserver observer)
    : simulator_(simulator),
      user_id_(std::move(user_id)),
      sequencer_(sequencer),
      observer_(std::move(observer)) {}

void SimLiveManager::PublishLive(
    const vanta::live::PublishLiveReq& req,
    const vanta::meta::RtcSuccessFunc<vanta::live::PublishLiveRsp>& on_success,
    const vanta::meta::RtcFailureFunc& on_failure) {
  Serve<vanta::live::PublishLiveRsp>(
      sequencer_, worker_, observer_,
      {user_id_, "live manager PublishLive", false, false, "live_id=" + req.live_id},
      [this, req](vanta::live::PublishLiveRsp* rsp) {
        return simulator_.PublishLive(user_id_, req, rsp);
      },
      [](const vanta::live::PublishLiveRsp& rsp) {
        return "pull_url=" + rsp.pull_url + " live_status=" + std::to_string(rsp.live_status);
      },
      on_success, on_failure);
}

void SimLiveManager::GetLiveDetail(
    const std::string& live_id,
    const vanta::meta::RtcSuccessFunc<vanta::live::LiveDetail>& on_success,
    const vanta::meta::RtcFailureFunc& on_failure) {
  Serve<vanta::live::LiveDetail>(
      sequencer_, worker_, observer_,
      {user_id_, "live manager GetLiveDetail", false, false, "live_id=" + live_id},
      [this, live_id](vanta::live::LiveDetail* detail) {
        return simulator_.GetLiveDetail(live_id, detail);
      },
      [](const vanta::live::LiveDetail& detail) { return "push_url=" + detail.push_url; },
      on_success, on_failure);
}

SimHostSide MakeSimHostSide(rtc_sim::AdaptorSimulator& simulator, const std::string& user,
                            const vanta::meta::RoomDetail& room, const std::string& role,
                            Sequencer* sequencer, HostObserver observer) {
  SimHostSide side;
  side.user = user;
  side.context = std::make_shared<ReferenceServiceContext>(user, room.room_id);
  side.room = std::make_shared<SimRoom>(simulator, room);
  side.room_manager =
      std::make_shared<SimRoomManager>(simulator, user, room.room_id, sequencer, observer);
  side.live_manager = std::make_shared<SimLiveManager>(simulator, user, sequencer, observer);
  side.live_module = std::make_shared<ReferenceLiveModule>(side.live_manager);
  side.context->SetRoom(side.room);
  side.context->SetRoomManager(side.room_manager);
  side.context->SetLiveModule(side.live_module);
  side.context->SetUserRecord({user, {}, role, user});
  return side;
}

}  // namespace refhost
