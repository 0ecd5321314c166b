// The simulated adaptors: every URI's answer in a shared teacher/student session, every refusal
// with its exact error body (and no change of state), the host-side calls, and the typed codec
// and JSON rendering a host developer scripts with.
#include <functional>
#include <set>

#include "sim_fixture.h"
#include "support/hex_bytes.h"

namespace sim_test {
namespace {

using rtc_sim::Refusal;
using vanta::rtc::ConfInfo;
using vanta::rtc::ConfUser;
namespace rtc = vanta::rtc;
namespace sc = vanta::sceneclass;

class AdaptorTest : public SimulatorTest {
 protected:
  // Sends `req` as `user` and expects exactly `expected` back.
  template <typename Req, typename Rsp>
  void Expect(const std::string& user, const Req& req, const Rsp& expected) {
    const Reply reply = Call(user, req);
    called_.insert(UriOf(req));
    ASSERT_TRUE(reply.success) << UriOf(req) << " " << reply.error().ToString();
    EXPECT_EQ(reply.message.code, 200);
    Rsp rsp;
    ASSERT_TRUE(rtc_sim::Decode(reply.message.body, &rsp)) << UriOf(req);
    std::string json;
    rtc_sim::AnswerJson(UriOf(req), 200, reply.message.body, &json);
    EXPECT_EQ(rsp, expected) << UriOf(req) << " answered " << json;
  }

