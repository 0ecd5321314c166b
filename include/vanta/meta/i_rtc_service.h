// The RTC service of one room, as the host sees it.
//
// Made by IPlugin::CreateService and owned by the shared pointer it returns. Operations run on
// the calling host thread; their results arrive later through the given callbacks, on whatever
// thread the reply comes from (possibly inside the call). Every asynchronous operation exists
// twice in adjacent slots: the function form takes a success and a failure function, the object
// form (the next slot) takes a callback object instead and does nothing when it is empty.
// SetMediaEngine and SetEventListener are meant to be called before any other operation.
// SetMediaEngine throws std::bad_weak_ptr when no shared pointer owns the service (never the
// case for a service from CreateService); no other operation throws.
// The slot order is the contract with the host; slot numbers are given on the right.
//
// An operation calls back at most once, and never both functions. Its own refusals reach the
// failure function as a NexoError with code 0 and one of these reasons:
//   "rtc_id is empty"   AddMembers, StartScreenShare(Alt), StopScreenShare, SetLayout,
//                       RtcMuteAll, RtcMuteUser: the room has no conference
//   "no rtc"            ListConfUser, ListApplyLinkMicUser: the room has no conference
//   "user_list is empty"                      AddMembers with no members
//   "no permission to destroy rtc"            LeaveRtc(destroy) by anyone but the room's owner
//   "no live_manager"                         StartRoadPublish: the room's live has no manager
//   "rtc StartScreenShareByDesktopId failed"  the media engine refused to start sharing
// Any other failure is the adaptor's, the engine's or the host room and live managers' error,
// passed on unchanged.
//
// Paths on which an operation never calls back (a host that waits guards them with a timeout):
// - the host context the service was made for is gone;
// - the service was created before the engine had created the account's modules (the engine's
//   manager create and init for the user): it has no RTC or class-scene client for its whole
//   life, and the operations that send a request to the adaptors end silently;
// - the engine has no request channel for the account (signed out, released): the request is
//   dropped; a channel that never answers is the engine's business (its timeout, if any);
// - JoinRtc without a media engine attached: the token is fetched, nothing more happens;
//   StartScreenShare(Alt) without one ends at once;
// - LeaveRtc and StartRoadPublish in a room without a conference; ApproveLinkMic for the
//   service's own user;
// - the host's room or live manager drops a request;
// - StartScreenShare(Alt) answers only once the media engine reports the share state, and a
//   later start replaces the callbacks still waiting; StopScreenShare's success likewise waits
//   for the engine's state event.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "vanta/meta/export.h"
#include "vanta/meta/rtc_result_callback.h"
#include "vanta/rtc/rtc_records.h"
#include "vanta/sceneclass/class_scene_records.h"

namespace vanta {
namespace meta {

class MediaEngine;
class RtcEventListener;

class VANTA_INTERFACE IRtcService {
 public:
  using Done = RtcSuccessFunc<>;
  using Failed = RtcFailureFunc;
  using DoneCallback = RtcResultCallbackPtr<>;

  virtual ~IRtcService() = default;

  // Attaching the host's objects.
  virtual void SetMediaEngine(const std::shared_ptr<MediaEngine>& engine) = 0;           // 1
  virtual void SetEventListener(const std::shared_ptr<RtcEventListener>& listener) = 0;  // 2
  virtual std::shared_ptr<RtcEventListener> GetEventListener() = 0;                      // 3
  virtual void EngineCall2() = 0;                                                        // 4
  virtual void EngineCall3() = 0;                                                        // 5

  // Joining, leaving and members.
  virtual void JoinRtc(int32_t arg, const Done& on_success, const Failed& on_failure) = 0;    // 6
  virtual void JoinRtc(int32_t arg, const DoneCallback& callback) = 0;                        // 7
  virtual void StartRoadPublish(const Done& on_success, const Failed& on_failure) = 0;        // 8
  virtual void StartRoadPublish(const DoneCallback& callback) = 0;                            // 9
  virtual void EngineCall6(const std::string& user_id) = 0;                                   // 10
  virtual void EngineCall7(const std::string& user_id) = 0;                                   // 11
  virtual int32_t EngineCall8(int32_t arg) = 0;                                               // 12
  virtual int32_t EngineCall9(int32_t arg) = 0;                                               // 13
  virtual void LeaveRtc(bool destroy, const Done& on_success, const Failed& on_failure) = 0;  // 14
  virtual void LeaveRtc(bool destroy, const DoneCallback& callback) = 0;                      // 15
  virtual void AddMembers(const std::vector<rtc::ConfUser>& members, const Done& on_success,
                          const Failed& on_failure) = 0;  // 16
  virtual void AddMembers(const std::vector<rtc::ConfUser>& members,
                          const DoneCallback& callback) = 0;  // 17
  virtual void ListConfUser(const rtc::ListConfUserReq& req,
                            const RtcSuccessFunc<rtc::ListConfUserRsp>& on_success,
                            const Failed& on_failure) = 0;  // 18
  virtual void ListConfUser(const rtc::ListConfUserReq& req,
                            const RtcResultCallbackPtr<rtc::ListConfUserRsp>& callback) = 0;  // 19
  virtual void ListApplyLinkMicUser(const rtc::ListApplyLinkMicUserReq& req,
                                    const RtcSuccessFunc<rtc::ListApplyLinkMicUserRsp>& on_success,
                                    const Failed& on_failure) = 0;  // 20
  virtual void ListApplyLinkMicUser(
      const rtc::ListApplyLinkMicUserReq& req,
      const RtcResultCallbackPtr<rtc::ListApplyLinkMicUserRsp>& callback) = 0;  // 21

