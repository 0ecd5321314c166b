// The adaptors' state and their 25 operations, as a plain object: no lock and no calls out. The
// simulator holds it behind its one mutex.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "classScene/class_scene_models.h"
#include "operations.h"
#include "rtc/rtc_models.h"
#include "rtc_sim/simulator.h"

namespace rtc_sim {
namespace detail {

struct Member {
  vanta::rtc::ConfUser user;  // number7, text3 and text13 are derived when answering
  bool self_muted = false;
  bool owner_muted = false;
};

struct Conference {
  std::string id, room_id, title, owner;
  std::vector<Member> members;          // in the order added
  std::vector<std::string> applicants;  // pending link-mic applications, in application order
  bool recording = false;
  std::string record_id;
  int64_t record_since = 0;
  int32_t layout = 0;
  std::vector<std::string> layout_users;
  std::vector<vanta::rtc::Pane> panes;
  bool mute_all = false;
  std::string sharer;
  bool pushing = false;
  std::string push_url;
  int64_t push_since = 0;
  int64_t created_at = 0, changed_at = 0, revision = 0;
};

struct Lesson {
  std::string id, room_id, title, teacher;
  int32_t status = 0;  // 0 created, 1 started, 2 stopped
  int64_t created_at = 0, started_at = 0, stopped_at = 0;
};

struct Live {
  std::string id, room_id, owner, title, push_url, pull_url;
  int32_t status = 0;  // 0 created, 1 published
};

// A refusal with the detail its developer message names.
struct Refused {
  Refusal refusal;
  std::string detail;
};

// No value: allowed.
using Verdict = std::optional<Refused>;

// The request being served.
struct Call {
  const std::string& user;
  int64_t now;
};

class Server {
 public:
  explicit Server(std::string app_id) : app_id_(std::move(app_id)) {}

  // Serves one request of `op`; the answer is the encoded response model (code 200) or an error
  // body.
  Answer Serve(const Operation& op, const std::string& user, const std::string& body, int64_t now);
  // The answer to a URI that is not an adaptor's.
  static Answer UnknownUri(const std::string& uri);

  Status CreateConference(const std::string& room_id, const vanta::room::CreateRtcReq& req,
                          int64_t now, vanta::room::CreateRtcRsp* rsp);
  Status DestroyConference(const std::string& caller, const vanta::room::DestroyRtcReq& req);
  Status CreateLive(const std::string& room_id, const vanta::room::CreateLiveReq& req,
                    vanta::room::CreateLiveRsp* rsp);
  Status GetLiveDetail(const std::string& live_id, vanta::live::LiveDetail* detail) const;
  Status PublishLive(const std::string& caller, const vanta::live::PublishLiveReq& req,
                     vanta::live::PublishLiveRsp* rsp);

  std::string InstanceId(const std::string& room_id, const std::string& type) const;
  void SetInstanceId(const std::string& room_id, const std::string& type, const std::string& id);
  void RemoveInstanceId(const std::string& room_id, const std::string& type);

  bool GetConference(const std::string& rtc_id, vanta::rtc::ConfInfo* info) const;
  bool GetClass(const std::string& class_id, vanta::sceneclass::GetClassDetailRsp* detail) const;

  // One handler per operation, overloaded on the request record: a refusal, or none and `rsp`
  // filled.
#define RTC_SIM_DECLARE_APPLY(Ns, ModelNs, Op) \
  Verdict Apply(const Call& call, const Ns::Op##Req& req, Ns::Op##Rsp* rsp);
#define X RTC_SIM_DECLARE_APPLY
  RTC_SIM_FOR_EACH_OPERATION()
#undef X
#undef RTC_SIM_DECLARE_APPLY

 private:
  Verdict FindConference(const std::string& rtc_id, Conference** conf);
  Verdict NeedMember(const Call& call, const std::string& rtc_id, Conference** conf);
  Verdict NeedOwner(const Call& call, const std::string& rtc_id, Conference** conf);
  Verdict NeedTeacher(const Call& call, const std::string& class_id, Lesson** lesson);
  // `user` of the conference, which a request names as its target.
  static Verdict NeedTarget(Conference* conf, const std::string& user, Member** member);
  enum class Access { kMember, kOwner };
  // The shape of every request that changes a conference: the caller's access is checked, then
  // change(conference, caller's member entry) runs; unless it refuses, the change is counted.
  template <typename Fn>
  Verdict Change(const Call& call, const std::string& rtc_id, Access access, Fn&& change);
  static Member* FindMember(Conference* conf, const std::string& user);
  static void Touch(Conference* conf, int64_t now);
  static void Unapply(Conference* conf, const std::string& user);
  static vanta::rtc::ConfUser Out(const Conference& conf, const Member& member);
  vanta::rtc::ConfInfo Info(const Conference& conf) const;
  template <typename Detail>
  void FillDetail(const Lesson& lesson, Detail* out) const;
  Member* AddMember(Conference* conf, const vanta::rtc::ConfUser& user, const std::string& by,
                    int64_t now);

  const std::string app_id_;
  std::map<std::string, Conference> conferences_;
  std::map<std::string, Lesson> classes_;
  std::map<std::string, Live> lives_;
  std::map<std::pair<std::string, std::string>, std::string> directory_;
  uint64_t next_conf_ = 1, next_class_ = 1, next_live_ = 1, next_record_ = 1, next_token_ = 1;
};

}  // namespace detail
}  // namespace rtc_sim
