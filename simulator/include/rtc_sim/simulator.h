// The adaptor simulator: a transport for the engine stand-in that plays both server adaptors
// (the 21 RTC URIs and the 4 class-scene URIs) with real shared state, plus the host-side calls a
// reference host's room and live managers need, fault injection and per-URI scripted answers.
//
// One AdaptorSimulator is one server. Every account of the process sends into the same state
// (the caller is PendingRequest::user_id), so a teacher and a student meet in one conference.
// Each request body is decoded with the module's own request model; the answer is the response
// model with code 200, or a refusal: an error body (see codec.h, ErrorBody) with a non-2xx code,
// from the table below.
//
// Threading: every member function is thread-safe. transport() requests arrive on host threads
// (or, with the engine's synchronous delivery, inside another answer); answers are delivered on
// the calling thread, or, for delay and reorder faults, on the simulator's own delivery thread
// (started on first need, joined by the destructor). The state is behind one mutex that is never
// held while the simulator calls out (Respond, Fail, scripts, observers). Answers still held when
// the simulator is destroyed are never delivered; transports obtained from it then leave new
// requests unanswered.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "nexo_standin/engine_control.h"
#include "rtc_sim/codec.h"
#include "rtc_sim/exchange.h"
#include "rtc_sim/export.h"
#include "rtc_sim/faults.h"
#include "vanta/live/live_records.h"
#include "vanta/nexo/nexo_error.h"
#include "vanta/room/room_records.h"
#include "vanta/rtc/rtc_records.h"
#include "vanta/sceneclass/class_scene_records.h"

// Refusals: X(name, status, code text, reason). The error body carries the code text, the reason,
// the adaptor's name as scope ("RtcMlink", "ClassScene"; "Adaptor" for an unknown URI) and a
// developer message naming the detail (the field, user, conference or class concerned, or the
// URI of an undecodable body).
//
// Which URI refuses what (checked in this order; "member": the caller is in the conference's
// member list; "owner": the caller is its owner):
//   every RTC URI            kBadBody, kNoConference (an empty or unknown rtc_id)
//   getToken, getConfDetail, listConfUser, reportRtcMute, operateCamera, applyLinkMic,
//   reportLeaveStatus        kNotMember
//   reportJoinStatus         kNotMember, kOtherUser (user_id is not the caller)
//   shareScreen              kNotMember; share: kScreenBusy (someone else shares);
//                            stop: kNotSharing (the caller does not share)
//   addMembers               kNotOwner, kEmptyField (a member without user_id)
//   kickMembers              kNotOwner, kNoSuchMember (each id), kOwnerTarget (the owner's id)
//   approveLinkMic           kNotOwner, kNoSuchMember, kNotApplied (no pending application)
//   rtcMuteUser              kNotOwner, kNoSuchMember
//   setLayout                kNotOwner, kNoSuchMember (each id)
//   setCustomLayout, rtcMuteAll, listApplyLinkMicUser
//                            kNotOwner
//   startRecord / stopRecord kNotOwner, kAlreadyRecording / kNotRecording
//   pushLiveStream           kNotOwner, kEmptyField (push_url)
//   stopLiveStream           kNotOwner, kNotPushing
//   every class-scene URI    kBadBody
//   createClass              kEmptyField (field1, the room id)
//   getClassDetail           kNoClass
//   startClass / stopClass   kNoClass, kNotTeacher, kClassStarted / kClassNotStarted
//   any other URI            kUnknownUri
// Host-side calls (Status below): kEmptyField, kNoConference, kNotOwner, kNoLive.
// clang-format off
#define RTC_SIM_REFUSALS(X) \
  X(kBadBody,          400, "40000", "request body does not decode") \
  X(kEmptyField,       400, "40001", "a required field is empty") \
  X(kOwnerTarget,      400, "40002", "the owner cannot be removed") \
  X(kNotMember,        403, "40301", "caller is not a member of the conference") \
  X(kNotOwner,         403, "40302", "only the conference owner may do this") \
  X(kNotTeacher,       403, "40303", "only the class teacher may do this") \
  X(kOtherUser,        403, "40304", "cannot report for another user") \
  X(kUnknownUri,       404, "40400", "no such adaptor operation") \
  X(kNoConference,     404, "40401", "conference not found") \
  X(kNoSuchMember,     404, "40402", "user is not in the conference") \
  X(kNoClass,          404, "40403", "class not found") \
  X(kNoLive,           404, "40404", "live not found") \
  X(kNotApplied,       409, "40901", "user has not applied for link-mic") \
  X(kAlreadyRecording, 409, "40902", "conference is already recording") \
  X(kNotRecording,     409, "40903", "conference is not recording") \
  X(kNotPushing,       409, "40904", "conference is not pushed live") \
  X(kScreenBusy,       409, "40905", "another user is sharing the screen") \
  X(kNotSharing,       409, "40906", "caller is not sharing the screen") \
  X(kClassStarted,     409, "40907", "class is already started") \
  X(kClassNotStarted,  409, "40908", "class is not started")