  std::set<std::string> called_;
};

ConfUser User(const std::string& id, const std::string& name, const std::string& role, int32_t join,
              int32_t mic, int32_t muted, int32_t camera, const std::string& by, int64_t joined,
              const std::string& screen, int64_t added) {
  return ConfUser{id,     name,  role,   join, "https://avatar.sim.invalid/" + id + ".png",
                  mic,    muted, camera, by,   "stream-" + id,
                  joined, 0,     screen, added};
}

TEST_F(AdaptorTest, EveryUriAnswersTheSharedSessionExactly) {
  const std::string conf = Conference();  // clock reading 0
  const std::string push = "rtmp://push.sim.invalid/live/live-1";
  Expect(kTeacher, rtc::AddMembersReq{conf, {ConfUser{"guest", "Guest"}}}, rtc::AddMembersRsp{1});
  Expect(kTeacher, rtc::GetTokenReq{conf},
         rtc::GetTokenRsp{conf, "sim-token:conf-1:teacher:1", "wss://media.sim.invalid/rtc",
                          "sim-app", Tick(2) + 3600000, "nonce-1"});
  Expect(kStudent, rtc::GetTokenReq{conf},
         rtc::GetTokenRsp{conf, "sim-token:conf-1:student:2", "wss://media.sim.invalid/rtc",
                          "sim-app", Tick(3) + 3600000, "nonce-2"});
  ConfUser teacher = User(kTeacher, kTeacher, "owner", 3, 0, 0, 0, "", Tick(4), "", Tick(0));
  ConfUser student = User(kStudent, kStudent, "member", 0, 0, 0, 0, kTeacher, 0, "", Tick(0));
  ConfUser guest = User(kGuest, "Guest", "member", 0, 0, 0, 0, kTeacher, 0, "", Tick(1));
  ConfInfo info{conf,    kRoom,     "Physics", kTeacher, {teacher, student, guest},
                "",      0,         Tick(0),   0,        0,
                Tick(4), 3,         0,         "",       "",
                "",      "sim-app", ""};
  Expect(kTeacher, rtc::ReportJoinStatusReq{conf, kTeacher, "", 3, "", 0, 0},
         rtc::ReportJoinStatusRsp{info, Tick(4), 3});
  {
    const Reply joined = Call(kStudent, rtc::ReportJoinStatusReq{conf, kStudent, "", 3, "", 0, 0});
    rtc::ReportJoinStatusRsp rsp;
    ASSERT_TRUE(rtc_sim::Decode(joined.message.body, &rsp));
    EXPECT_EQ(rsp.conf_info.users.at(1).number4, 3);
    EXPECT_EQ(rsp.conf_info.users.at(1).number11, Tick(5));
    EXPECT_EQ(rsp.number3, 4);
    called_.insert(UriOf(rtc::ReportJoinStatusReq{}));
  }
  Expect(kStudent, rtc::ApplyLinkMicReq{conf, true}, rtc::ApplyLinkMicRsp{});
  student = User(kStudent, kStudent, "member", 3, 1, 0, 0, kTeacher, Tick(5), "", Tick(0));
  Expect(kTeacher, rtc::ListApplyLinkMicUserReq{conf, 0, 0},
         rtc::ListApplyLinkMicUserRsp{{student}, false, 1});
  Expect(kTeacher, rtc::ApproveLinkMicReq{conf, kStudent, true}, rtc::ApproveLinkMicRsp{});
  Expect(kTeacher, rtc::ListConfUserReq{conf, 2, 2}, rtc::ListConfUserRsp{{guest}, false, 3});
  Expect(kTeacher, rtc::StartRecordReq{conf, 1}, rtc::StartRecordRsp{});
  Expect(kTeacher, rtc::ShareScreenReq{conf, true}, rtc::ShareScreenRsp{});
  Expect(kTeacher, rtc::SetLayoutReq{conf, {kTeacher, kStudent}, 2}, rtc::SetLayoutRsp{});
  Expect(kTeacher,
         rtc::SetCustomLayoutReq{conf,
                                 {{0, 0, 0.5f, 1, 1, kTeacher}, {0.5f, 0, 0.5f, 1, 2, kStudent}}},
         rtc::SetCustomLayoutRsp{});
  Expect(kTeacher, rtc::RtcMuteAllReq{conf, true}, rtc::RtcMuteAllRsp{});
  Expect(kTeacher, rtc::RtcMuteUserReq{conf, kStudent, true}, rtc::RtcMuteUserRsp{});
  Expect(kStudent, rtc::ReportRtcMuteReq{conf, true}, rtc::ReportRtcMuteRsp{});
  Expect(kStudent, rtc::OperateCameraReq{conf, true}, rtc::OperateCameraRsp{});
  Expect(kTeacher, rtc::PushLiveStreamReq{conf, push, 1}, rtc::PushLiveStreamRsp{});

  teacher = User(kTeacher, kTeacher, "owner", 3, 0, 0, 0, "", Tick(4), "screen", Tick(0));
  student = User(kStudent, kStudent, "member", 3, 2, 7, 1, kTeacher, Tick(5), "", Tick(0));
  guest = User(kGuest, "Guest", "member", 0, 0, 4, 0, kTeacher, 0, "", Tick(1));
  info = ConfInfo{conf,
                  kRoom,
                  "Physics",
                  kTeacher,
                  {teacher, student, guest},
                  "teacher,student",
                  2,
                  Tick(0),
                  Tick(10),
                  Tick(18),
                  Tick(18),
                  15,
                  15,
                  push,
                  "rec-1",
                  kTeacher,
                  "sim-app",
                  R"([{"user":"teacher","x":0.0,"y":0.0,"w":0.5,"h":1.0,"z":1},)"
                  R"({"user":"student","x":0.5,"y":0.0,"w":0.5,"h":1.0,"z":2}])"};
  Expect(kGuest, rtc::GetConfDetailReq{conf}, rtc::GetConfDetailRsp{info, Tick(19)});

  Expect(kTeacher, rtc::StopLiveStreamReq{conf}, rtc::StopLiveStreamRsp{});
  Expect(kTeacher, rtc::StopRecordReq{conf}, rtc::StopRecordRsp{});
  Expect(kTeacher, rtc::KickMembersReq{conf, {kGuest}}, rtc::KickMembersRsp{1});
  Expect(kStudent, rtc::ReportLeaveStatusReq{conf, ""}, rtc::ReportLeaveStatusRsp{Tick(23)});
  ASSERT_TRUE(sim_->GetConference(conf, &info));
  EXPECT_EQ(info.users.size(), 2u);
  EXPECT_EQ(info.users[1].number12, Tick(23));
  EXPECT_EQ(info.number13, 1 * 0 + 2 + 4);  // muted all, screen shared; no longer recorded or live

  sc::CreateClassRsp created{"class-1",
                             kRoom,
                             "Optics",
                             kTeacher,
                             0,
                             0,
                             0,
                             "created",
                             "conf-1",
                             "",
                             std::to_string(Tick(24)),
                             "sim-app"};
  Expect(kTeacher, sc::CreateClassReq{kRoom, "Optics"}, created);
  Expect(kTeacher, sc::StartClassReq{"class-1"}, sc::StartClassRsp{});
  sc::GetClassDetailRsp started{"class-1",
                                kRoom,
                                "Optics",
                                kTeacher,
                                1,
                                Tick(25),
                                0,
                                "started",
                                "conf-1",
                                "",
                                std::to_string(Tick(24)),
                                "sim-app"};
  Expect(kStudent, sc::GetClassDetailReq{"class-1"}, started);
  const Reply detail = Call(kStudent, sc::GetClassDetailReq{"class-1"});
  std::string json;
  ASSERT_TRUE(rtc_sim::AnswerJson(UriOf(sc::GetClassDetailReq{}), 200, detail.message.body, &json));
  EXPECT_NE(json.find(R"("field12":"sim-app","field13":"{}"})"), std::string::npos) << json;
  Expect(kTeacher, sc::StopClassReq{"class-1"}, sc::StopClassRsp{});

  const auto& uris = rtc_sim::AdaptorUris();
  EXPECT_EQ(called_, std::set<std::string>(uris.begin(), uris.end()));
}

// An adaptor request, or a host-side call, that the simulator refuses.
struct RefusalCase {
  const char* name;
  std::function<void(AdaptorTest&)> before;  // succeeds
  const char* user;
  std::string uri;
  std::string body;
  std::function<rtc_sim::Status(rtc_sim::AdaptorSimulator&)> host;  // instead of a request
  Refusal refusal;
  std::string detail;  // developer message
  std::string scope;
};

vanta::room::CreateLiveReq LiveBy(const std::string& owner) {
  vanta::room::CreateLiveReq req;
  req.owner_id = owner;
  req.title = "Physics";
  return req;
}

template <typename Req>
std::pair<std::string, std::string> Request(const Req& req) {
  return {UriOf(req), rtc_sim::Encode(req)};
}

RefusalCase Adaptor(const char* name, const char* user, std::pair<std::string, std::string> req,
                    Refusal refusal, std::string detail,
                    std::function<void(AdaptorTest&)> before = {}) {
  const bool scene = req.first.find("/ClassScene/") != std::string::npos;
  const bool known = !rtc_sim::ResolveUri(req.first).empty();
  return RefusalCase{
      name,      std::move(before), user,
      req.first, req.second,        {},
      refusal,   std::move(detail), known ? (scene ? "ClassScene" : "RtcMlink") : "Adaptor"};
}

RefusalCase Host(const char* name, std::function<rtc_sim::Status(rtc_sim::AdaptorSimulator&)> call,
                 Refusal refusal) {
  return RefusalCase{name, {}, "", "", "", std::move(call), refusal, "", ""};
}

TEST_F(AdaptorTest, RefusalsCarryTheirTableEntryAndLeaveTheStateAlone) {
  auto as_teacher = [](auto req) {
    return [req](AdaptorTest& t) { ASSERT_TRUE(t.Call(kTeacher, req).success); };
  };
  auto as_student = [](auto req) {
    return [req](AdaptorTest& t) { ASSERT_TRUE(t.Call(kStudent, req).success); };
  };
  const std::string token_uri = UriOf(rtc::GetTokenReq{});
  const std::vector<RefusalCase> cases = {
      Adaptor("undecodable body", kTeacher, {token_uri, "\xc1"}, Refusal::kBadBody, token_uri),
      Adaptor("nil body", kTeacher, {token_uri, "\xc0"}, Refusal::kBadBody, token_uri),
      Adaptor("class body not a map", kTeacher, {UriOf(sc::CreateClassReq{}), "\x91\x01"},
              Refusal::kBadBody, UriOf(sc::CreateClassReq{})),
      Adaptor("unknown conference", kTeacher, Request(rtc::GetTokenReq{"conf-9"}),
              Refusal::kNoConference, R"(rtc_id "conf-9")"),
      Adaptor("no conference id", kTeacher, Request(rtc::GetConfDetailReq{""}),
              Refusal::kNoConference, R"(rtc_id "")"),
      Adaptor("token for a stranger", kGuest, Request(rtc::GetTokenReq{"conf-1"}),
              Refusal::kNotMember, R"(user "guest" in conf-1)"),
      Adaptor("join report for another user", kStudent,
              Request(rtc::ReportJoinStatusReq{"conf-1", kTeacher, "", 3, "", 0, 0}),
              Refusal::kOtherUser, R"(user_id "teacher", caller "student")"),
      Adaptor("members added by a member", kStudent,
              Request(rtc::AddMembersReq{"conf-1", {ConfUser{kGuest}}}), Refusal::kNotOwner,
              R"(user "student", owner "teacher")"),
      Adaptor("member without id", kTeacher,
              Request(rtc::AddMembersReq{"conf-1", {ConfUser{kGuest}, ConfUser{}}}),
              Refusal::kEmptyField, "members[1].user_id"),
      Adaptor("owner kicked", kTeacher, Request(rtc::KickMembersReq{"conf-1", {kStudent, kTeacher}}),
              Refusal::kOwnerTarget, R"(user "teacher")"),
      Adaptor("stranger kicked", kTeacher, Request(rtc::KickMembersReq{"conf-1", {kGuest}}),
              Refusal::kNoSuchMember, R"(user "guest" in conf-1)"),
      Adaptor("approval without application", kTeacher,
              Request(rtc::ApproveLinkMicReq{"conf-1", kStudent, true}), Refusal::kNotApplied,
              R"(user "student")"),
      Adaptor("approval of a stranger", kTeacher,
              Request(rtc::ApproveLinkMicReq{"conf-1", kGuest, false}), Refusal::kNoSuchMember,
              R"(user "guest" in conf-1)"),
      Adaptor("stranger muted", kTeacher, Request(rtc::RtcMuteUserReq{"conf-1", kGuest, true}),
              Refusal::kNoSuchMember, R"(user "guest" in conf-1)"),
      Adaptor("layout with a stranger", kTeacher,
              Request(rtc::SetLayoutReq{"conf-1", {kTeacher, kGuest}, 1}), Refusal::kNoSuchMember,
              R"(user "guest" in conf-1)"),
      Adaptor("custom layout by a member", kStudent, Request(rtc::SetCustomLayoutReq{"conf-1", {}}),
              Refusal::kNotOwner, R"(user "student", owner "teacher")"),
      Adaptor("applicants listed by a member", kStudent,
              Request(rtc::ListApplyLinkMicUserReq{"conf-1", 0, 0}), Refusal::kNotOwner,
              R"(user "student", owner "teacher")"),
      Adaptor("recording twice", kTeacher, Request(rtc::StartRecordReq{"conf-1", 1}),
              Refusal::kAlreadyRecording, "rec-1", as_teacher(rtc::StartRecordReq{"conf-1", 1})),
      Adaptor("stop without recording", kTeacher, Request(rtc::StopRecordReq{"conf-1"}),
              Refusal::kNotRecording, "conf-1"),
      Adaptor("push without url", kTeacher, Request(rtc::PushLiveStreamReq{"conf-1", "", 1}),
              Refusal::kEmptyField, "push_url"),
      Adaptor("stop a push never started", kTeacher, Request(rtc::StopLiveStreamReq{"conf-1"}),
              Refusal::kNotPushing, "conf-1"),
      Adaptor("share while another shares", kTeacher, Request(rtc::ShareScreenReq{"conf-1", true}),
              Refusal::kScreenBusy, R"(sharer "student")",
              as_student(rtc::ShareScreenReq{"conf-1", true})),
      Adaptor("stop a share never started", kTeacher, Request(rtc::ShareScreenReq{"conf-1", false}),
              Refusal::kNotSharing, R"(user "teacher")"),
      Adaptor("class without room", kTeacher, Request(sc::CreateClassReq{"", "Optics"}),
              Refusal::kEmptyField, "field1"),
      Adaptor("unknown class", kStudent, Request(sc::GetClassDetailReq{"class-9"}),
              Refusal::kNoClass, R"(class "class-9")"),
      Adaptor("class started by a student", kStudent, Request(sc::StartClassReq{"class-1"}),
              Refusal::kNotTeacher, R"(user "student", teacher "teacher")",
              as_teacher(sc::CreateClassReq{kRoom, "Optics"})),
      Adaptor("class started twice", kTeacher, Request(sc::StartClassReq{"class-1"}),
              Refusal::kClassStarted, "class-1",
              [](AdaptorTest& t) {
                ASSERT_TRUE(t.Call(kTeacher, sc::CreateClassReq{kRoom, "Optics"}).success);
                ASSERT_TRUE(t.Call(kTeacher, sc::StartClassReq{"class-1"}).success);
              }),
      Adaptor("class stopped before it started", kTeacher, Request(sc::StopClassReq{"class-1"}),
              Refusal::kClassNotStarted, "class-1",
              as_teacher(sc::CreateClassReq{kRoom, "Optics"})),
      Adaptor("unknown URI", kTeacher, {"/r/Adaptor/RtcMlink/nope", ""}, Refusal::kUnknownUri,
              "/r/Adaptor/RtcMlink/nope"),
      Host("conference destroyed by a member",
           [](rtc_sim::AdaptorSimulator& s) { return s.DestroyConference(kStudent, {"conf-1"}); },
           Refusal::kNotOwner),
      Host("unknown conference destroyed",
           [](rtc_sim::AdaptorSimulator& s) { return s.DestroyConference(kTeacher, {"conf-9"}); },
           Refusal::kNoConference),
      Host("conference without owner",
           [](rtc_sim::AdaptorSimulator& s) {
             vanta::room::CreateRtcRsp rsp;
             return s.CreateConference(kRoom, {}, &rsp);
           },
           Refusal::kEmptyField),
      Host("live without owner",
           [](rtc_sim::AdaptorSimulator& s) {
             vanta::room::CreateLiveRsp rsp;
             return s.CreateLive(kRoom, {}, &rsp);
           },
           Refusal::kEmptyField),
      Host("unknown live",
           [](rtc_sim::AdaptorSimulator& s) {
             vanta::live::LiveDetail detail;
             return s.GetLiveDetail("live-9", &detail);
           },
           Refusal::kNoLive),
      Host("live published by a member",
           [](rtc_sim::AdaptorSimulator& s) {
             vanta::room::CreateLiveRsp created;
             EXPECT_TRUE(s.CreateLive(kRoom, LiveBy(kTeacher), &created).ok());
             vanta::live::PublishLiveRsp rsp;
             return s.PublishLive(kStudent, {created.live_id}, &rsp);
           },
           Refusal::kNotOwner),
  };

  std::set<Refusal> seen;
  for (const RefusalCase& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    Conference();
    if (c.before) c.before(*this);
    ConfInfo before, after;
    sc::GetClassDetailRsp class_before, class_after;
    ASSERT_TRUE(sim_->GetConference("conf-1", &before));
    sim_->GetClass("class-1", &class_before);
    const rtc_sim::RefusalInfo expected = rtc_sim::Describe(c.refusal);
    seen.insert(c.refusal);
    if (c.host) {
      const rtc_sim::Status status = c.host(*sim_);
      EXPECT_EQ(status.code, std::stoi(expected.code));
      EXPECT_EQ(status.reason, expected.reason);
      continue;
    }
    const Reply reply = Call(c.user, c.uri, c.body);
    EXPECT_FALSE(reply.success);
    EXPECT_EQ(reply.message.code, expected.status);
    const tessel::base::ErrorResult error = reply.error();
    EXPECT_EQ(error.status(), expected.status);
    EXPECT_EQ(error.code(), expected.code);
    EXPECT_EQ(error.reason(), expected.reason);
    EXPECT_EQ(error.developer_message(), c.detail);
    EXPECT_EQ(error.scope(), c.scope);
    ASSERT_TRUE(sim_->GetConference("conf-1", &after));
    sim_->GetClass("class-1", &class_after);
    EXPECT_EQ(after, before);
    EXPECT_EQ(class_after, class_before);
  }
  std::set<Refusal> all;
#define SIM_TEST_ALL(name, status, code, reason) all.insert(Refusal::name);
  RTC_SIM_REFUSALS(SIM_TEST_ALL)
#undef SIM_TEST_ALL
  EXPECT_EQ(seen, all);
}

TEST_F(AdaptorTest, HostSideCallsShareTheStateAndTheRoomDirectory) {
  vanta::room::CreateRtcRsp created;
  ASSERT_TRUE(sim_->CreateConference(kRoom, {kTeacher, "", "Physics", {}, 0, ""}, &created).ok());
  EXPECT_EQ(created.rtc_id, "conf-1");
  // Every host of the room finds the conference through the directory, types kept apart.
  sim_->SetInstanceId(kRoom, "rtc", created.rtc_id);
  EXPECT_EQ(sim_->InstanceId(kRoom, "rtc"), "conf-1");
  EXPECT_EQ(sim_->InstanceId(kRoom, "live"), "");
  EXPECT_EQ(sim_->InstanceId("room-2", "rtc"), "");
  // The creator owns a conference created without an owner id.
  EXPECT_TRUE(Call(kTeacher, rtc::StartRecordReq{"conf-1", 1}).success);

  vanta::room::CreateLiveRsp live;
  ASSERT_TRUE(sim_->CreateLive(kRoom, LiveBy(kTeacher), &live).ok());
  EXPECT_EQ(live.room_id, kRoom);
  EXPECT_EQ(live.live_id, "live-1");
  EXPECT_EQ(live.push_url, "rtmp://push.sim.invalid/live/live-1");
  EXPECT_EQ(live.pull_url, "https://pull.sim.invalid/live/live-1.flv");
  vanta::live::LiveDetail detail;
  ASSERT_TRUE(sim_->GetLiveDetail("live-1", &detail).ok());
  EXPECT_EQ(detail.push_url, live.push_url);
  EXPECT_EQ(detail.live_status, 0);
  vanta::live::PublishLiveRsp published;
  ASSERT_TRUE(sim_->PublishLive(kTeacher, {"live-1"}, &published).ok());
  EXPECT_EQ(published.live_id, "live-1");
  EXPECT_EQ(published.pull_url, live.pull_url);
  EXPECT_EQ(published.live_status, 1);

  const rtc_sim::Status gone = sim_->DestroyConference(kTeacher, {"conf-1"});
  EXPECT_TRUE(gone.ok()) << gone.reason;
  const Reply late = Call(kTeacher, rtc::GetTokenReq{"conf-1"});
  EXPECT_EQ(late.error().code(), rtc_sim::Describe(Refusal::kNoConference).code);
  const vanta::nexo::NexoError error =
      rtc_sim::ToNexoError(sim_->DestroyConference(kTeacher, {"conf-1"}));
  EXPECT_EQ(error.code, 40401);
  EXPECT_EQ(error.reason, "conference not found");
  sim_->RemoveInstanceId(kRoom, "rtc");
  EXPECT_EQ(sim_->InstanceId(kRoom, "rtc"), "");
}

TEST_F(AdaptorTest, ScriptsAnswerFromTypedRecordsInsteadOfTheState) {
  const rtc::GetTokenRsp scripted{"x", "scripted-token", "", "app", 5, ""};
  std::vector<std::string> seen;
  ASSERT_TRUE(sim_->SetScript("getToken", [&](const std::string& user, const std::string& body) {
    rtc::GetTokenReq req;
    EXPECT_TRUE(rtc_sim::Decode(body, &req));
    seen.push_back(user + " " + req.rtc_id);
    return rtc_sim::Answer{200, rtc_sim::Encode(scripted)};
  }));
  EXPECT_FALSE(sim_->SetScript("getTokn", {}));
  ASSERT_TRUE(
      sim_->SetScript(UriOf(rtc::StopRecordReq{}), [](const std::string&, const std::string&) {
        return rtc_sim::ErrorAnswer(503, {"50301", "busy", "", "", "Gateway"});
      }));

  const Reply token = Call(kGuest, rtc::GetTokenReq{"no-such-conf"});
  rtc::GetTokenRsp rsp;
  ASSERT_TRUE(rtc_sim::Decode(token.message.body, &rsp));
  EXPECT_EQ(rsp, scripted);
  EXPECT_EQ(seen, std::vector<std::string>{"guest no-such-conf"});
  const tessel::base::ErrorResult busy = Call(kTeacher, rtc::StopRecordReq{"x"}).error();
  EXPECT_EQ(busy.ToString(),
            "(status=503, scope=Gateway, code=50301, reason=busy, developMessage=)");

  // An empty script gives the URI back to the state.
  ASSERT_TRUE(sim_->SetScript("getToken", {}));
  EXPECT_EQ(Call(kGuest, rtc::GetTokenReq{"no-such-conf"}).message.code, 404);
}

TEST(CodecTest, BodiesAreTheModulesAndRenderWithTableNames) {
  EXPECT_EQ(rtc_sim::Encode(sc::CreateClassReq{}), test_support::Bytes("82 01 a0 02 a0"));
  EXPECT_EQ(rtc_sim::Encode(rtc::StartRecordRsp{}), test_support::Bytes("80"));
  rtc::KickMembersReq kick;
  EXPECT_TRUE(rtc_sim::Decode(test_support::Bytes("82 01 a1 'c' 02 91 a1 'u' 07 c3"), &kick));
  EXPECT_EQ(kick, (rtc::KickMembersReq{"c", {"u"}}));
  EXPECT_FALSE(rtc_sim::Decode(test_support::Bytes("81 01 c4 00"), &kick));

  std::string json;
  const std::string layout =
      rtc_sim::Encode(rtc::SetCustomLayoutReq{"c", {{0.1f, 0, 1, 0.75f, -2, "u"}}});
  EXPECT_TRUE(rtc_sim::RequestJson(UriOf(rtc::SetCustomLayoutReq{}), layout, &json));
  EXPECT_EQ(json, R"({"rtc_id":"c","panes":[{"number1":0.1,"number2":0.0,"number3":1.0,)"
                  R"("number4":0.75,"number5":-2,"text6":"u"}]})");
  // Only the keys on the wire are shown.
  EXPECT_TRUE(rtc_sim::AnswerJson(UriOf(rtc::GetTokenReq{}), 200,
                                  test_support::Bytes("82 02 a1 't' 05 cd 01 2c"), &json));
  EXPECT_EQ(json, R"({"token":"t","number5":300})");
  EXPECT_TRUE(rtc_sim::AnswerJson(UriOf(rtc::GetTokenReq{}), 404,
                                  rtc_sim::EncodeError({"1", "r\"q", "", "", "s"}), &json));
  EXPECT_EQ(json,
            R"({"code":"1","reason":"r\"q","developer_message":"","more_info":"","scope":"s"})");
  EXPECT_FALSE(rtc_sim::AnswerJson(UriOf(rtc::GetTokenReq{}), 200, "\xc1z", &json));
  EXPECT_EQ(json, R"({"undecodable":"c17a"})");
  EXPECT_FALSE(rtc_sim::RequestJson("/r/elsewhere", "\x80", &json));
  EXPECT_EQ(json, R"({"undecodable":"80"})");

