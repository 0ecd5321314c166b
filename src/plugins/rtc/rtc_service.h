// The RTC service of one room (see vanta/meta/i_rtc_service.h for the host's contract).
//
// It holds no conference state of its own: the conference id is asked of the host's room on
// every operation, requests go to the account's RTC and class-scene clients, the host's room
// and live managers or the media engine, and results come back through callbacks on the
// threads those answer on. It takes no locks: its members are written by the constructor and by
// SetMediaEngine / SetEventListener, which the host calls before it starts operations; only the
// stored screen-share callbacks change later, under their own small lock.
//
// The service holds its host context weakly; every operation locks it first and ends silently
// when it is gone. A continuation holds the locked context until it has run.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "vanta/meta/i_plugin.h"
#include "vanta/meta/i_rtc_service.h"
#include "vanta/meta/media_engine.h"
#include "vanta/meta/rtc_event_listener.h"
#include "vanta/meta/rtc_media_event_listener.h"
#include "vanta/meta/service_context.h"
#include "vanta/nexo/nexo_error.h"
#include "vanta/rtc/rtc_manager.h"
#include "vanta/sceneclass/sceneclass_manager.h"

namespace vanta {
namespace meta {

class RtcService : public IRtcService,
                   public IPluginService,
                   public RtcMediaEventListener,
                   public std::enable_shared_from_this<RtcService> {
 public:
  explicit RtcService(const std::shared_ptr<ServiceContext>& context);
  ~RtcService() override;

  // IPluginService
  std::string GetServiceName() override;

  // IRtcService, in slot order.
  void SetMediaEngine(const std::shared_ptr<MediaEngine>& engine) override;
  void SetEventListener(const std::shared_ptr<RtcEventListener>& listener) override;
  std::shared_ptr<RtcEventListener> GetEventListener() override;
  void EngineCall2() override;
  void EngineCall3() override;
  void JoinRtc(int32_t arg, const Done& on_success, const Failed& on_failure) override;
  void JoinRtc(int32_t arg, const DoneCallback& callback) override;
  void StartRoadPublish(const Done& on_success, const Failed& on_failure) override;
  void StartRoadPublish(const DoneCallback& callback) override;
  void EngineCall6(const std::string& user_id) override;
  void EngineCall7(const std::string& user_id) override;
  int32_t EngineCall8(int32_t arg) override;
  int32_t EngineCall9(int32_t arg) override;
  void LeaveRtc(bool destroy, const Done& on_success, const Failed& on_failure) override;
  void LeaveRtc(bool destroy, const DoneCallback& callback) override;
  void AddMembers(const std::vector<rtc::ConfUser>& members, const Done& on_success,
                  const Failed& on_failure) override;
  void AddMembers(const std::vector<rtc::ConfUser>& members, const DoneCallback& callback) override;
  void ListConfUser(const rtc::ListConfUserReq& req,
                    const RtcSuccessFunc<rtc::ListConfUserRsp>& on_success,
                    const Failed& on_failure) override;
  void ListConfUser(const rtc::ListConfUserReq& req,
                    const RtcResultCallbackPtr<rtc::ListConfUserRsp>& callback) override;
  void ListApplyLinkMicUser(const rtc::ListApplyLinkMicUserReq& req,
                            const RtcSuccessFunc<rtc::ListApplyLinkMicUserRsp>& on_success,
                            const Failed& on_failure) override;
  void ListApplyLinkMicUser(
      const rtc::ListApplyLinkMicUserReq& req,
      const RtcResultCallbackPtr<rtc::ListApplyLinkMicUserRsp>& callback) override;
  void ApplyLinkMic(bool apply, const Done& on_success, const Failed& on_failure) override;
  void ApplyLinkMic(bool apply, const DoneCallback& callback) override;
  void ApproveLinkMic(const std::string& user_id, bool approve, const Done& on_success,
                      const Failed& on_failure) override;
  void ApproveLinkMic(const std::string& user_id, bool approve,
                      const DoneCallback& callback) override;
  void KickUserFromRtc(const std::vector<std::string>& user_ids, const Done& on_success,
                       const Failed& on_failure) override;
  void KickUserFromRtc(const std::vector<std::string>& user_ids,
                       const DoneCallback& callback) override;
  void StartRecord(const Done& on_success, const Failed& on_failure) override;
  void StartRecord(const DoneCallback& callback) override;
  void StopRecord(const Done& on_success, const Failed& on_failure) override;
  void StopRecord(const DoneCallback& callback) override;
  void GetConfDetail(const RtcSuccessFunc<rtc::GetConfDetailRsp>& on_success,
                     const Failed& on_failure) override;
  void GetConfDetail(const RtcResultCallbackPtr<rtc::GetConfDetailRsp>& callback) override;
  int32_t EngineCall27(int32_t arg1, int32_t arg2) override;
  void StartScreenShare(int32_t arg1, int32_t arg2, const Done& on_success,
                        const Failed& on_failure) override;
  void StartScreenShare(int32_t arg1, int32_t arg2, const DoneCallback& callback) override;
  void StartScreenShareAlt(int32_t arg1, int32_t arg2, const Done& on_success,
                           const Failed& on_failure) override;
  void StartScreenShareAlt(int32_t arg1, int32_t arg2, const DoneCallback& callback) override;
  void StopScreenShare(const Done& on_success, const Failed& on_failure) override;
  void StopScreenShare(const DoneCallback& callback) override;
  void SetLayout(const std::vector<std::string>& user_ids, int32_t layout, const Done& on_success,
                 const Failed& on_failure) override;
  void SetLayout(const std::vector<std::string>& user_ids, int32_t layout,
                 const DoneCallback& callback) override;
  int32_t EngineCall31(int32_t arg) override;
  int32_t EngineCall32(int32_t arg) override;
  void RtcMuteAll(bool mute, const Done& on_success, const Failed& on_failure) override;
  void RtcMuteAll(bool mute, const DoneCallback& callback) override;
  void RtcMuteUser(const std::string& user_id, bool mute, const Done& on_success,
                   const Failed& on_failure) override;
  void RtcMuteUser(const std::string& user_id, bool mute, const DoneCallback& callback) override;
  void StartClass(const sceneclass::StartClassReq& req,
                  const RtcSuccessFunc<sceneclass::StartClassRsp>& on_success,
                  const Failed& on_failure) override;
  void StartClass(const sceneclass::StartClassReq& req,
                  const RtcResultCallbackPtr<sceneclass::StartClassRsp>& callback) override;
  void StopClass(const sceneclass::StopClassReq& req,
                 const RtcSuccessFunc<sceneclass::StopClassRsp>& on_success,
                 const Failed& on_failure) override;
  void StopClass(const sceneclass::StopClassReq& req,
                 const RtcResultCallbackPtr<sceneclass::StopClassRsp>& callback) override;
  void GetClassDetail(const sceneclass::GetClassDetailReq& req,
                      const RtcSuccessFunc<sceneclass::GetClassDetailRsp>& on_success,
                      const Failed& on_failure) override;
  void GetClassDetail(const sceneclass::GetClassDetailReq& req,
                      const RtcResultCallbackPtr<sceneclass::GetClassDetailRsp>& callback) override;

  // RtcMediaEventListener, in slot order.
  void OnJoinResult(int32_t result, int32_t arg2, int32_t arg3) override;
  void OnUserNotify(const std::string& user_id, int32_t a, int32_t b) override;
  void OnForwardedEvent3(int32_t arg1, int32_t arg2) override;
  void OnNetworkQualityChanged(const std::string& user_id, int32_t up, int32_t down) override;
  void OnRtcWarning(int32_t warn, const std::string& message) override;
  void OnRtcError(int32_t error, const std::string& message) override;
  void OnOccurError() override;
  void OnPerformanceRecovery() override;
  void OnFirstRemoteVideoFrameDrawn(const std::string& user_id, int32_t video_track, int32_t width,
                                    int32_t height, int32_t cost) override;
  void OnFirstLocalVideoFrameDrawn(int32_t width, int32_t height, int32_t cost) override;
  void OnConnectionLost() override;
  void OnTryToReconnect() override;
  void OnConnectionRecovery() override;
  void OnConnectionStatusChange(int32_t status, int32_t reason) override;
  void OnPublishLiveStreamStateChanged(const std::string& stream_url, int32_t state,
                                       int32_t error_code) override;
  void OnPublishTaskStateChanged(const std::string& stream_url, int32_t state) override;
  void OnRemoteUserOffLineNotify(const std::string& user_id, int32_t reason) override;
  void OnBye(int32_t reason) override;
  void OnStats(const RtcStats& stats) override;
  void OnLocalVideoStats(const LocalVideoStats& stats) override;
  void OnLocalAudioStats(const LocalAudioStats& stats) override;
  void OnRemoteVideoStats(const RemoteVideoStats& stats) override;
  void OnRemoteAudioStats(const RemoteAudioStats& stats) override;
  void OnForwardedEvent24(int32_t arg1, int32_t arg2) override;
  void OnForwardedEvent25(int32_t arg1, int32_t arg2) override;
  void OnForwardedEvent26(int32_t arg) override;
  void OnScreenShareStateChanged(int32_t first_state, int32_t second_state, int32_t arg3) override;

  // Status reports to the adaptor, shared by the join, leave and link-mic paths. No callbacks.
  void ReportJoinStatus(const std::string& rtc_id, const int32_t& status);
  void ReportLeaveStatus(const std::string& rtc_id);

 private:
  using Context = std::shared_ptr<ServiceContext>;

  // The room's instance id for a plug-in type ("rtc": the conference id), asked anew each time.
  static std::string LookupInstanceId(const Context& context, const std::string& type);
  static std::string LookupRtcId(const Context& context);
  static nexo::NexoError Error(const std::string& reason);

  // What a continuation holds on to: the service, kept alive while it waits when a shared
  // pointer owns it (a service made on the stack must outlive its requests itself).
  struct Pin {
    RtcService* service;
    std::shared_ptr<RtcService> owner;
    RtcService* operator->() const { return service; }
  };
  Pin Pinned();

  void JoinWithId(const std::string& rtc_id, const Done& on_success, const Failed& on_failure);
  void DestroyConference(const Done& on_success, const Failed& on_failure);
  std::shared_ptr<LiveManager> GetLiveManager();
  void ObtainPushAddress(const std::function<void(const std::string&)>& on_push_address,
                         const Failed& on_early_failure);
  void PublishLive();
  void StartScreenShareWith(bool alt, int32_t arg1, int32_t arg2, const Done& on_success,
                            const Failed& on_failure);
  void ShareScreenStarted(const Context& context, const std::string& rtc_id);

  // Stored screen-share callbacks; read and written across threads, so copied under a lock
  // and called outside it.
  Done StoredStartSuccess();
  Failed StoredStartFailure();
  Done StoredStopSuccess();

  std::shared_ptr<rtc::RtcManager> rtc_manager_;
  std::shared_ptr<sceneclass::SceneclassManager> class_manager_;
  std::shared_ptr<MediaEngine> media_engine_;
  std::shared_ptr<RtcEventListener> event_listener_;
  std::shared_ptr<RoomManager> room_manager_;
  std::weak_ptr<ServiceContext> context_;
  std::string user_id_;
  std::string room_id_;
  Done share_start_success_;
  Failed share_start_failure_;
  Done share_stop_success_;
  std::mutex share_mutex_;
};

}  // namespace meta
}  // namespace vanta