// clang-format on

// Meanings the simulator gives the fields named only by position (times are milliseconds since
// the epoch of the simulator's clock; 0 means never):
//   GetTokenRsp      text1 conference id; token; text3 media server address; text4 app id;
//                    number5 expiry time (1 hour after issue); text6 nonce
//   ConfUser         user_id; text2 display name; text3 role ("owner", "member"); number4 last
//                    join status reported (0 after a leave report); text5 avatar URL; number6
//                    link-mic (0 none, 1 applied, 2 approved, 3 refused); number7 audio mute bits
//                    (1 self, 2 by the owner, 4 by mute-all); number8 camera (1 on);
//                    text9 added by; text10 stream id; number11 joined at; number12 left at;
//                    text13 "screen" while sharing the screen; number14 added at
//   ConfInfo         text1 conference id; text2 room id; text3 title; text4 owner; users (in the
//                    order added); text6 layout user ids joined by ","; number7 layout;
//                    number8 created at; number9 recording since; number10 pushed live since;
//                    number11 last change; number12 revision (counts changes); number13 flags
//                    (1 recording, 2 muted all, 4 screen shared, 8 pushed live); text14 push URL;
//                    text15 recording id; text16 screen sharer; text17 app id; text18 custom
//                    layout as JSON ([{"user":..,"x":..,"y":..,"w":..,"h":..,"z":..}])
//   Pane             number1..number4 x, y, width, height; number5 z order; text6 user id
//   ReportJoinStatusRsp   conf_info; number2 server time; number3 revision
//   GetConfDetailRsp      conf_info; number2 server time
//   ReportLeaveStatusRsp  number1 server time
//   AddMembersRsp / KickMembersRsp  number1 members added / removed
//   ListConfUserReq, ListApplyLinkMicUserReq  number2 page (from 1; 0 counts as 1); number3
//                    page size (0: all)
//   ListConfUserRsp, ListApplyLinkMicUserRsp  users of the page; flag2 more pages follow;
//                    number3 total (link-mic: pending applications, in application order)
//   StartRecordReq   number2 is ignored (the module sends 1)
//   PushLiveStreamReq  number3 is ignored (the module sends 1)
//   CreateClassReq   field1 room id; field2 title
//   Class detail (CreateClassRsp, GetClassDetailRsp): field1 class id; field2 room id; field3
//                    title; field4 teacher; field5 status (0 created, 1 started, 2 stopped);
//                    field6 started at; field7 stopped at; field8 status text ("created",
//                    "started", "stopped"); field9 the room's conference id; field10 the room's
//                    live id (both from the instance directory, when set); field11 created at
//                    (decimal text); field12 app id; field13 (wire only) "{}"
// Ids: "conf-N", "class-N", "live-N", "rec-N" (N from 1, per simulator).

