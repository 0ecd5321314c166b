#include "server.h"

#include <algorithm>

#include "json_writer.h"
#include "tessel/idl/model_macros.h"

namespace rtc_sim {
namespace detail {
namespace {

constexpr int64_t kTokenLifetimeMillis = 3600 * 1000;
constexpr int32_t kLinkMicNone = 0, kLinkMicApplied = 1, kLinkMicApproved = 2, kLinkMicRefused = 3;
constexpr int32_t kMutedSelf = 1, kMutedByOwner = 2, kMutedByAll = 4;
constexpr int32_t kFlagRecording = 1, kFlagMutedAll = 2, kFlagScreen = 4, kFlagLive = 8;
constexpr int32_t kClassCreated = 0, kClassStarted = 1, kClassStopped = 2;

std::string Quote(const std::string& s) {
  return "\"" + s + "\"";
}

Refused Refuse(Refusal refusal, std::string detail) {
  return Refused{refusal, std::move(detail)};
}

Answer RefusalAnswer(const char* scope, const Refused& refused) {
  const RefusalInfo info = Describe(refused.refusal);
  return ErrorAnswer(info.status, ErrorBody{info.code, info.reason, refused.detail, "", scope});
}

// Wire-only fields, which no record carries, get their value here.
template <typename Model>
void FillWireOnly(Model*) {}
void FillWireOnly(::classScene::CreateClassRspModel* m) {
  m->field13.Set("{}");
}
void FillWireOnly(::classScene::GetClassDetailRspModel* m) {
  m->field13.Set("{}");
}

template <typename Req, typename Rsp>
Answer ServeOperation(Server& server, const Call& call, const Operation& op,
                      const std::string& body) {
  typename tessel::idl::RecordBinding<Req>::Model request;
  if (!request.Unpackb(body, nullptr) || !request.valid) {
    return RefusalAnswer(op.adaptor, Refuse(Refusal::kBadBody, op.uri));
  }
  Rsp rsp;
  if (Verdict refused = server.Apply(call, tessel::idl::ToRecord(request), &rsp)) {
    return RefusalAnswer(op.adaptor, *refused);
  }
  auto response = tessel::idl::ToModel(rsp);
  FillWireOnly(&response);
  return Answer{nexo_standin::kOk, tessel::idl::Packb(response)};
}

using ServeFunction = Answer (*)(Server&, const Call&, const Operation&, const std::string&);
// In Operations() order.
const ServeFunction kServe[] = {
#define X(Ns, ModelNs, Op) &ServeOperation<Ns::Op##Req, Ns::Op##Rsp>,
    RTC_SIM_FOR_EACH_OPERATION()
#undef X
};

std::string Join(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : ",") + item;
  return text;
}

std::string PanesJson(const std::vector<vanta::rtc::Pane>& panes) {
  if (panes.empty()) return {};
  rapidjson::StringBuffer buffer;
  JsonWriter w(buffer);
  w.StartArray();
  for (const vanta::rtc::Pane& pane : panes) {
    w.StartObject();
    w.Key("user");
    w.String(pane.text6.c_str());
    const std::pair<const char*, float> numbers[] = {
        {"x", pane.number1}, {"y", pane.number2}, {"w", pane.number3}, {"h", pane.number4}};
    for (const auto& number : numbers) {
      w.Key(number.first);
      WriteFloat(w, number.second);
    }
    w.Key("z");
    w.Int(pane.number5);
    w.EndObject();
  }
  w.EndArray();
  return std::string(buffer.GetString(), buffer.GetSize());
}

// One page of `all`: page counts from 1 (0 counts as 1), size 0 means everything.
template <typename Rsp>
void Page(std::vector<vanta::rtc::ConfUser> all, int32_t page, int32_t size, Rsp* rsp) {
  rsp->number3 = static_cast<int32_t>(all.size());
  if (size <= 0) {
    rsp->users = std::move(all);
    return;
  }
  const uint64_t start = static_cast<uint64_t>(std::max(page, 1) - 1) * static_cast<uint64_t>(size);
  const uint64_t end = std::min<uint64_t>(start + static_cast<uint64_t>(size), all.size());
  if (start < end) rsp->users.assign(all.begin() + start, all.begin() + end);
  rsp->flag2 = end < all.size();
}

Status StatusOf(const Refused& refused) {
  return Status{std::stoi(Describe(refused.refusal).code), Describe(refused.refusal).reason};
}

}  // namespace

Answer Server::Serve(const Operation& op, const std::string& user, const std::string& body,
                     int64_t now) {
  return kServe[op.index](*this, Call{user, now}, op, body);
}

Answer Server::UnknownUri(const std::string& uri) {
  return RefusalAnswer("Adaptor", Refuse(Refusal::kUnknownUri, uri));
}

// --- helpers ---

Verdict Server::FindConference(const std::string& rtc_id, Conference** conf) {
  auto it = conferences_.find(rtc_id);
  if (it == conferences_.end()) return Refuse(Refusal::kNoConference, "rtc_id " + Quote(rtc_id));
  *conf = &it->second;
  return std::nullopt;
}

Verdict Server::NeedMember(const Call& call, const std::string& rtc_id, Conference** conf) {
  if (Verdict refused = FindConference(rtc_id, conf)) return refused;
  if (FindMember(*conf, call.user) == nullptr) {
    return Refuse(Refusal::kNotMember, "user " + Quote(call.user) + " in " + rtc_id);
  }
  return std::nullopt;
}

Verdict Server::NeedOwner(const Call& call, const std::string& rtc_id, Conference** conf) {
  if (Verdict refused = FindConference(rtc_id, conf)) return refused;
  if ((*conf)->owner != call.user) {
    return Refuse(Refusal::kNotOwner,
                  "user " + Quote(call.user) + ", owner " + Quote((*conf)->owner));
  }
  return std::nullopt;
}

Verdict Server::NeedTeacher(const Call& call, const std::string& class_id, Lesson** lesson) {
  auto it = classes_.find(class_id);
  if (it == classes_.end()) return Refuse(Refusal::kNoClass, "class " + Quote(class_id));
  *lesson = &it->second;
  if ((*lesson)->teacher != call.user) {
    return Refuse(Refusal::kNotTeacher,
                  "user " + Quote(call.user) + ", teacher " + Quote((*lesson)->teacher));
  }
  return std::nullopt;
}

Member* Server::FindMember(Conference* conf, const std::string& user) {
  for (Member& member : conf->members) {
    if (member.user.user_id == user) return &member;
  }
  return nullptr;
}

void Server::Touch(Conference* conf, int64_t now) {
  conf->changed_at = now;
  ++conf->revision;
}

void Server::Unapply(Conference* conf, const std::string& user) {
  auto& list = conf->applicants;
  list.erase(std::remove(list.begin(), list.end(), user), list.end());
}

Member* Server::AddMember(Conference* conf, const vanta::rtc::ConfUser& user, const std::string& by,
                          int64_t now) {
  if (Member* existing = FindMember(conf, user.user_id)) return existing;
  Member member;
  vanta::rtc::ConfUser& u = member.user;
  u.user_id = user.user_id;
  u.text2 = user.text2.empty() ? user.user_id : user.text2;
  u.text5 = user.text5.empty() ? "https://avatar.sim.invalid/" + user.user_id + ".png" : user.text5;
  u.text9 = by;
  u.text10 = "stream-" + user.user_id;
  u.number14 = now;
  conf->members.push_back(std::move(member));
  return &conf->members.back();
}

vanta::rtc::ConfUser Server::Out(const Conference& conf, const Member& member) {
  vanta::rtc::ConfUser u = member.user;
  const bool owner = u.user_id == conf.owner;
  u.text3 = owner ? "owner" : "member";
  u.number7 = (member.self_muted ? kMutedSelf : 0) | (member.owner_muted ? kMutedByOwner : 0) |
              (conf.mute_all && !owner ? kMutedByAll : 0);
  u.text13 = conf.sharer == u.user_id ? "screen" : "";
  return u;
}

vanta::rtc::ConfInfo Server::Info(const Conference& conf) const {
  vanta::rtc::ConfInfo info;
  info.text1 = conf.id;
  info.text2 = conf.room_id;
  info.text3 = conf.title;
  info.text4 = conf.owner;
  for (const Member& member : conf.members) info.users.push_back(Out(conf, member));
  info.text6 = Join(conf.layout_users);
  info.number7 = conf.layout;
  info.number8 = conf.created_at;
  info.number9 = conf.recording ? conf.record_since : 0;
  info.number10 = conf.pushing ? conf.push_since : 0;
  info.number11 = conf.changed_at;
  info.number12 = conf.revision;
  info.number13 = (conf.recording ? kFlagRecording : 0) | (conf.mute_all ? kFlagMutedAll : 0) |
                  (conf.sharer.empty() ? 0 : kFlagScreen) | (conf.pushing ? kFlagLive : 0);
  info.text14 = conf.push_url;
  info.text15 = conf.record_id;
  info.text16 = conf.sharer;
  info.text17 = app_id_;
  info.text18 = PanesJson(conf.panes);
  return info;
}

template <typename Detail>
void Server::FillDetail(const Lesson& lesson, Detail* out) const {
  static const char* const kStatusText[] = {"created", "started", "stopped"};
  out->field1 = lesson.id;
  out->field2 = lesson.room_id;
  out->field3 = lesson.title;
  out->field4 = lesson.teacher;
  out->field5 = lesson.status;
  out->field6 = lesson.started_at;
  out->field7 = lesson.stopped_at;
  out->field8 = kStatusText[lesson.status];
  out->field9 = InstanceId(lesson.room_id, "rtc");
  out->field10 = InstanceId(lesson.room_id, "live");
  out->field11 = std::to_string(lesson.created_at);
  out->field12 = app_id_;
}

// --- RTC adaptor ---

template <typename Fn>
Verdict Server::Change(const Call& call, const std::string& rtc_id, Access access, Fn&& change) {
  Conference* conf = nullptr;
  if (Verdict refused = access == Access::kOwner ? NeedOwner(call, rtc_id, &conf)
                                                 : NeedMember(call, rtc_id, &conf)) {
    return refused;
  }
  // The owner is always a member: it cannot be removed.
  if (Verdict refused = change(*conf, *FindMember(conf, call.user))) return refused;
  Touch(conf, call.now);
  return std::nullopt;
}

Verdict Server::NeedTarget(Conference* conf, const std::string& user, Member** member) {
  *member = FindMember(conf, user);
  if (*member != nullptr) return std::nullopt;
  return Refuse(Refusal::kNoSuchMember, "user " + Quote(user) + " in " + conf->id);
}

Verdict Server::Apply(const Call& call, const vanta::rtc::GetTokenReq& req,
                      vanta::rtc::GetTokenRsp* rsp) {
  Conference* conf = nullptr;
  if (Verdict refused = NeedMember(call, req.rtc_id, &conf)) return refused;
  const std::string n = std::to_string(next_token_++);
  rsp->text1 = conf->id;
  rsp->token = "sim-token:" + conf->id + ":" + call.user + ":" + n;
  rsp->text3 = "wss://media.sim.invalid/rtc";
  rsp->text4 = app_id_;
  rsp->number5 = call.now + kTokenLifetimeMillis;
  rsp->text6 = "nonce-" + n;
  return std::nullopt;
}

Verdict Server::Apply(const Call& call, const vanta::rtc::ReportJoinStatusReq& req,
                      vanta::rtc::ReportJoinStatusRsp* rsp) {
  Verdict refused = Change(call, req.rtc_id, Access::kMember, [&](Conference&, Member& me) {
    if (req.user_id != call.user) {
      return Verdict(Refuse(Refusal::kOtherUser,
                            "user_id " + Quote(req.user_id) + ", caller " + Quote(call.user)));
    }
    me.user.number4 = req.join_status;
    if (me.user.number11 == 0 || me.user.number12 != 0) {
      me.user.number11 = call.now;
      me.user.number12 = 0;
    }
    return Verdict();
  });
  if (refused) return refused;
  const Conference& conf = conferences_.at(req.rtc_id);
  rsp->conf_info = Info(conf);
  rsp->number2 = call.now;
  rsp->number3 = conf.revision;
  return std::nullopt;
}

Verdict Server::Apply(const Call& call, const vanta::rtc::ReportLeaveStatusReq& req,
                      vanta::rtc::ReportLeaveStatusRsp* rsp) {
  rsp->number1 = call.now;
  return Change(call, req.rtc_id, Access::kMember, [&](Conference& conf, Member& me) {
    me.user.number4 = 0;
    me.user.number12 = call.now;
    if (conf.sharer == call.user) conf.sharer.clear();
    return Verdict();
  });
}

Verdict Server::Apply(const Call& call, const vanta::rtc::PushLiveStreamReq& req,
                      vanta::rtc::PushLiveStreamRsp*) {
  return Change(call, req.rtc_id, Access::kOwner, [&](Conference& conf, Member&) {
    if (req.push_url.empty()) return Verdict(Refuse(Refusal::kEmptyField, "push_url"));
    conf.pushing = true;
    conf.push_url = req.push_url;
    conf.push_since = call.now;
    return Verdict();
  });
}

Verdict Server::Apply(const Call& call, const vanta::rtc::StopLiveStreamReq& req,
                      vanta::rtc::StopLiveStreamRsp*) {
  return Change(call, req.rtc_id, Access::kOwner, [&](Conference& conf, Member&) {
    if (!conf.pushing) return Verdict(Refuse(Refusal::kNotPushing, conf.id));
    conf.pushing = false;
    conf.push_url.clear();
    conf.push_since = 0;
    return Verdict();
  });
}

Verdict Server::Apply(const Call& call, const vanta::rtc::SetLayoutReq& req,
                      vanta::rtc::SetLayoutRsp*) {
  return Change(call, req.rtc_id, Access::kOwner, [&](Conference& conf, Member&) {
    Member* member = nullptr;
    for (const std::string& user : req.user_ids) {
      if (Verdict refused = NeedTarget(&conf, user, &member)) return refused;
    }
    conf.layout = req.layout;
    conf.layout_users = req.user_ids;
    return Verdict();
  });
}

Verdict Server::Apply(const Call& call, const vanta::rtc::SetCustomLayoutReq& req,
                      vanta::rtc::SetCustomLayoutRsp*) {
  return Change(call, req.rtc_id, Access::kOwner, [&](Conference& conf, Member&) {
    conf.panes = req.panes;
    return Verdict();
  });
}

Verdict Server::Apply(const Call& call, const vanta::rtc::AddMembersReq& req,
                      vanta::rtc::AddMembersRsp* rsp) {
  return Change(call, req.rtc_id, Access::kOwner, [&](Conference& conf, Member&) {
    for (size_t i = 0; i < req.members.size(); ++i) {
      if (req.members[i].user_id.empty()) {
        return Verdict(Refuse(Refusal::kEmptyField, "members[" + std::to_string(i) + "].user_id"));
      }
    }
    const size_t before = conf.members.size();
    for (const vanta::rtc::ConfUser& user : req.members) {
      AddMember(&conf, user, call.user, call.now);
    }
    rsp->number1 = static_cast<int64_t>(conf.members.size() - before);
    return Verdict();
  });
}

Verdict Server::Apply(const Call& call, const vanta::rtc::KickMembersReq& req,
                      vanta::rtc::KickMembersRsp* rsp) {
  return Change(call, req.rtc_id, Access::kOwner, [&](Conference& conf, Member&) {
    Member* member = nullptr;
    for (const std::string& user : req.user_ids) {
      if (user == conf.owner) return Verdict(Refuse(Refusal::kOwnerTarget, "user " + Quote(user)));
      if (Verdict refused = NeedTarget(&conf, user, &member)) return refused;
    }
    const size_t before = conf.members.size();
    for (const std::string& user : req.user_ids) {
      auto& members = conf.members;
      members.erase(std::remove_if(members.begin(), members.end(),
                                   [&](const Member& m) { return m.user.user_id == user; }),
                    members.end());
      Unapply(&conf, user);
      if (conf.sharer == user) conf.sharer.clear();
    }
    rsp->number1 = static_cast<int64_t>(before - conf.members.size());
    return Verdict();
  });
}

Verdict Server::Apply(const Call& call, const vanta::rtc::GetConfDetailReq& req,
                      vanta::rtc::GetConfDetailRsp* rsp) {
  Conference* conf = nullptr;
  if (Verdict refused = NeedMember(call, req.rtc_id, &conf)) return refused;
  rsp->conf_info = Info(*conf);
  rsp->number2 = call.now;
  return std::nullopt;
}

Verdict Server::Apply(const Call& call, const vanta::rtc::ApplyLinkMicReq& req,
                      vanta::rtc::ApplyLinkMicRsp*) {
  return Change(call, req.rtc_id, Access::kMember, [&](Conference& conf, Member& me) {
    if (req.apply && me.user.number6 != kLinkMicApplied) {
      me.user.number6 = kLinkMicApplied;
      conf.applicants.push_back(call.user);
    } else if (!req.apply && me.user.number6 == kLinkMicApplied) {
      me.user.number6 = kLinkMicNone;
      Unapply(&conf, call.user);
    }
    return Verdict();
  });
}

Verdict Server::Apply(const Call& call, const vanta::rtc::ApproveLinkMicReq& req,
                      vanta::rtc::ApproveLinkMicRsp*) {
  return Change(call, req.rtc_id, Access::kOwner, [&](Conference& conf, Member&) {
    Member* member = nullptr;
    if (Verdict refused = NeedTarget(&conf, req.user_id, &member)) return refused;
    if (member->user.number6 != kLinkMicApplied) {
      return Verdict(Refuse(Refusal::kNotApplied, "user " + Quote(req.user_id)));
    }
    member->user.number6 = req.approve ? kLinkMicApproved : kLinkMicRefused;
    Unapply(&conf, req.user_id);
    return Verdict();
  });
}

Verdict Server::Apply(const Call& call, const vanta::rtc::ListConfUserReq& req,
                      vanta::rtc::ListConfUserRsp* rsp) {
  Conference* conf = nullptr;
  if (Verdict refused = NeedMember(call, req.rtc_id, &conf)) return refused;
  std::vector<vanta::rtc::ConfUser> users;
  for (const Member& member : conf->members) users.push_back(Out(*conf, member));
  Page(std::move(users), req.number2, req.number3, rsp);
  return std::nullopt;
}

Verdict Server::Apply(const Call& call, const vanta::rtc::ListApplyLinkMicUserReq& req,
                      vanta::rtc::ListApplyLinkMicUserRsp* rsp) {
  Conference* conf = nullptr;
  if (Verdict refused = NeedOwner(call, req.rtc_id, &conf)) return refused;
  std::vector<vanta::rtc::ConfUser> users;
  for (const std::string& user : conf->applicants) {
    users.push_back(Out(*conf, *FindMember(conf, user)));
  }
  Page(std::move(users), req.number2, req.number3, rsp);
  return std::nullopt;
}

Verdict Server::Apply(const Call& call, const vanta::rtc::StartRecordReq& req,
                      vanta::rtc::StartRecordRsp*) {
  return Change(call, req.rtc_id, Access::kOwner, [&](Conference& conf, Member&) {
    if (conf.recording) return Verdict(Refuse(Refusal::kAlreadyRecording, conf.record_id));
    conf.recording = true;
    conf.record_id = "rec-" + std::to_string(next_record_++);
    conf.record_since = call.now;
    return Verdict();
  });
}

Verdict Server::Apply(const Call& call, const vanta::rtc::StopRecordReq& req,
                      vanta::rtc::StopRecordRsp*) {
  return Change(call, req.rtc_id, Access::kOwner, [&](Conference& conf, Member&) {
    if (!conf.recording) return Verdict(Refuse(Refusal::kNotRecording, conf.id));
    conf.recording = false;
    conf.record_since = 0;
    return Verdict();
  });
}

Verdict Server::Apply(const Call& call, const vanta::rtc::ReportRtcMuteReq& req,
                      vanta::rtc::ReportRtcMuteRsp*) {
  return Change(call, req.rtc_id, Access::kMember, [&](Conference&, Member& me) {
    me.self_muted = req.mute;
    return Verdict();
  });
}

Verdict Server::Apply(const Call& call, const vanta::rtc::RtcMuteAllReq& req,
                      vanta::rtc::RtcMuteAllRsp*) {
  return Change(call, req.rtc_id, Access::kOwner, [&](Conference& conf, Member&) {
    conf.mute_all = req.mute;
    return Verdict();
  });
}

Verdict Server::Apply(const Call& call, const vanta::rtc::RtcMuteUserReq& req,
                      vanta::rtc::RtcMuteUserRsp*) {
  return Change(call, req.rtc_id, Access::kOwner, [&](Conference& conf, Member&) {
    Member* member = nullptr;
    if (Verdict refused = NeedTarget(&conf, req.user_id, &member)) return refused;
    member->owner_muted = req.mute;
    return Verdict();
  });
}

Verdict Server::Apply(const Call& call, const vanta::rtc::OperateCameraReq& req,
                      vanta::rtc::OperateCameraRsp*) {
  return Change(call, req.rtc_id, Access::kMember, [&](Conference&, Member& me) {
    me.user.number8 = req.enable ? 1 : 0;
    return Verdict();
  });
}

Verdict Server::Apply(const Call& call, const vanta::rtc::ShareScreenReq& req,
                      vanta::rtc::ShareScreenRsp*) {
  return Change(call, req.rtc_id, Access::kMember, [&](Conference& conf, Member&) {
    if (req.share && !conf.sharer.empty() && conf.sharer != call.user) {
      return Verdict(Refuse(Refusal::kScreenBusy, "sharer " + Quote(conf.sharer)));
    }
    if (!req.share && conf.sharer != call.user) {
      return Verdict(Refuse(Refusal::kNotSharing, "user " + Quote(call.user)));
    }
    conf.sharer = req.share ? call.user : std::string();
    return Verdict();
  });
}

// --- class-scene adaptor ---

Verdict Server::Apply(const Call& call, const vanta::sceneclass::CreateClassReq& req,
                      vanta::sceneclass::CreateClassRsp* rsp) {
  if (req.field1.empty()) return Refuse(Refusal::kEmptyField, "field1");
  Lesson lesson;
  lesson.id = "class-" + std::to_string(next_class_++);
  lesson.room_id = req.field1;
  lesson.title = req.field2;
  lesson.teacher = call.user;
  lesson.status = kClassCreated;
  lesson.created_at = call.now;
  FillDetail(lesson, rsp);
  classes_.emplace(lesson.id, std::move(lesson));
  return std::nullopt;
}

Verdict Server::Apply(const Call&, const vanta::sceneclass::GetClassDetailReq& req,
                      vanta::sceneclass::GetClassDetailRsp* rsp) {
  auto it = classes_.find(req.field1);
  if (it == classes_.end()) return Refuse(Refusal::kNoClass, "class " + Quote(req.field1));
  FillDetail(it->second, rsp);
  return std::nullopt;
}

Verdict Server::Apply(const Call& call, const vanta::sceneclass::StartClassReq& req,
                      vanta::sceneclass::StartClassRsp*) {
  Lesson* lesson = nullptr;
  if (Verdict refused = NeedTeacher(call, req.field1, &lesson)) return refused;
  if (lesson->status == kClassStarted) return Refuse(Refusal::kClassStarted, lesson->id);
  lesson->status = kClassStarted;
  lesson->started_at = call.now;
  lesson->stopped_at = 0;
  return std::nullopt;
}

Verdict Server::Apply(const Call& call, const vanta::sceneclass::StopClassReq& req,
                      vanta::sceneclass::StopClassRsp*) {
  Lesson* lesson = nullptr;
  if (Verdict refused = NeedTeacher(call, req.field1, &lesson)) return refused;
  if (lesson->status != kClassStarted) return Refuse(Refusal::kClassNotStarted, lesson->id);
  lesson->status = kClassStopped;
  lesson->stopped_at = call.now;
  return std::nullopt;
}

// --- host side ---

Status Server::CreateConference(const std::string& room_id, const vanta::room::CreateRtcReq& req,
                                int64_t now, vanta::room::CreateRtcRsp* rsp) {
  const std::string& owner = req.owner_id.empty() ? req.creator_id : req.owner_id;
  if (room_id.empty()) return StatusOf(Refuse(Refusal::kEmptyField, "room_id"));
  if (owner.empty()) return StatusOf(Refuse(Refusal::kEmptyField, "owner_id"));
  Conference conf;
  conf.id = "conf-" + std::to_string(next_conf_++);
  conf.room_id = room_id;
  conf.title = req.title;
  conf.owner = owner;
  conf.created_at = now;
  vanta::rtc::ConfUser user;
  user.user_id = owner;
  AddMember(&conf, user, "", now);
  std::vector<std::string> others = req.members;
  others.insert(others.begin(), req.creator_id);
  for (const std::string& id : others) {
    if (id.empty()) continue;
    user.user_id = id;
    AddMember(&conf, user, owner, now);
  }
  Touch(&conf, now);
  rsp->rtc_id = conf.id;
  conferences_.emplace(conf.id, std::move(conf));
  return Status{};
}

Status Server::DestroyConference(const std::string& caller, const vanta::room::DestroyRtcReq& req) {
  Conference* conf = nullptr;
  if (Verdict refused = NeedOwner(Call{caller, 0}, req.rtc_id, &conf)) return StatusOf(*refused);
  conferences_.erase(req.rtc_id);
  return Status{};
}

Status Server::CreateLive(const std::string& room_id, const vanta::room::CreateLiveReq& req,
                          vanta::room::CreateLiveRsp* rsp) {
  if (req.owner_id.empty()) return StatusOf(Refuse(Refusal::kEmptyField, "owner_id"));
  Live live;
  live.id = "live-" + std::to_string(next_live_++);
  live.room_id = room_id;
  live.owner = req.owner_id;
  live.title = req.title;
  live.push_url = "rtmp://push.sim.invalid/live/" + live.id;
  live.pull_url = "https://pull.sim.invalid/live/" + live.id + ".flv";
  rsp->room_id = room_id;
  rsp->live_id = live.id;
  rsp->push_url = live.push_url;
  rsp->pull_url = live.pull_url;
  lives_.emplace(live.id, std::move(live));
  return Status{};
}

Status Server::GetLiveDetail(const std::string& live_id, vanta::live::LiveDetail* detail) const {
  auto it = lives_.find(live_id);
  if (it == lives_.end()) return StatusOf(Refuse(Refusal::kNoLive, "live " + Quote(live_id)));
  const Live& live = it->second;
  *detail = vanta::live::LiveDetail{live.push_url, live.pull_url, live.id, live.title, live.status};
  return Status{};
}

Status Server::PublishLive(const std::string& caller, const vanta::live::PublishLiveReq& req,
                           vanta::live::PublishLiveRsp* rsp) {
  auto it = lives_.find(req.live_id);
  if (it == lives_.end()) return StatusOf(Refuse(Refusal::kNoLive, "live " + Quote(req.live_id)));
  Live& live = it->second;
  if (live.owner != caller) return StatusOf(Refuse(Refusal::kNotOwner, "user " + Quote(caller)));
  live.status = 1;
  *rsp = vanta::live::PublishLiveRsp{live.id, live.push_url, live.pull_url, live.status};
  return Status{};
}

std::string Server::InstanceId(const std::string& room_id, const std::string& type) const {
  auto it = directory_.find({room_id, type});
  return it == directory_.end() ? std::string() : it->second;
}

void Server::SetInstanceId(const std::string& room_id, const std::string& type,
                           const std::string& id) {
  directory_[{room_id, type}] = id;
}

void Server::RemoveInstanceId(const std::string& room_id, const std::string& type) {
  directory_.erase({room_id, type});
}

bool Server::GetConference(const std::string& rtc_id, vanta::rtc::ConfInfo* info) const {
  auto it = conferences_.find(rtc_id);
  if (it == conferences_.end()) return false;
  *info = Info(it->second);
  return true;
}

bool Server::GetClass(const std::string& class_id,
                      vanta::sceneclass::GetClassDetailRsp* detail) const {
  auto it = classes_.find(class_id);
  if (it == classes_.end()) return false;
  FillDetail(it->second, detail);
  return true;
}

}  // namespace detail
}  // namespace rtc_sim
