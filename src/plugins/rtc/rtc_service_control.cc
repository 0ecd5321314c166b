// Conference control: link-mic, members, recording, detail, screen sharing, layout, muting and
// the class-scene operations.
#include <utility>

#include "plugins/rtc/rtc_service.h"
#include "plugins/rtc/rtc_service_internal.h"

namespace vanta {
namespace meta {
namespace {

// What a request operation does with its answer: the success line, the caller's function, the
// monitoring report (event 0: none); or the failure line, the caller's function, the report.
struct Outcome {
  const char* success_line;
  const char* failure_prefix;
  int32_t event_id;
};

template <typename Rsp>
std::function<void(const Rsp&)> OnAnswer(const Outcome& outcome,
                                         std::shared_ptr<ServiceContext> context,
                                         ReportParams params, RtcSuccessFunc<> on_success) {
  return [outcome, context = std::move(context), params = std::move(params),
          on_success = std::move(on_success)](const Rsp&) {
    SVC_LOG(1) << outcome.success_line;
    Invoke(on_success);
    if (outcome.event_id != 0) SendReport(outcome.event_id, params, 0, "");
  };
}

std::function<void(const nexo::NexoError&)> OnError(const Outcome& outcome,
                                                    std::shared_ptr<ServiceContext> context,
                                                    ReportParams params,
                                                    RtcFailureFunc on_failure) {
  return [outcome, context = std::move(context), params = std::move(params),
          on_failure = std::move(on_failure)](const nexo::NexoError& error) {
    SVC_LOG(3) << outcome.failure_prefix << "code=" << error.code << " msg=" << error.reason;
    Invoke(on_failure, error);
    if (outcome.event_id != 0) SendReport(outcome.event_id, params, error.code, error.reason);
  };
}

constexpr Outcome kApplyLinkMic{"ApplyLinkMic success", "ApplyLinkMic failed, ", 122};
constexpr Outcome kApproveLinkMic{"ApproveLinkMic success", "ApproveLinkMic failed, ", 0};
constexpr Outcome kKickUser{"KickUserFromRtc success", "KickUserFromRtc failed, ", 111};
constexpr Outcome kStartRecord{"StartRecord success", "StartRecord failed, ", 112};
constexpr Outcome kStopRecord{"StopRecord success", "StopRecord failed, ", 113};
constexpr Outcome kGetConfDetail{"GetConfDetail success", "GetConfDetail failed, ", 0};
constexpr Outcome kShareScreen{"ShareScreen success", "ShareScreen failed, ", 0};
constexpr Outcome kSetLayout{"SetLayout success", "SetLayout failed, ", 0};
constexpr Outcome kMuteAll{"RtcMuteAll success", "RtcMuteAll failed, ", 0};
constexpr Outcome kMuteUser{"RtcMuteUser success", "RtcMuteUser failed, ", 0};

template <typename Req, typename Rsp>
using Send = void (rtc::RtcManager::*)(const Req&, const std::function<void(const Rsp&)>&,
                                       const std::function<void(const nexo::NexoError&)>&);

// The tail every request operation shares: without an RTC client nothing happens; otherwise
// the request goes out and its answer is handled as `outcome` says. The continuations hold the
// context until they have run.
template <typename Req, typename Rsp>
void SendRequest(const std::shared_ptr<rtc::RtcManager>& manager, Send<Req, Rsp> send,
                 const Req& request, const Outcome& outcome,
                 const std::shared_ptr<ServiceContext>& context, ReportParams params,
                 const RtcSuccessFunc<>& on_success, const RtcFailureFunc& on_failure) {
  if (!manager) return;
  // Two statements: argument order is unspecified, and the failure wrapper takes the
  // parameters over only once the success wrapper has its copy.
  auto on_answer = OnAnswer<Rsp>(outcome, context, params, on_success);
  auto on_error = OnError(outcome, context, std::move(params), on_failure);
  ((*manager).*send)(request, std::move(on_answer), std::move(on_error));
}

// The operations that need a conference refuse at once without one.
bool HasConference(const std::string& rtc_id, const RtcFailureFunc& on_failure) {
  if (!rtc_id.empty()) return true;
  nexo::NexoError error;
  error.reason = "rtc_id is empty";
  Invoke(on_failure, error);
  return false;
}

}  // namespace

// ---- link-mic --------------------------------------------------------------------------------

void RtcService::ApplyLinkMic(bool apply, const Done& on_success, const Failed& on_failure) {
  auto context = context_.lock();
  if (!context) return;
  const std::string rtc_id = LookupRtcId(context);
  SVC_LOG(1) << "ApplyLinkMic success, apply=" << apply << " , rtc_id=" << rtc_id;
  rtc::ApplyLinkMicReq request;
  request.rtc_id = rtc_id;
  request.apply = apply;
  SendRequest(rtc_manager_, &rtc::RtcManager::ApplyLinkMic, request, kApplyLinkMic, context,
              {{"rtc_id", rtc_id}, {"apply", apply ? "1" : "0"}}, on_success, on_failure);
}

void RtcService::ApplyLinkMic(bool apply, const DoneCallback& callback) {
  WithCallbackObject(
      callback, [&](const Done& s, const Failed& f) { RtcService::ApplyLinkMic(apply, s, f); });
}

void RtcService::ApproveLinkMic(const std::string& user_id, bool approve, const Done& on_success,
                                const Failed& on_failure) {
  auto context = context_.lock();
  if (!context) return;
  const std::string rtc_id = LookupRtcId(context);
  SVC_LOG(1) << "ApproveLinkMic success, approve=" << approve << " , rtc_id=" << rtc_id;
  // Approving oneself needs no request: a refusal is reported as the join status.
  if (user_id == user_id_) {
    if (!approve) ReportJoinStatus(rtc_id, 4);
    return;
  }
  rtc::ApproveLinkMicReq request;
  request.rtc_id = rtc_id;
  request.user_id = user_id;
  request.approve = approve;
  SendRequest(rtc_manager_, &rtc::RtcManager::ApproveLinkMic, request, kApproveLinkMic, context, {},
              on_success, on_failure);
}

void RtcService::ApproveLinkMic(const std::string& user_id, bool approve,
                                const DoneCallback& callback) {
  WithCallbackObject(callback, [&](const Done& s, const Failed& f) {
    RtcService::ApproveLinkMic(user_id, approve, s, f);
  });
}

// ---- members and recording -----------------------------------------------------------------

void RtcService::KickUserFromRtc(const std::vector<std::string>& user_ids, const Done& on_success,
                                 const Failed& on_failure) {
  auto context = context_.lock();
  if (!context) return;
  const std::string rtc_id = LookupRtcId(context);
  SVC_LOG(1) << "KickUserFromRtc, approve="
             << "rtc_id=" << rtc_id;
  std::string user_list;
  for (const auto& id : user_ids) {
    if (!user_list.empty()) user_list += ",";
    user_list += id;
  }
  rtc::KickMembersReq request;
  request.rtc_id = rtc_id;
  request.user_ids = user_ids;
  SendRequest(rtc_manager_, &rtc::RtcManager::KickMembers, request, kKickUser, context,
              {{"rtc_id", rtc_id}, {"user_list", user_list}}, on_success, on_failure);
}

void RtcService::KickUserFromRtc(const std::vector<std::string>& user_ids,
                                 const DoneCallback& callback) {
  WithCallbackObject(callback, [&](const Done& s, const Failed& f) {
    RtcService::KickUserFromRtc(user_ids, s, f);
  });
}

void RtcService::StartRecord(const Done& on_success, const Failed& on_failure) {
  auto context = context_.lock();
  if (!context) return;
  const std::string rtc_id = LookupRtcId(context);
  SVC_LOG(1) << "StartRecord, approve="
             << "rtc_id=" << rtc_id;
  rtc::StartRecordReq request;
  request.rtc_id = rtc_id;
  request.number2 = 1;
  SendRequest(rtc_manager_, &rtc::RtcManager::StartRecord, request, kStartRecord, context,
              {{"rtc_id", rtc_id}}, on_success, on_failure);
}

void RtcService::StartRecord(const DoneCallback& callback) {
  WithCallbackObject(callback,
                     [&](const Done& s, const Failed& f) { RtcService::StartRecord(s, f); });
}

void RtcService::StopRecord(const Done& on_success, const Failed& on_failure) {
  auto context = context_.lock();
  if (!context) return;
  const std::string rtc_id = LookupRtcId(context);
  SVC_LOG(1) << "StopRecord, approve="
             << "rtc_id=" << rtc_id;
  rtc::StopRecordReq request;
  request.rtc_id = rtc_id;
  SendRequest(rtc_manager_, &rtc::RtcManager::StopRecord, request, kStopRecord, context,
              {{"rtc_id", rtc_id}}, on_success, on_failure);
}

void RtcService::StopRecord(const DoneCallback& callback) {
  WithCallbackObject(callback,
                     [&](const Done& s, const Failed& f) { RtcService::StopRecord(s, f); });
}

void RtcService::GetConfDetail(const RtcSuccessFunc<rtc::GetConfDetailRsp>& on_success,
                               const Failed& on_failure) {
  auto context = context_.lock();
  if (!context) return;
  const std::string rtc_id = LookupRtcId(context);
  if (!rtc_manager_) return;
  rtc::GetConfDetailReq request;
  request.rtc_id = rtc_id;
  rtc_manager_->GetConfDetail(
      request,
      [context, on_success](const rtc::GetConfDetailRsp& rsp) {
        SVC_LOG(1) << kGetConfDetail.success_line;
        Invoke(on_success, rsp);
      },
      OnError(kGetConfDetail, context, {}, on_failure));
}

void RtcService::GetConfDetail(const RtcResultCallbackPtr<rtc::GetConfDetailRsp>& callback) {
  WithCallbackObject(callback, [&](const RtcSuccessFunc<rtc::GetConfDetailRsp>& s,
                                   const Failed& f) { RtcService::GetConfDetail(s, f); });
}

// ---- screen sharing --------------------------------------------------------------------------

int32_t RtcService::EngineCall27(int32_t arg1, int32_t arg2) {
  return media_engine_ ? media_engine_->EngineCall27(arg1, arg2) : 0;
}

void RtcService::StartScreenShare(int32_t arg1, int32_t arg2, const Done& on_success,
                                  const Failed& on_failure) {
  StartScreenShareWith(false, arg1, arg2, on_success, on_failure);
}

void RtcService::StartScreenShare(int32_t arg1, int32_t arg2, const DoneCallback& callback) {
  WithCallbackObject(callback, [&](const Done& s, const Failed& f) {
    RtcService::StartScreenShare(arg1, arg2, s, f);
  });
}

void RtcService::StartScreenShareAlt(int32_t arg1, int32_t arg2, const Done& on_success,
                                     const Failed& on_failure) {
  StartScreenShareWith(true, arg1, arg2, on_success, on_failure);
}

void RtcService::StartScreenShareAlt(int32_t arg1, int32_t arg2, const DoneCallback& callback) {
  WithCallbackObject(callback, [&](const Done& s, const Failed& f) {
    RtcService::StartScreenShareAlt(arg1, arg2, s, f);
  });
}

// The engine starts sharing; the conference is told once the engine reports the share state
// (OnScreenShareStateChanged), and only then does the caller hear back.
void RtcService::StartScreenShareWith(bool alt, int32_t arg1, int32_t arg2, const Done& on_success,
                                      const Failed& on_failure) {
  auto context = context_.lock();
  if (!context) return;
  if (!HasConference(LookupRtcId(context), on_failure)) return;
  if (!media_engine_) return;
  const int32_t result = alt ? media_engine_->StartScreenShareAlt(arg1, arg2)
                             : media_engine_->StartScreenShareByDesktopId(arg1, arg2);
  if (result != 0) {
    Invoke(on_failure, Error("rtc StartScreenShareByDesktopId failed"));
    return;
  }
  std::lock_guard<std::mutex> lock(share_mutex_);
  share_start_success_ = on_success;
  share_start_failure_ = on_failure;
}

void RtcService::ShareScreenStarted(const Context& context, const std::string& rtc_id) {
  if (!rtc_manager_) return;
  rtc::ShareScreenReq request;
  request.rtc_id = rtc_id;
  request.share = true;
  // The wrappers read the stored callbacks when the answer arrives, not now.
  auto pin = Pinned();
  rtc_manager_->ShareScreen(
      request,
      [pin, context](const rtc::ShareScreenRsp&) {
        SVC_LOG(1) << kShareScreen.success_line;
        Invoke(pin->StoredStartSuccess());
      },
      [pin, context](const nexo::NexoError& error) {
        SVC_LOG(3) << kShareScreen.failure_prefix << "code=" << error.code
                   << " msg=" << error.reason;
        Invoke(pin->StoredStartFailure(), error);
      });
}

void RtcService::StopScreenShare(const Done& on_success, const Failed& on_failure) {
  auto context = context_.lock();
  if (!context) return;
  const std::string rtc_id = LookupRtcId(context);
  if (!HasConference(rtc_id, on_failure)) return;
  {
    std::lock_guard<std::mutex> lock(share_mutex_);
    share_stop_success_ = on_success;
  }
  if (!rtc_manager_) return;
  rtc::ShareScreenReq request;
  request.rtc_id = rtc_id;
  request.share = false;
  auto pin = Pinned();
  // The caller's success is reported by the engine's state event (share_stop_success_); the
  // answer here only tells the engine to stop.
  rtc_manager_->ShareScreen(
      request,
      [pin, context, on_success](const rtc::ShareScreenRsp&) {
        SVC_LOG(1) << kShareScreen.success_line;
        if (on_success && pin->media_engine_) pin->media_engine_->EngineCall30();
      },
      OnError(kShareScreen, context, {}, on_failure));
}

void RtcService::StopScreenShare(const DoneCallback& callback) {
  WithCallbackObject(callback,
                     [&](const Done& s, const Failed& f) { RtcService::StopScreenShare(s, f); });
}

RtcService::Done RtcService::StoredStartSuccess() {
  std::lock_guard<std::mutex> lock(share_mutex_);
  return share_start_success_;
}

RtcService::Failed RtcService::StoredStartFailure() {
  std::lock_guard<std::mutex> lock(share_mutex_);
  return share_start_failure_;
}

RtcService::Done RtcService::StoredStopSuccess() {
  std::lock_guard<std::mutex> lock(share_mutex_);
  return share_stop_success_;
}

// ---- layout and muting -----------------------------------------------------------------------

void RtcService::SetLayout(const std::vector<std::string>& user_ids, int32_t layout,
                           const Done& on_success, const Failed& on_failure) {
  auto context = context_.lock();
  if (!context) return;
  const std::string rtc_id = LookupRtcId(context);
  if (!HasConference(rtc_id, on_failure)) return;
  rtc::SetLayoutReq request;
  request.rtc_id = rtc_id;
  request.user_ids = user_ids;
  request.layout = layout;
  SendRequest(rtc_manager_, &rtc::RtcManager::SetLayout, request, kSetLayout, context, {},
              on_success, on_failure);
}

void RtcService::SetLayout(const std::vector<std::string>& user_ids, int32_t layout,
                           const DoneCallback& callback) {
  WithCallbackObject(callback, [&](const Done& s, const Failed& f) {
    RtcService::SetLayout(user_ids, layout, s, f);
  });
}

int32_t RtcService::EngineCall31(int32_t arg) {
  return media_engine_ ? media_engine_->EngineCall31(arg) : 0;
}

int32_t RtcService::EngineCall32(int32_t arg) {
  return media_engine_ ? media_engine_->EngineCall32(arg) : 0;
}

void RtcService::RtcMuteAll(bool mute, const Done& on_success, const Failed& on_failure) {
  auto context = context_.lock();
  if (!context) return;
  const std::string rtc_id = LookupRtcId(context);
  if (!HasConference(rtc_id, on_failure)) return;
  rtc::RtcMuteAllReq request;
  request.rtc_id = rtc_id;
  request.mute = mute;
  SendRequest(rtc_manager_, &rtc::RtcManager::RtcMuteAll, request, kMuteAll, context, {},
              on_success, on_failure);
}

void RtcService::RtcMuteAll(bool mute, const DoneCallback& callback) {
  WithCallbackObject(callback,
                     [&](const Done& s, const Failed& f) { RtcService::RtcMuteAll(mute, s, f); });
}

void RtcService::RtcMuteUser(const std::string& user_id, bool mute, const Done& on_success,
                             const Failed& on_failure) {
  auto context = context_.lock();
  if (!context) return;
  const std::string rtc_id = LookupRtcId(context);
  if (!HasConference(rtc_id, on_failure)) return;
  rtc::RtcMuteUserReq request;
  request.rtc_id = rtc_id;
  request.user_id = user_id;
  request.mute = mute;
  SendRequest(rtc_manager_, &rtc::RtcManager::RtcMuteUser, request, kMuteUser, context, {},
              on_success, on_failure);
}

void RtcService::RtcMuteUser(const std::string& user_id, bool mute, const DoneCallback& callback) {
  WithCallbackObject(callback, [&](const Done& s, const Failed& f) {
    RtcService::RtcMuteUser(user_id, mute, s, f);
  });
}

// ---- class scenes ----------------------------------------------------------------------------
// The class-scene client logs and calls back itself; the service only routes.

void RtcService::StartClass(const sceneclass::StartClassReq& req,
                            const RtcSuccessFunc<sceneclass::StartClassRsp>& on_success,
                            const Failed& on_failure) {
  if (context_.lock() && class_manager_) class_manager_->StartClass(req, on_success, on_failure);
}

void RtcService::StartClass(const sceneclass::StartClassReq& req,
                            const RtcResultCallbackPtr<sceneclass::StartClassRsp>& callback) {
  WithCallbackObject(callback, [&](const RtcSuccessFunc<sceneclass::StartClassRsp>& s,
                                   const Failed& f) { RtcService::StartClass(req, s, f); });
}

void RtcService::StopClass(const sceneclass::StopClassReq& req,
                           const RtcSuccessFunc<sceneclass::StopClassRsp>& on_success,
                           const Failed& on_failure) {
  if (context_.lock() && class_manager_) class_manager_->StopClass(req, on_success, on_failure);
}

void RtcService::StopClass(const sceneclass::StopClassReq& req,
                           const RtcResultCallbackPtr<sceneclass::StopClassRsp>& callback) {
  WithCallbackObject(callback, [&](const RtcSuccessFunc<sceneclass::StopClassRsp>& s,
                                   const Failed& f) { RtcService::StopClass(req, s, f); });
}

void RtcService::GetClassDetail(const sceneclass::GetClassDetailReq& req,
                                const RtcSuccessFunc<sceneclass::GetClassDetailRsp>& on_success,
                                const Failed& on_failure) {
  if (context_.lock() && class_manager_) {
    class_manager_->GetClassDetail(req, on_success, on_failure);
  }
}

void RtcService::GetClassDetail(
    const sceneclass::GetClassDetailReq& req,
    const RtcResultCallbackPtr<sceneclass::GetClassDetailRsp>& callback) {
  WithCallbackObject(callback, [&](const RtcSuccessFunc<sceneclass::GetClassDetailRsp>& s,
                                   const Failed& f) { RtcService::GetClassDetail(req, s, f); });
}

}  // namespace meta
}  // namespace vanta