namespace rtc_sim {

namespace detail {
class SimulatorCore;
}  // namespace detail

enum class Refusal {
#define RTC_SIM_REFUSAL_ENUM(name, status, code, reason) name,
  RTC_SIM_REFUSALS(RTC_SIM_REFUSAL_ENUM)
#undef RTC_SIM_REFUSAL_ENUM
};

struct RefusalInfo {
  int32_t status;      // the answer's code
  const char* code;    // the error body's code text
  const char* reason;  // the error body's reason
};
RTC_SIM_EXPORT RefusalInfo Describe(Refusal refusal);

// The result of a host-side call: code 0 on success; otherwise the refusal's code text as a
// number (40401, ...) and its reason.
struct Status {
  int32_t code = 0;
  std::string reason;
  bool ok() const { return code == 0; }
};

// The error a host's room or live manager hands to the module for a failed Status.
inline vanta::nexo::NexoError ToNexoError(const Status& status) {
  vanta::nexo::NexoError error;
  error.code = status.code;
  error.reason = status.reason;
  error.scope = "Room";
  return error;
}

// One answer of a script: a code and a body (build the body with Encode or EncodeError).
struct Answer {
  int32_t code = nexo_standin::kOk;
  std::string body;
};
RTC_SIM_EXPORT Answer ErrorAnswer(int32_t status, const ErrorBody& error);

// Answers one request of a scripted URI in place of the simulator's state. Called once per
// request that reaches it (faults that skip serving skip the script too), on the sending thread,
// without the state lock; must not block. May run on several threads at once.
using Script = std::function<Answer(const std::string& user, const std::string& request_body)>;

struct SimulatorOptions {
  // The seed of the simulator's one PRNG (fault selection, delays, reorder shuffles).
  uint64_t seed = 1;
  // Server time in milliseconds since the epoch, read once per request and per creation of a
  // conference, on the calling thread and without the state lock (so it must be thread-safe).
  // Empty: a deterministic clock that starts at 1704067200000 (2024-01-01T00:00:00Z) and
  // advances one second per reading, so answers are the same from run to run.
  std::function<int64_t()> clock;
  std::string app_id = "sim-app";
  // Reported for every request and answer (see exchange.h); empty: none.
  Observer observer;
};

class RTC_SIM_EXPORT AdaptorSimulator {
 public:
  explicit AdaptorSimulator(SimulatorOptions options = SimulatorOptions());
  ~AdaptorSimulator();
  AdaptorSimulator(const AdaptorSimulator&) = delete;
  AdaptorSimulator& operator=(const AdaptorSimulator&) = delete;

  // The transport to install with nexo_standin::SetTransport. It refers to the simulator weakly.
  nexo_standin::Transport transport();

  // --- faults (faults.h) ---
  void AddFault(const FaultRule& rule);
  // Parses FAULT RULES text and adds its rules; on a malformed rule adds nothing, returns false and
  // sets `error` (one line).
  bool AddFaults(const std::string& faults, std::string* error);
  void ClearFaults();
  // Delivers every answer held for a delay or a reorder now, on the delivery thread.
  void ReleaseHeld();

  // --- scripted answers ---
  // `uri_or_suffix` as ResolveUri takes it. Replaces the simulator's own handling of that URI;
  // an empty script restores it. False (nothing changes) for an unknown URI.
  bool SetScript(const std::string& uri_or_suffix, Script script);

  // --- host side ---
  // A new conference for `room_id`: owner req.owner_id (creator_id when empty), members the
  // owner, the creator and req.members. kEmptyField when room id and both owner ids are empty.
  Status CreateConference(const std::string& room_id, const vanta::room::CreateRtcReq& req,
                          vanta::room::CreateRtcRsp* rsp);
  // Only the owner destroys: kNoConference, kNotOwner.
  Status DestroyConference(const std::string& caller, const vanta::room::DestroyRtcReq& req);
  // A new live for `room_id` owned by req.owner_id (kEmptyField when empty), with push and pull
  // URLs; status 0 (created).
  Status CreateLive(const std::string& room_id, const vanta::room::CreateLiveReq& req,
                    vanta::room::CreateLiveRsp* rsp);
  // kNoLive.
  Status GetLiveDetail(const std::string& live_id, vanta::live::LiveDetail* detail);
  // Publishes the live (status 1, published): kNoLive, kNotOwner.
  Status PublishLive(const std::string& caller, const vanta::live::PublishLiveReq& req,
                     vanta::live::PublishLiveRsp* rsp);

  // The per-room instance-id directory (room id -> plug-in type "rtc"/"live" -> id) that every
  // host of a room shares, so a student's room sees the conference the teacher created. Empty
  // when not set.
  std::string InstanceId(const std::string& room_id, const std::string& type) const;
  void SetInstanceId(const std::string& room_id, const std::string& type, const std::string& id);
  void RemoveInstanceId(const std::string& room_id, const std::string& type);

  // --- inspection ---
  // The conference as getConfDetail would answer it (false: no such conference).
  bool GetConference(const std::string& rtc_id, vanta::rtc::ConfInfo* info) const;
  // The class as getClassDetail would answer it (false: no such class).
  bool GetClass(const std::string& class_id, vanta::sceneclass::GetClassDetailRsp* detail) const;

 private:
  std::shared_ptr<detail::SimulatorCore> core_;
};

}  // namespace rtc_sim