  // Conference control.
  virtual void ApplyLinkMic(bool apply, const Done& on_success,
                            const Failed& on_failure) = 0;                  // 22
  virtual void ApplyLinkMic(bool apply, const DoneCallback& callback) = 0;  // 23
  virtual void ApproveLinkMic(const std::string& user_id, bool approve, const Done& on_success,
                              const Failed& on_failure) = 0;  // 24
  virtual void ApproveLinkMic(const std::string& user_id, bool approve,
                              const DoneCallback& callback) = 0;  // 25
  virtual void KickUserFromRtc(const std::vector<std::string>& user_ids, const Done& on_success,
                               const Failed& on_failure) = 0;  // 26
  virtual void KickUserFromRtc(const std::vector<std::string>& user_ids,
                               const DoneCallback& callback) = 0;                  // 27
  virtual void StartRecord(const Done& on_success, const Failed& on_failure) = 0;  // 28
  virtual void StartRecord(const DoneCallback& callback) = 0;                      // 29
  virtual void StopRecord(const Done& on_success, const Failed& on_failure) = 0;   // 30
  virtual void StopRecord(const DoneCallback& callback) = 0;                       // 31
  virtual void GetConfDetail(const RtcSuccessFunc<rtc::GetConfDetailRsp>& on_success,
                             const Failed& on_failure) = 0;  // 32
  virtual void GetConfDetail(const RtcResultCallbackPtr<rtc::GetConfDetailRsp>& callback) = 0;
  virtual int32_t EngineCall27(int32_t arg1, int32_t arg2) = 0;  // 34
  // Sharing starts when the engine accepts (answers 0); the callbacks run once the engine
  // reports the share state and the conference has been told.
  virtual void StartScreenShare(int32_t arg1, int32_t arg2, const Done& on_success,
                                const Failed& on_failure) = 0;  // 35
  virtual void StartScreenShare(int32_t arg1, int32_t arg2,
                                const DoneCallback& callback) = 0;  // 36
  virtual void StartScreenShareAlt(int32_t arg1, int32_t arg2, const Done& on_success,
                                   const Failed& on_failure) = 0;  // 37
  virtual void StartScreenShareAlt(int32_t arg1, int32_t arg2,
                                   const DoneCallback& callback) = 0;                  // 38
  virtual void StopScreenShare(const Done& on_success, const Failed& on_failure) = 0;  // 39
  virtual void StopScreenShare(const DoneCallback& callback) = 0;                      // 40
  virtual void SetLayout(const std::vector<std::string>& user_ids, int32_t layout,
                         const Done& on_success, const Failed& on_failure) = 0;  // 41
  virtual void SetLayout(const std::vector<std::string>& user_ids, int32_t layout,
                         const DoneCallback& callback) = 0;                                  // 42
  virtual int32_t EngineCall31(int32_t arg) = 0;                                             // 43
  virtual int32_t EngineCall32(int32_t arg) = 0;                                             // 44
  virtual void RtcMuteAll(bool mute, const Done& on_success, const Failed& on_failure) = 0;  // 45
  virtual void RtcMuteAll(bool mute, const DoneCallback& callback) = 0;                      // 46
  virtual void RtcMuteUser(const std::string& user_id, bool mute, const Done& on_success,
                           const Failed& on_failure) = 0;  // 47
  virtual void RtcMuteUser(const std::string& user_id, bool mute,
                           const DoneCallback& callback) = 0;  // 48

  // Class scenes.
  virtual void StartClass(const sceneclass::StartClassReq& req,
                          const RtcSuccessFunc<sceneclass::StartClassRsp>& on_success,
                          const Failed& on_failure) = 0;  // 49
  virtual void StartClass(const sceneclass::StartClassReq& req,
                          const RtcResultCallbackPtr<sceneclass::StartClassRsp>& callback) = 0;
  virtual void StopClass(const sceneclass::StopClassReq& req,
                         const RtcSuccessFunc<sceneclass::StopClassRsp>& on_success,
                         const Failed& on_failure) = 0;  // 51
  virtual void StopClass(const sceneclass::StopClassReq& req,
                         const RtcResultCallbackPtr<sceneclass::StopClassRsp>& callback) = 0;
  virtual void GetClassDetail(const sceneclass::GetClassDetailReq& req,
                              const RtcSuccessFunc<sceneclass::GetClassDetailRsp>& on_success,
                              const Failed& on_failure) = 0;  // 53
  virtual void GetClassDetail(
      const sceneclass::GetClassDetailReq& req,
      const RtcResultCallbackPtr<sceneclass::GetClassDetailRsp>& callback) = 0;  // 54
};

}  // namespace meta
}  // namespace vanta
