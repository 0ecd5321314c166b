// The service's construction, its shared helpers, and the join, leave, member and live-push
// operations.
#include "plugins/rtc/rtc_service.h"

#include <utility>

#include "network/rtc/rtc_module_impl.h"
#include "network/sceneclass/class_scene_module_impl.h"
#include "plugins/rtc/rtc_service_internal.h"
#include "vanta/metrix/metrix_module.h"

namespace vanta {
namespace meta {

RtcService::RtcService(const std::shared_ptr<ServiceContext>& context) : context_(context) {
  if (!context) return;
  user_id_ = context->GetUserId();
  room_id_ = context->GetRoomId();
  room_manager_ = context->GetRoomManager();

  // The clients are fixed now: a service made before the engine created the account's modules
  // keeps empty clients for its whole life. Services of one account may be made on several
  // host threads at once; the module serialises the key write and the making of its manager.
  const nexo::NexoUserId key{user_id_, ""};
  auto rtc_module = rtc::RtcModuleImpl::Find(key);
  if (rtc_module) rtc_module->SetManagerUid(key);
  rtc_manager_ = rtc::RtcModuleWrapper(rtc_module, key).GetRtcManager();

  auto class_module = sceneclass::ClassSceneModuleImpl::Find(key);
  if (class_module) class_module->SetManagerUid(key);
  class_manager_ = sceneclass::ClassSceneModuleWrapper(class_module, key).GetSceneclassManager();
}

RtcService::~RtcService() = default;

std::string RtcService::GetServiceName() {
  return "rtc";
}

std::string RtcService::LookupInstanceId(const Context& context, const std::string& type) {
  auto room = context->GetRoom();
  return room ? room->GetPluginInstanceId(type) : std::string();
}

std::string RtcService::LookupRtcId(const Context& context) {
  return LookupInstanceId(context, "rtc");
}

void SendReport(int32_t event_id, const ReportParams& params, int64_t code,
                const std::string& message) {
  if (auto module = metrix::GetMetrixModuleObj()) module->Report(event_id, params, code, message);
}

nexo::NexoError RtcService::Error(const std::string& reason) {
  nexo::NexoError error;
  error.reason = reason;
  return error;
}

RtcService::Pin RtcService::Pinned() {
  return Pin{this, weak_from_this().lock()};
}

// ---- attaching and pass-through engine calls -------------------------------------------------

void RtcService::SetMediaEngine(const std::shared_ptr<MediaEngine>& engine) {
  media_engine_ = engine;
  if (!engine) return;
  // Throws std::bad_weak_ptr when no shared pointer owns the service: the engine needs a
  // listener it can keep.
  std::shared_ptr<RtcMediaEventListener> listener = shared_from_this();
  engine->SetEventListener(listener);
  bool flag = true;
  if (auto context = context_.lock()) flag = context->TestUser(user_id_);
  engine->EngineCall1(flag);
}

void RtcService::SetEventListener(const std::shared_ptr<RtcEventListener>& listener) {
  event_listener_ = listener;
}

std::shared_ptr<RtcEventListener> RtcService::GetEventListener() {
  return event_listener_;
}

void RtcService::EngineCall2() {
  if (media_engine_) media_engine_->EngineCall2();
  if (context_.lock()) SendReport(102, {}, 0, "");
}

void RtcService::EngineCall3() {
  if (media_engine_) media_engine_->EngineCall3();
  if (context_.lock()) SendReport(103, {}, 0, "");
}

void RtcService::EngineCall6(const std::string& user_id) {
  if (media_engine_) media_engine_->EngineCall6(user_id);
  if (context_.lock()) SendReport(100, {{"target_uid", user_id}}, 0, "");
}

void RtcService::EngineCall7(const std::string& user_id) {
  if (media_engine_) media_engine_->EngineCall7(user_id);
  if (context_.lock()) SendReport(101, {{"target_uid", user_id}}, 0, "");
}

int32_t RtcService::EngineCall8(int32_t arg) {
  return media_engine_ ? media_engine_->EngineCall8(arg) : 0;
}

int32_t RtcService::EngineCall9(int32_t arg) {
  return media_engine_ ? media_engine_->EngineCall9(arg) : 0;
}

// ---- join --------------------------------------------------------------------------------------

void RtcService::JoinRtc(int32_t /*unused*/, const Done& on_success, const Failed& on_failure) {
  auto context = context_.lock();
  if (!context) return;
  const std::string rtc_id = LookupRtcId(context);
  if (!rtc_id.empty()) {
    JoinWithId(rtc_id, on_success, on_failure);
    return;
  }
  // No conference yet: create one, keep its id in the room, then join it.
  auto room = context->GetRoom();
  const RoomDetail detail = room ? room->GetRoomDetail() : RoomDetail();
  room::CreateRtcReq request;
  request.creator_id = user_id_;
  request.owner_id = user_id_;
  request.title = detail.title;
  if (!room_manager_) return;
  auto pin = Pinned();
  room_manager_->CreateRtc(
      request,
      [pin, context, on_success, on_failure](const room::CreateRtcRsp& rsp) {
        if (auto room = context->GetRoom()) room->SetPluginInstanceId("rtc", rsp.rtc_id);
        pin->JoinWithId(rsp.rtc_id, on_success, on_failure);
        SendReport(104, {{"rtc_id", rsp.rtc_id}}, 0, "");
      },
      [pin, context, on_failure](const nexo::NexoError& error) {
        if (pin->event_listener_) pin->event_listener_->OnError(error);
        Invoke(on_failure, error);
        SendReport(104, {{"rtc_id", ""}}, error.code, error.reason);
      });
}

void RtcService::JoinRtc(int32_t arg, const DoneCallback& callback) {
  WithCallbackObject(callback,
                     [&](const Done& s, const Failed& f) { RtcService::JoinRtc(arg, s, f); });
}

void RtcService::JoinWithId(const std::string& rtc_id, const Done& on_success,
                            const Failed& on_failure) {
  auto context = context_.lock();
  if (!context) return;
  ReportParams params{{"rtc_id", rtc_id}};
  if (!rtc_manager_) return;
  rtc::GetTokenReq request;
  request.rtc_id = rtc_id;
  auto pin = Pinned();
  rtc_manager_->GetToken(
      request,
      [pin, context, rtc_id, params, on_success](const rtc::GetTokenRsp& rsp) {
        if (rsp.token.empty()) SVC_LOG(1) << "get token error";
        // Without an engine there is no channel to join and nothing to tell the caller.
        if (!pin->media_engine_) return;
        JoinChannelInfo info;
        info.token_text4 = rsp.text4;
        info.channel_id = rtc_id;
        info.user_id = pin->user_id_;
        info.token = rsp.token;
        info.token_text6 = rsp.text6;
        info.token_number5 = rsp.number5;
        info.token_text3 = rsp.text3;
        pin->media_engine_->JoinChannel(info);
        Invoke(on_success);
        SendReport(127, params, 0, "");
      },
      [context, params, on_failure](const nexo::NexoError& error) {
        Invoke(on_failure, error);
        SendReport(127, params, error.code, error.reason);
      });
}

// ---- leave -------------------------------------------------------------------------------------

void RtcService::LeaveRtc(bool destroy, const Done& on_success, const Failed& on_failure) {
  SVC_LOG(1) << "leave channel";
  auto context = context_.lock();
  if (!context) return;
  const std::string rtc_id = LookupRtcId(context);
  if (rtc_id.empty()) return;
  ReportLeaveStatus(rtc_id);
  if (media_engine_) {
    media_engine_->LeaveChannel();
    SendReport(109, {{"rtc_id", rtc_id}}, 0, "");
  }
  if (!destroy) {
    Invoke(on_success);
    return;
  }
  // Only the room's owner may destroy the conference.
  auto again = context_.lock();
  RoomDetail detail;
  if (again) {
    if (auto room = again->GetRoom()) detail = room->GetRoomDetail();
  }
  if (again && !detail.owner_id.empty() && !user_id_.empty() && detail.owner_id == user_id_) {
    DestroyConference(on_success, on_failure);
  } else {
    Invoke(on_failure, Error("no permission to destroy rtc"));
  }
}

void RtcService::LeaveRtc(bool destroy, const DoneCallback& callback) {
  WithCallbackObject(callback,
                     [&](const Done& s, const Failed& f) { RtcService::LeaveRtc(destroy, s, f); });
}

void RtcService::DestroyConference(const Done& on_success, const Failed& on_failure) {
  auto context = context_.lock();
  if (!context) return;
  const std::string rtc_id = LookupRtcId(context);
  if (rtc_id.empty()) return;
  ReportParams params{{"rtc_id", rtc_id}};
  if (!room_manager_) return;
  room::DestroyRtcReq request;
  request.rtc_id = rtc_id;
  room_manager_->DestroyRtc(
      request,
      [context, params, on_success](const room::DestroyRtcRsp&) {
        if (auto room = context->GetRoom()) room->RemovePluginInstanceId("rtc");
        Invoke(on_success);
        SendReport(105, params, 0, "");
      },
      [context, params, on_failure](const nexo::NexoError& error) {
        Invoke(on_failure, error);
        SendReport(105, params, error.code, error.reason);
      });
}

// ---- status reports ------------------------------------------------------------------------

void RtcService::ReportLeaveStatus(const std::string& rtc_id) {
  auto context = context_.lock();
  if (!context) return;
  SVC_LOG(1) << "ReportLeaveStatus, conf_id=" << rtc_id;
  if (!rtc_manager_) return;
  rtc::ReportLeaveStatusReq request;
  request.rtc_id = rtc_id;
  ReportParams params{{"rtc_id", rtc_id}};
  rtc_manager_->ReportLeaveStatus(
      request,
      [context, params](const rtc::ReportLeaveStatusRsp&) {
        SVC_LOG(1) << "ReportLeaveStatus success";
        SendReport(126, params, 0, "");
      },
      [context, params](const nexo::NexoError& error) {
        SVC_LOG(3) << "ReportLeaveStatus failed, code=" << error.code << " msg=" << error.reason;
        SendReport(126, params, error.code, error.reason);
      });
}

void RtcService::ReportJoinStatus(const std::string& rtc_id, const int32_t& status) {
  auto context = context_.lock();
  if (!context) return;
  rtc::ReportJoinStatusReq request;
  request.rtc_id = rtc_id;
  request.user_id = user_id_;
  request.join_status = status;
  if (!rtc_manager_) return;
  ReportParams params{{"rtc_id", rtc_id}, {"join_status", std::to_string(status)}};
  rtc_manager_->ReportJoinStatus(
      request,
      [context, params](const rtc::ReportJoinStatusRsp&) { SendReport(125, params, 0, ""); },
      [context, params](const nexo::NexoError& error) {
        SendReport(125, params, error.code, error.reason);
      });
}

// ---- members -------------------------------------------------------------------------------

void RtcService::AddMembers(const std::vector<rtc::ConfUser>& members, const Done& on_success,
                            const Failed& on_failure) {
  auto context = context_.lock();
  if (!context) return;
  if (members.empty()) {
    Invoke(on_failure, Error("user_list is empty"));
    return;
  }
  const std::string rtc_id = LookupRtcId(context);
  if (rtc_id.empty()) {
    Invoke(on_failure, Error("rtc_id is empty"));
    return;
  }
  std::string user_list;
  for (size_t i = 0; i < members.size(); ++i) {
    if (i > 0) user_list += ",";
    user_list += members[i].user_id;
  }
  ReportParams params{{"rtc_id", rtc_id}, {"user_list", user_list}};
  if (!rtc_manager_) return;
  rtc::AddMembersReq request;
  request.rtc_id = rtc_id;
  request.members = members;
  ReportParams failure_params{{"room_id", room_id_}, {"rtc_id", rtc_id}, {"user_list", user_list}};
  rtc_manager_->AddMembers(
      request,
      [context, params, on_success](const rtc::AddMembersRsp&) {
        Invoke(on_success);
        SendReport(110, params, 0, "");
      },
      [context, failure_params, on_failure](const nexo::NexoError& error) {
        Invoke(on_failure, error);
        SendReport(110, failure_params, error.code, error.reason);
      });
}

void RtcService::AddMembers(const std::vector<rtc::ConfUser>& members,
                            const DoneCallback& callback) {
  WithCallbackObject(
      callback, [&](const Done& s, const Failed& f) { RtcService::AddMembers(members, s, f); });
}

namespace {

// ListConfUser and ListApplyLinkMicUser: the caller's record with the room's conference id,
// the success function handed to the client as it is.
template <typename Req, typename Rsp, typename Manager, typename Send>
void ListWithRtcId(const std::shared_ptr<ServiceContext>& context, const std::string& rtc_id,
                   const std::shared_ptr<Manager>& manager, const Req& req,
                   const RtcSuccessFunc<Rsp>& on_success, const RtcFailureFunc& on_failure,
                   Send send) {
  if (rtc_id.empty()) {
    nexo::NexoError error;
    error.reason = "no rtc";
    Invoke(on_failure, error);
    return;
  }
  if (!manager) return;
  Req request = req;
  request.rtc_id = rtc_id;
  ((*manager).*send)(request, on_success, [context, on_failure](const nexo::NexoError& error) {
    Invoke(on_failure, error);
  });
}

}  // namespace

void RtcService::ListConfUser(const rtc::ListConfUserReq& req,
                              const RtcSuccessFunc<rtc::ListConfUserRsp>& on_success,
                              const Failed& on_failure) {
  auto context = context_.lock();
  if (!context) return;
  using Send = void (rtc::RtcManager::*)(const rtc::ListConfUserReq&,
                                         const std::function<void(const rtc::ListConfUserRsp&)>&,
                                         const std::function<void(const nexo::NexoError&)>&);
  ListWithRtcId(context, LookupRtcId(context), rtc_manager_, req, on_success, on_failure,
                static_cast<Send>(&rtc::RtcManager::ListConfUser));
}

void RtcService::ListConfUser(const rtc::ListConfUserReq& req,
                              const RtcResultCallbackPtr<rtc::ListConfUserRsp>& callback) {
  WithCallbackObject(callback, [&](const RtcSuccessFunc<rtc::ListConfUserRsp>& s, const Failed& f) {
    RtcService::ListConfUser(req, s, f);
  });
}

void RtcService::ListApplyLinkMicUser(
    const rtc::ListApplyLinkMicUserReq& req,
    const RtcSuccessFunc<rtc::ListApplyLinkMicUserRsp>& on_success, const Failed& on_failure) {
  auto context = context_.lock();
  if (!context) return;
  using Send =
      void (rtc::RtcManager::*)(const rtc::ListApplyLinkMicUserReq&,
                                const std::function<void(const rtc::ListApplyLinkMicUserRsp&)>&,
                                const std::function<void(const nexo::NexoError&)>&);
  ListWithRtcId(context, LookupRtcId(context), rtc_manager_, req, on_success, on_failure,
                static_cast<Send>(&rtc::RtcManager::ListApplyLinkMicUser));
}

void RtcService::ListApplyLinkMicUser(
    const rtc::ListApplyLinkMicUserReq& req,
    const RtcResultCallbackPtr<rtc::ListApplyLinkMicUserRsp>& callback) {
  WithCallbackObject(callback,
                     [&](const RtcSuccessFunc<rtc::ListApplyLinkMicUserRsp>& s, const Failed& f) {
                       RtcService::ListApplyLinkMicUser(req, s, f);
                     });
}

// ---- live push -------------------------------------------------------------------------------

std::shared_ptr<LiveManager> RtcService::GetLiveManager() {
  auto context = context_.lock();
  if (!context) return nullptr;
  auto module = context->GetLiveModule();
  return module ? module->GetLiveManager() : nullptr;
}

void RtcService::StartRoadPublish(const Done& on_success, const Failed& on_failure) {
  SVC_LOG(1) << "StartRoadPublish";
  auto context = context_.lock();
  if (!context) return;
  const std::string rtc_id = LookupRtcId(context);
  if (rtc_id.empty()) return;
  auto pin = Pinned();

  auto on_push_address = [pin, context, rtc_id, on_success,
                          on_failure](const std::string& push_url) {
    SendReport(107, {{"rtc_id", rtc_id}, {"push_url", push_url}}, 0, "");
    if (!pin->rtc_manager_) return;
    rtc::PushLiveStreamReq request;
    request.rtc_id = rtc_id;
    request.push_url = push_url;
    request.number3 = 1;
    pin->rtc_manager_->PushLiveStream(
        request,
        [pin, context, rtc_id, on_success](const rtc::PushLiveStreamRsp&) {
          // Publishing runs on its own: the caller hears of the push, not of the publish.
          pin->PublishLive();
          Invoke(on_success);
          SendReport(106, {{"rtc_id", rtc_id}}, 0, "");
        },
        [context, rtc_id, on_failure](const nexo::NexoError& error) {
          Invoke(on_failure, error);
          SendReport(106, {{"rtc_id", rtc_id}}, -1, error.reason);
        });
  };
  auto on_early_failure = [context, rtc_id, on_failure](const nexo::NexoError& error) {
    Invoke(on_failure, error);
    SendReport(107, {{"rtc_id", rtc_id}, {"push_url", ""}}, -1, error.reason);
  };
  ObtainPushAddress(on_push_address, on_early_failure);
}

void RtcService::StartRoadPublish(const DoneCallback& callback) {
  WithCallbackObject(callback,
                     [&](const Done& s, const Failed& f) { RtcService::StartRoadPublish(s, f); });
}

void RtcService::ObtainPushAddress(const std::function<void(const std::string&)>& on_push_address,
                                   const Failed& on_early_failure) {
  auto context = context_.lock();
  if (!context) return;
  const std::string live_id = LookupInstanceId(context, "live");
  if (!live_id.empty()) {
    auto live_manager = GetLiveManager();
    if (!live_manager) {
      on_early_failure(Error("no live_manager"));
      return;
    }
    live_manager->GetLiveDetail(
        live_id,
        [on_push_address](const live::LiveDetail& detail) { on_push_address(detail.push_url); },
        on_early_failure);
    return;
  }
  // The room has no live yet: create one and keep its id in the room.
  auto room = context->GetRoom();
  const RoomDetail detail = room ? room->GetRoomDetail() : RoomDetail();
  room::CreateLiveReq request;
  request.owner_id = user_id_;
  request.title = detail.title;
  if (!room_manager_) return;
  room_manager_->CreateLive(
      request,
      [context, on_push_address](const room::CreateLiveRsp& rsp) {
        if (auto room = context->GetRoom()) room->SetPluginInstanceId("live", rsp.live_id);
        on_push_address(rsp.push_url);
      },
      on_early_failure);
}

void RtcService::PublishLive() {
  auto context = context_.lock();
  if (!context) return;
  const std::string live_id = LookupInstanceId(context, "live");
  if (live_id.empty()) return;
  auto live_manager = GetLiveManager();
  if (!live_manager) return;
  live::PublishLiveReq request;
  request.live_id = live_id;
  live_manager->PublishLive(
      request,
      [context](const live::PublishLiveRsp& rsp) {
        SVC_LOG(1) << "PublishLive Success";
        SendReport(124,
                   {{"live_id", rsp.live_id},
                    {"push_url", rsp.push_url},
                    {"pull_url", rsp.pull_url},
                    {"live_status", std::to_string(rsp.live_status)}},
                   0, "");
      },
      [context](const nexo::NexoError& error) {
        SVC_LOG(1) << "PublishLive error: " << error.reason;
        SendReport(124, {{"live_id", ""}, {"push_url", ""}, {"pull_url", ""}, {"live_status", ""}},
                   error.code, error.reason);
      });
}

}  // namespace meta
}  // namespace vanta
