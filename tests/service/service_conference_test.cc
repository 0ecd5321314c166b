// Joining (with the room's conference or a new one), leaving (and destroying as the owner),
// members and the two member lists, and pushing the conference to a live broadcast.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/service_fixture.h"

namespace service_test {
namespace {

class ConferenceTest : public ServiceTest {
 protected:
  void SetUp() override {
    ServiceTest::SetUp();
    Answer("getToken", Bytes("86 01 a2 't1' 02 a3 'tok' 03 a2 't3' 04 a2 't4' 05 cf 00 00 00 01 "
                             "2a 05 f2 00 06 a2 't6'"));
    service = MakeAttachedService();
  }
  void Join() { service->JoinRtc(99, result.OnSuccess(), result.OnFailure()); }
  void Leave(bool destroy) { service->LeaveRtc(destroy, result.OnSuccess(), result.OnFailure()); }
  void Publish() { service->StartRoadPublish(result.OnSuccess(), result.OnFailure()); }

  std::shared_ptr<RtcService> service;
  ResultRecorder<> result;
};

// Without a conference one is created and stored before the token request.
TEST_F(ConferenceTest, JoinAsksForATokenAndJoinsTheChannel) {
  InConference();
  Join();
  const vanta::meta::JoinChannelInfo& info = host.media_engine->CallsOf(4).at(0).join;
  EXPECT_EQ(info.channel_id + "|" + info.user_id + "|" + info.token + "|" + info.token_text3 + "|" +
                info.token_text4 + "|" + info.token_text6 + "|" +
                std::to_string(info.token_number5),
            "conf-1|alice|tok|t3|t4|t6|5000000000");
  host.room->RemovePluginInstanceId("rtc");
  host.room_manager->create_rtc().SucceedWith({"conf-new"});
  Join();
  const auto create = host.room_manager->create_rtc_requests().Snapshot().at(0);
  EXPECT_EQ(create.creator_id + "|" + create.owner_id + "|" + create.title + "|" + create.extra,
            "alice|alice|room room-1|");
  Strs rooms;
  EXPECT_EQ(Sent(&rooms),
            (Strs{Rtc("getToken", "81 01 a6 'conf-1'"), Rtc("getToken", "81 01 a8 'conf-new'")}));
  EXPECT_EQ(rooms.back(), "conf-new|");
  EXPECT_EQ(host.media_engine->CallsOf(4).at(1).join.channel_id, "conf-new");
  EXPECT_EQ(Outcomes(result), (Strs{"ok", "ok"}));
  EXPECT_EQ(Reports(), (Strs{"127 {rtc_id=conf-1} 0 ''", "127 {rtc_id=conf-new} 0 ''",
                             "104 {rtc_id=conf-new} 0 ''"}));
  EXPECT_TRUE(ServiceLines().empty());
}

TEST_F(ConferenceTest, JoinFailures) {
  host.room_manager->create_rtc().FailWith(HostError(-9, "room closed"));
  size_t listener_events_at_failure = 0;
  service->JoinRtc(
      0, [] { ADD_FAILURE(); },
      [&](const NexoError&) { listener_events_at_failure = host.event_listener->events().size(); });
  EXPECT_EQ(listener_events_at_failure, 1u) << "the listener hears first";
  EXPECT_EQ(host.event_listener->EventsOf(2).at(0).error.reason, "room closed");
  EXPECT_EQ(Reports(), Strs{"104 {rtc_id=} -9 'room closed'"});

  ClearRecords();
  InConference();
  FailLocally("getToken", "-7", "net down");
  Join();
  EXPECT_EQ(Outcomes(result), Strs{"-7 'net down'"});
  EXPECT_EQ(Reports(), Strs{"127 {rtc_id=conf-1} -7 'net down'"});
  EXPECT_TRUE(host.media_engine->CallsOf(4).empty());

  // An empty token is only logged.
  Answer("getToken", Bytes("82 02 a0 04 a2 't4'"));
  Join();
  EXPECT_EQ(ServiceLines(), Strs{"INFO:get token error"});
  EXPECT_EQ(Outcomes(result), (Strs{"-7 'net down'", "ok"}));
}

TEST_F(ConferenceTest, LeaveReportsTheLeaveStatusAndLeavesTheChannel) {
  Leave(true);
  EXPECT_EQ(ServiceLines(), Strs{"INFO:leave channel"}) << "no conference: nothing more";
  EXPECT_TRUE(Sent().empty() && Reports().empty() && EngineOps().empty());

  ClearRecords();
  InConference();
  Leave(false);
  EXPECT_EQ(ServiceLines(), (Strs{"INFO:leave channel", "INFO:ReportLeaveStatus, conf_id=conf-1",
                                  "INFO:ReportLeaveStatus success"}));
  EXPECT_EQ(Sent(), Strs{Rtc("reportLeaveStatus", "82 01 a6 'conf-1' 02 a0")});
  EXPECT_EQ(EngineOps(), std::vector<int>{5});
  EXPECT_EQ(Reports(), (Strs{"126 {rtc_id=conf-1} 0 ''", "109 {rtc_id=conf-1} 0 ''"}));

  ClearRecords();
  FailWithAdaptorError("reportLeaveStatus", "late");
  service->SetMediaEngine(nullptr);
  Leave(false);
  EXPECT_EQ(ServiceLines().back(), "ERROR:ReportLeaveStatus failed, code=4001 msg=late");
  EXPECT_EQ(Reports(), Strs{"126 {rtc_id=conf-1} 4001 'late'"}) << "no engine: no report 109";
  EXPECT_EQ(Outcomes(result), (Strs{"ok", "ok"})) << "the leave goes on";
  EXPECT_EQ(host.room->InstanceId("rtc"), "conf-1") << "leaving does not destroy";
}

TEST_F(ConferenceTest, OwnerDestroysTheConferenceAndKeepsItWhenDestroyingFails) {
  InConference();
  host.room_manager->destroy_rtc().FailWith(HostError(-4, "busy"));
  Leave(true);
  EXPECT_EQ(host.room->InstanceId("rtc"), "conf-1");
  host.room_manager->destroy_rtc().SucceedWith({});
  Leave(true);
  EXPECT_EQ(host.room->InstanceId("rtc"), "");
  EXPECT_EQ(host.room_manager->destroy_rtc_requests().Snapshot().at(1).rtc_id, "conf-1");
  EXPECT_EQ(Outcomes(result), (Strs{"-4 'busy'", "ok"}));
  EXPECT_EQ(Reports().at(2), "105 {rtc_id=conf-1} -4 'busy'");
  EXPECT_EQ(Reports().at(5), "105 {rtc_id=conf-1} 0 ''");
}

// Only the room's owner may destroy: the channel is left and the status reported first.
TEST_F(ConferenceTest, DestroyWithoutOwnershipIsRefused) {
  for (const auto& [user, owner] : std::vector<std::pair<std::string, std::string>>{
           {kUser, "bob"}, {kUser, ""}, {"", ""}, {kUser, "Alice"}}) {
    SCOPED_TRACE(user + " owner " + owner);
    refhost::ReferenceHost room_host(user, kRoom, owner);
    room_host.room->SetPluginInstanceId("rtc", "conf-1");
    auto own = std::make_shared<RtcService>(room_host.context);
    own->SetMediaEngine(room_host.media_engine);
    ResultRecorder<> outcome;
    own->LeaveRtc(true, outcome.OnSuccess(), outcome.OnFailure());
    EXPECT_EQ(Outcomes(outcome), Strs{"0 'no permission to destroy rtc'"});
    EXPECT_EQ(room_host.media_engine->Ops(), (std::vector<int>{10, 1, 5}));
    EXPECT_TRUE(room_host.room_manager->destroy_rtc_requests().Snapshot().empty());
    room_host.media_engine->ClearEventListener();
  }
}

// The list is checked before the conference; every field of a member record goes on the wire;
// the report lists the ids, and on failure the room too.
TEST_F(ConferenceTest, AddMembers) {
  service->AddMembers({}, result.OnSuccess(), result.OnFailure());
  service->AddMembers({Member("u1")}, result.OnSuccess(), result.OnFailure());
  InConference();
  vanta::rtc::ConfUser full = Member("u1");
  full.number4 = 4;
  full.number14 = -1;
  service->AddMembers({full}, result.OnSuccess(), result.OnFailure());
  FailLocally("addMembers", "-7", "net down");
  service->AddMembers({Member("u1"), Member(""), Member("u3")}, result.OnSuccess(),
                      result.OnFailure());
  EXPECT_EQ(Outcomes(result),
            (Strs{"0 'user_list is empty'", "0 'rtc_id is empty'", "ok", "-7 'net down'"}));
  EXPECT_EQ(Sent().at(0), Rtc("addMembers",
                              "82 01 a6 'conf-1' 02 91 8e 01 a2 'u1' 02 a0 03 a0 04 04 05 a0 06 00 "
                              "07 00 08 00 09 a0 0a a0 0b 00 0c 00 0d a0 0e ff"));
  EXPECT_EQ(Reports(), (Strs{"110 {rtc_id=conf-1,user_list=u1} 0 ''",
                             "110 {room_id=room-1,rtc_id=conf-1,user_list=u1,,u3} -7 'net down'"}));
}

// The caller's record goes out with the room's conference id; the answer comes back as it was
// decoded, an error as the client made it; nothing is logged or reported.
TEST_F(ConferenceTest, MemberLists) {
  vanta::rtc::ListApplyLinkMicUserReq req;
  req.rtc_id = "stale";
  req.number2 = 2;
  req.number3 = 300;
  ResultRecorder<vanta::rtc::ListApplyLinkMicUserRsp> got;
  service->ListApplyLinkMicUser(req, got.OnSuccess(), got.OnFailure());
  InConference();
  Answer("listApplyLinkMicUser", Bytes("83 01 92 81 01 a2 'u7' 81 01 a2 'u8' 02 c3 03 02"));
  service->ListApplyLinkMicUser(req, got.OnSuccess(), got.OnFailure());
  FailWithAdaptorError("listConfUser", "gone");
  ResultRecorder<vanta::rtc::ListConfUserRsp> users;
  service->ListConfUser({"stale", 2, 300}, users.OnSuccess(), users.OnFailure());

  EXPECT_EQ(Sent(), (Strs{Rtc("listApplyLinkMicUser", "83 01 a6 'conf-1' 02 02 03 cd 01 2c"),
                          Rtc("listConfUser", "83 01 a6 'conf-1' 02 02 03 cd 01 2c")}));
  EXPECT_EQ(Outcomes(got), (Strs{"0 'no rtc'", "ok"}));
  const auto& answer = std::get<0>(got.results()[1].response);
  EXPECT_EQ(answer.users, (std::vector<vanta::rtc::ConfUser>{Member("u7"), Member("u8")}));
  EXPECT_TRUE(answer.flag2);
  EXPECT_EQ(answer.number3, 2);
  EXPECT_EQ(Outcomes(users), Strs{"4001 'gone'"});
  EXPECT_EQ(users.results()[0].error.developer_message + "|" + users.results()[0].error.scope,
            "dev|scope");
  EXPECT_TRUE(ServiceLines().empty());
  EXPECT_TRUE(Reports().empty());
}

// ---- live broadcast ------------------------------------------------------------------------

TEST_F(ConferenceTest, PublishToTheRoomsLiveOrANewOneStoredBeforeThePush) {
  InConference();
  host.room->SetPluginInstanceId("live", "live-1");
  vanta::live::LiveDetail detail;
  detail.push_url = "rtmp://push/1";
  host.live_manager->live_detail().SucceedWith(detail);
  host.live_manager->publish().SucceedWith({"live-1", "rtmp://push/1", "rtmp://pull/1", 2});
  Publish();
  EXPECT_EQ(ServiceLines(), (Strs{"INFO:StartRoadPublish", "INFO:PublishLive Success"}));
  EXPECT_EQ(
      Reports(),
      (Strs{"107 {push_url=rtmp://push/1,rtc_id=conf-1} 0 ''",
            "124 {live_id=live-1,live_status=2,pull_url=rtmp://pull/1,push_url=rtmp://push/1} "
            "0 ''",
            "106 {rtc_id=conf-1} 0 ''"}));

  host.room->RemovePluginInstanceId("live");
  host.room_manager->create_live().SucceedWith({"room-1", "live-9", "rtmp://push/9", ""});
  Publish();
  const auto create = host.room_manager->create_live_requests().Snapshot().at(0);
  EXPECT_EQ(create.owner_id + "|" + create.title + "|" + create.cover_url + "|" +
                create.description + "|" + create.extra,
            "alice|room room-1|||");
  Strs rooms;
  EXPECT_EQ(Sent(&rooms),
            (Strs{Rtc("pushLiveStream", "83 01 a6 'conf-1' 02 ad 'rtmp://push/1' 03 01"),
                  Rtc("pushLiveStream", "83 01 a6 'conf-1' 02 ad 'rtmp://push/9' 03 01")}));
  EXPECT_EQ(rooms.back(), "conf-1|live-9");
  EXPECT_EQ(host.live_manager->live_detail_requests().Snapshot(), Strs{"live-1"});
  EXPECT_EQ(host.live_manager->publish_requests().Snapshot().at(1).live_id, "live-9");
  EXPECT_EQ(Outcomes(result), (Strs{"ok", "ok"}));
}

// Failures before and of the push reach the caller, reported with -1 whatever the code; a
// publish that fails after the push (the caller has heard of it) is only logged and reported.
TEST_F(ConferenceTest, PublishFailures) {
  InConference();
  host.room->SetPluginInstanceId("live", "live-1");
  host.live_manager->live_detail().FailWith(HostError(-4, "gone"));
  Publish();
  host.live_module->SetLiveManager(nullptr);
  Publish();
  host.live_module->SetLiveManager(host.live_manager);
  host.live_manager->live_detail().SucceedWith({});
  FailLocally("pushLiveStream", "-7", "net down");
  Publish();
  EXPECT_EQ(Outcomes(result), (Strs{"-4 'gone'", "0 'no live_manager'", "-7 'net down'"}));
  EXPECT_EQ(Reports(),
            (Strs{"107 {push_url=,rtc_id=conf-1} -1 'gone'",
                  "107 {push_url=,rtc_id=conf-1} -1 'no live_manager'",
                  "107 {push_url=,rtc_id=conf-1} 0 ''", "106 {rtc_id=conf-1} -1 'net down'"}));
  EXPECT_TRUE(host.live_manager->publish_requests().Snapshot().empty());

  ClearRecords();
  Answer("pushLiveStream", Bytes("80"));
  host.live_manager->publish().FailWith(HostError(-8, "denied"));
  Publish();
  EXPECT_EQ(Outcomes(result).back(), "ok");
  EXPECT_EQ(ServiceLines(), (Strs{"INFO:StartRoadPublish", "INFO:PublishLive error: denied"}));
  EXPECT_EQ(Reports().at(1), "124 {live_id=,live_status=,pull_url=,push_url=} -8 'denied'");
}

}  // namespace
}  // namespace service_test