  rtc_sim::ErrorBody error;
  EXPECT_TRUE(rtc_sim::DecodeError(rtc_sim::EncodeError({"c", "r", "d", "m", "s"}), &error));
  EXPECT_EQ(error.developer_message + error.more_info + error.scope, "dms");

  std::string bytes;
  EXPECT_TRUE(rtc_sim::FromHex("00fFa0", &bytes));
  EXPECT_EQ(rtc_sim::ToHex(bytes), "00ffa0");
  EXPECT_FALSE(rtc_sim::FromHex("abc", &bytes));
  EXPECT_FALSE(rtc_sim::FromHex("zz", &bytes));

  const auto& uris = rtc_sim::AdaptorUris();
  ASSERT_EQ(uris.size(), 25u);
  EXPECT_EQ(uris.front(), "/r/Adaptor/RtcMlink/getToken");
  EXPECT_EQ(uris[20], "/r/Adaptor/RtcMlink/shareScreen");
  EXPECT_EQ(uris.back(), "/r/Adaptor/ClassScene/stopClass");
  EXPECT_EQ(std::set<std::string>(uris.begin(), uris.end()).size(), 25u);
  EXPECT_EQ(rtc_sim::ResolveUri("startClass"), "/r/Adaptor/ClassScene/startClass");
  EXPECT_EQ(rtc_sim::ResolveUri(uris[3]), uris[3]);
  EXPECT_EQ(rtc_sim::ResolveUri("RtcMlink/getToken"), "");
}

}  // namespace
}  // namespace sim_test
