// Joining (with the room's conference or a new one), leaving (and destroying as the owner), the
// status reports, adding members and the two member lists.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/service_fixture.h"

namespace service_test {
namespace {

using refhost::ResultRecorder;
using vanta::meta::JoinChannelInfo;

constexpr char kTokenBody[] =
    "86 01 a2 't1' 02 a3 'tok' 03 a2 't3' 04 a2 't4' 05 cf 00 00 00 01 2a 05 f2 00 06 a2 't6'";

void ExpectReport(const MetrixReport& r, int32_t id, const Params& params, int64_t code = 0,
                  const std::string& message = "") {
  EXPECT_EQ(r.event_id, id);
  EXPECT_EQ(r.params, params) << "event " << id;
  EXPECT_EQ(r.code, code) << "event " << id;
  EXPECT_EQ(r.message, message) << "event " << id;
}

class JoinTest : public ServiceTest {
 protected:
  void SetUp() override {
    ServiceTest::SetUp();
    Answer("getToken", Bytes(kTokenBody));
    service = MakeAttachedService();
  }

  void ExpectJoined(const std::string& rtc_id) {
    auto joins = host.media_engine->CallsOf(4);
    ASSERT_EQ(joins.size(), 1u);
    const JoinChannelInfo& info = joins[0].join;
    EXPECT_EQ(info.token_text4, "t4");
    EXPECT_EQ(info.channel_id, rtc_id);
    EXPECT_EQ(info.user_id, kUser);
    EXPECT_EQ(info.token, "tok");
    EXPECT_EQ(info.token_text6, "t6");
    EXPECT_EQ(info.token_number5, 5000000000);
    EXPECT_EQ(info.token_text3, "t3");
  }

  std::shared_ptr<RtcService> service;
  ResultRecorder<> result;
};

TEST_F(JoinTest, ExistingConferenceAsksForATokenAndJoinsTheChannel) {
  InConference("conf-1");
  service->JoinRtc(99, result.OnSuccess(), result.OnFailure());

  ASSERT_EQ(SentRequests().size(), 1u);
  EXPECT_EQ(SentRequests()[0].uri, std::string(kRtcUri) + "getToken");
  EXPECT_EQ(SentRequests()[0].body, Bytes("81 01 a6 'conf-1'"));
  ExpectJoined("conf-1");
  ASSERT_EQ(result.count(), 1u);
  EXPECT_TRUE(result.results()[0].success);
  ASSERT_EQ(Reports().size(), 1u);
  ExpectReport(Reports()[0], 127, {{"rtc_id", "conf-1"}});
  EXPECT_TRUE(host.room_manager->create_rtc_requests().Snapshot().empty());
  EXPECT_TRUE(ServiceLines().empty());
}

TEST_F(JoinTest, NoConferenceCreatesOneAndStoresItsIdBeforeTheTokenRequest) {
  host.room_manager->create_rtc().SucceedWith({"conf-new"});
  service->JoinRtc(0, result.OnSuccess(), result.OnFailure());

  auto creates = host.room_manager->create_rtc_requests().Snapshot();
  ASSERT_EQ(creates.size(), 1u);
  EXPECT_EQ(creates[0].creator_id, kUser);
  EXPECT_EQ(creates[0].owner_id, kUser);
  EXPECT_EQ(creates[0].title, "room room-1");
  EXPECT_TRUE(creates[0].members.empty());
  EXPECT_EQ(creates[0].type, 0);
  EXPECT_EQ(creates[0].extra, "");

  ASSERT_EQ(SentRequests().size(), 1u);
  EXPECT_EQ(SentRequests()[0].body, Bytes("81 01 a8 'conf-new'"));
  EXPECT_EQ(SentRequests()[0].room_rtc_id, "conf-new") << "stored before the token request";
  ExpectJoined("conf-new");
  ASSERT_EQ(result.count(), 1u);
  EXPECT_TRUE(result.results()[0].success);
  ASSERT_EQ(Reports().size(), 2u);
  ExpectReport(Reports()[0], 127, {{"rtc_id", "conf-new"}});
  ExpectReport(Reports()[1], 104, {{"rtc_id", "conf-new"}});
}

TEST_F(JoinTest, CreateFailureTellsTheListenerThenTheCaller) {
  host.room_manager->create_rtc().FailWith(HostError(-9, "room closed"));
  size_t listener_events_at_failure = 0;
  service->JoinRtc(
      0, [] { ADD_FAILURE() << "no success"; },
      [&](const NexoError& error) {
        listener_events_at_failure = host.event_listener->events().size();
        EXPECT_EQ(error.code, -9);
        EXPECT_EQ(error.reason, "room closed");
      });

  EXPECT_EQ(listener_events_at_failure, 1u) << "the listener hears first";
  auto errors = host.event_listener->EventsOf(2);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].error.code, -9);
  EXPECT_EQ(errors[0].error.reason, "room closed");
  ASSERT_EQ(Reports().size(), 1u);
  ExpectReport(Reports()[0], 104, {{"rtc_id", ""}}, -9, "room closed");
  EXPECT_TRUE(SentRequests().empty());
  EXPECT_EQ(host.room->InstanceId("rtc"), "");
}

TEST_F(JoinTest, TokenFailureReachesTheCallerAndTheReport) {
  InConference("conf-1");
  FailLocally("getToken", "-7", "net down");
  service->JoinRtc(0, result.OnSuccess(), result.OnFailure());

  ASSERT_EQ(result.count(), 1u);
  EXPECT_FALSE(result.results()[0].success);
  EXPECT_EQ(result.results()[0].error.code, -7);
  EXPECT_EQ(result.results()[0].error.reason, "net down");
  ASSERT_EQ(Reports().size(), 1u);
  ExpectReport(Reports()[0], 127, {{"rtc_id", "conf-1"}}, -7, "net down");
  EXPECT_TRUE(host.media_engine->CallsOf(4).empty());
}

TEST_F(JoinTest, EmptyTokenIsLoggedAndTheChannelIsJoinedAnyway) {
  InConference("conf-1");
  Answer("getToken", Bytes("82 02 a0 04 a2 't4'"));
  service->JoinRtc(0, result.OnSuccess(), result.OnFailure());

  EXPECT_EQ(ServiceLines(), (std::vector<std::string>{"INFO:get token error"}));
  auto joins = host.media_engine->CallsOf(4);
  ASSERT_EQ(joins.size(), 1u);
  EXPECT_EQ(joins[0].join.token, "");
  EXPECT_EQ(joins[0].join.token_text4, "t4");
  EXPECT_EQ(result.count(), 1u);
  EXPECT_EQ(ReportIds(), (std::vector<int32_t>{127}));
}

TEST_F(JoinTest, WithoutAMediaEngineNobodyHearsBack) {
  InConference("conf-1");
  service->SetMediaEngine(nullptr);
  service->JoinRtc(0, result.OnSuccess(), result.OnFailure());
  EXPECT_EQ(SentUris(), (std::vector<std::string>{std::string(kRtcUri) + "getToken"}));
  EXPECT_EQ(result.count(), 0u);
  EXPECT_TRUE(Reports().empty());
}

// ---- leave -----------------------------------------------------------------------------------

class LeaveTest : public ServiceTest {
 protected:
  void SetUp() override {
    ServiceTest::SetUp();
    service = MakeAttachedService();
  }
  std::shared_ptr<RtcService> service;
  ResultRecorder<> result;
};

TEST_F(LeaveTest, WithoutAConferenceOnlyTheLeaveLineIsWritten) {
  for (bool destroy : {false, true}) {
    service->LeaveRtc(destroy, result.OnSuccess(), result.OnFailure());
  }
  EXPECT_EQ(ServiceLines(), (std::vector<std::string>{"INFO:leave channel", "INFO:leave channel"}));
  EXPECT_EQ(result.count(), 0u);
  EXPECT_TRUE(SentRequests().empty());
  EXPECT_TRUE(Reports().empty());
  EXPECT_TRUE(EngineOps().empty());
}

TEST_F(LeaveTest, LeavingReportsTheLeaveStatusAndLeavesTheChannel) {
  InConference("conf-1");
  service->LeaveRtc(false, result.OnSuccess(), result.OnFailure());

  EXPECT_EQ(ServiceLines(), (std::vector<std::string>{"INFO:leave channel",
                                                      "INFO:ReportLeaveStatus, conf_id=conf-1",
                                                      "INFO:ReportLeaveStatus success"}));
  ASSERT_EQ(SentRequests().size(), 1u);
  EXPECT_EQ(SentRequests()[0].uri, std::string(kRtcUri) + "reportLeaveStatus");
  EXPECT_EQ(SentRequests()[0].body, Bytes("82 01 a6 'conf-1' 02 a0"));
  EXPECT_EQ(EngineOps(), (std::vector<int>{5}));
  ASSERT_EQ(Reports().size(), 2u);
  ExpectReport(Reports()[0], 126, {{"rtc_id", "conf-1"}});
  ExpectReport(Reports()[1], 109, {{"rtc_id", "conf-1"}});
  ASSERT_EQ(result.count(), 1u);
  EXPECT_TRUE(result.results()[0].success);
  EXPECT_EQ(host.room->InstanceId("rtc"), "conf-1") << "leaving does not destroy";
}

TEST_F(LeaveTest, LeaveStatusFailureIsLoggedAndReportedButTheLeaveGoesOn) {
  InConference("conf-1");
  FailWithAdaptorError("reportLeaveStatus", "late");
  service->SetMediaEngine(nullptr);
  service->LeaveRtc(false, result.OnSuccess(), result.OnFailure());

  EXPECT_EQ(ServiceLines(), (std::vector<std::string>{
                                "INFO:leave channel", "INFO:ReportLeaveStatus, conf_id=conf-1",
                                "ERROR:ReportLeaveStatus failed, code=4001 msg=late"}));
  ASSERT_EQ(Reports().size(), 1u) << "no engine: no report 109";
  ExpectReport(Reports()[0], 126, {{"rtc_id", "conf-1"}}, 4001, "late");
  ASSERT_EQ(result.count(), 1u);
  EXPECT_TRUE(result.results()[0].success);
}

TEST_F(LeaveTest, OwnerDestroysTheConference) {
  InConference("conf-1");
  service->LeaveRtc(true, result.OnSuccess(), result.OnFailure());

  auto destroys = host.room_manager->destroy_rtc_requests().Snapshot();
  ASSERT_EQ(destroys.size(), 1u);
  EXPECT_EQ(destroys[0].rtc_id, "conf-1");
  EXPECT_EQ(host.room->InstanceId("rtc"), "");
  ASSERT_EQ(result.count(), 1u);
  EXPECT_TRUE(result.results()[0].success);
  ASSERT_EQ(Reports().size(), 3u);
  ExpectReport(Reports()[0], 126, {{"rtc_id", "conf-1"}});
  ExpectReport(Reports()[1], 109, {{"rtc_id", "conf-1"}});
  ExpectReport(Reports()[2], 105, {{"rtc_id", "conf-1"}});
}

TEST_F(LeaveTest, DestroyFailureKeepsTheConference) {
  InConference("conf-1");
  host.room_manager->destroy_rtc().FailWith(HostError(-4, "busy"));
  service->LeaveRtc(true, result.OnSuccess(), result.OnFailure());

  ASSERT_EQ(result.count(), 1u);
  EXPECT_FALSE(result.results()[0].success);
  EXPECT_EQ(result.results()[0].error.code, -4);
  EXPECT_EQ(result.results()[0].error.reason, "busy");
  EXPECT_EQ(host.room->InstanceId("rtc"), "conf-1");
  ASSERT_EQ(Reports().size(), 3u);
  ExpectReport(Reports()[2], 105, {{"rtc_id", "conf-1"}}, -4, "busy");
}

// Only the room's owner may destroy: the channel is left and the status reported first.
TEST_F(LeaveTest, DestroyWithoutOwnershipIsRefused) {
  struct Case {
    const char* name;
    std::string user;
    std::string owner;
  };
  for (const Case& c :
       {Case{"someone else owns it", kUser, "bob"}, Case{"no owner", kUser, ""},
        Case{"no user and no owner", "", ""}, Case{"owner id differs in case", kUser, "Alice"}}) {
    SCOPED_TRACE(c.name);
    refhost::ReferenceHost room_host(c.user, kRoom, c.owner);
    room_host.room->SetPluginInstanceId("rtc", "conf-1");
    auto own = std::make_shared<RtcService>(room_host.context);
    own->SetMediaEngine(room_host.media_engine);
    ResultRecorder<> outcome;
    own->LeaveRtc(true, outcome.OnSuccess(), outcome.OnFailure());

    ASSERT_EQ(outcome.count(), 1u);
    EXPECT_FALSE(outcome.results()[0].success);
    EXPECT_EQ(outcome.results()[0].error.reason, "no permission to destroy rtc");
    EXPECT_EQ(outcome.results()[0].error.code, 0);
    EXPECT_EQ(room_host.media_engine->Ops(), (std::vector<int>{10, 1, 5}));
    EXPECT_TRUE(room_host.room_manager->destroy_rtc_requests().Snapshot().empty());
    EXPECT_EQ(room_host.room->InstanceId("rtc"), "conf-1");
    room_host.media_engine->ClearEventListener();
  }
}

// ---- status reports --------------------------------------------------------------------------

TEST_F(ServiceTest, JoinStatusReportSendsTheStatusAndReportsIt) {
  auto service = MakeAttachedService();
  service->ReportJoinStatus("conf-9", 3);
  ASSERT_EQ(SentRequests().size(), 1u);
  EXPECT_EQ(SentRequests()[0].uri, std::string(kRtcUri) + "reportJoinStatus");
  EXPECT_EQ(SentRequests()[0].body,
            Bytes("87 01 a6 'conf-9' 02 a5 'alice' 03 a0 04 03 05 a0 06 00 07 00"));

  FailLocally("reportJoinStatus", "-2", "nope");
  service->ReportJoinStatus("conf-9", -1);
  ASSERT_EQ(Reports().size(), 2u);
  ExpectReport(Reports()[0], 125, {{"join_status", "3"}, {"rtc_id", "conf-9"}});
  ExpectReport(Reports()[1], 125, {{"join_status", "-1"}, {"rtc_id", "conf-9"}}, -2, "nope");
  EXPECT_TRUE(ServiceLines().empty());
}

// ---- members ---------------------------------------------------------------------------------

TEST_F(ServiceTest, AddMembersChecksTheListBeforeTheConference) {
  auto service = MakeAttachedService();
  ResultRecorder<> result;
  service->AddMembers({}, result.OnSuccess(), result.OnFailure());
  service->AddMembers({Member("u1")}, result.OnSuccess(), result.OnFailure());
  InConference("conf-1");
  service->AddMembers({}, result.OnSuccess(), result.OnFailure());

  auto results = result.results();
  ASSERT_EQ(results.size(), 3u);
  EXPECT_EQ(results[0].error.reason, "user_list is empty");
  EXPECT_EQ(results[1].error.reason, "rtc_id is empty");
  EXPECT_EQ(results[2].error.reason, "user_list is empty");
  for (const auto& r : results) {
    EXPECT_FALSE(r.success);
    EXPECT_EQ(r.error.code, 0);
  }
  EXPECT_TRUE(SentRequests().empty());
  EXPECT_TRUE(Reports().empty());
}

TEST_F(ServiceTest, AddMembersSendsTheRecordsAndReportsTheUserList) {
  InConference("conf-1");
  auto service = MakeAttachedService();
  struct Case {
    std::vector<std::string> ids;
    std::string user_list;
  };
  for (const Case& c :
       {Case{{"u1"}, "u1"}, Case{{"u1", "u2"}, "u1,u2"}, Case{{"u1", "", "u3"}, "u1,,u3"}}) {
    SCOPED_TRACE(c.user_list);
    ClearRecords();
    std::vector<vanta::rtc::ConfUser> members;
    for (const auto& id : c.ids) members.push_back(Member(id));
    ResultRecorder<> result;
    service->AddMembers(members, result.OnSuccess(), result.OnFailure());
    ASSERT_EQ(result.count(), 1u);
    EXPECT_TRUE(result.results()[0].success);
    ASSERT_EQ(Reports().size(), 1u);
    ExpectReport(Reports()[0], 110, {{"rtc_id", "conf-1"}, {"user_list", c.user_list}});
    ASSERT_EQ(SentRequests().size(), 1u);
    EXPECT_EQ(SentRequests()[0].uri, std::string(kRtcUri) + "addMembers");
  }
  // Every field of a member record goes on the wire.
  ClearRecords();
  vanta::rtc::ConfUser full = Member("u1");
  full.number4 = 4;
  full.number14 = -1;
  service->AddMembers(
      {full}, [] {}, [](const NexoError&) {});
  EXPECT_EQ(SentRequests().at(0).body,
            Bytes("82 01 a6 'conf-1' 02 91 8e 01 a2 'u1' 02 a0 03 a0 04 04 05 a0 06 00 07 00 08 00"
                  "   09 a0 0a a0 0b 00 0c 00 0d a0 0e ff"));
}

TEST_F(ServiceTest, AddMembersFailureReportsTheRoomToo) {
  InConference("conf-1");
  FailLocally("addMembers", "-7", "net down");
  auto service = MakeAttachedService();
  ResultRecorder<> result;
  service->AddMembers({Member("u1"), Member("u2")}, result.OnSuccess(), result.OnFailure());

  ASSERT_EQ(result.count(), 1u);
  EXPECT_EQ(result.results()[0].error.code, -7);
  EXPECT_EQ(result.results()[0].error.reason, "net down");
  ASSERT_EQ(Reports().size(), 1u);
  ExpectReport(Reports()[0], 110,
               {{"room_id", kRoom}, {"rtc_id", "conf-1"}, {"user_list", "u1,u2"}}, -7, "net down");
  EXPECT_TRUE(ServiceLines().empty());
}

// Both lists: the caller's record goes out with the room's conference id; the answer comes
// back as it was decoded, an error as the client made it; the service logs and reports nothing.
class ListTest : public ServiceTest {
 protected:
  template <typename Req, typename Rsp>
  void Check(const std::string& op,
             void (RtcService::*list)(const Req&, const vanta::meta::RtcSuccessFunc<Rsp>&,
                                      const vanta::meta::RtcFailureFunc&)) {
    SCOPED_TRACE(op);
    auto service = MakeAttachedService();
    Req req;
    req.rtc_id = "stale";
    req.number2 = 2;
    req.number3 = 300;

    ResultRecorder<Rsp> no_rtc;
    ((*service).*list)(req, no_rtc.OnSuccess(), no_rtc.OnFailure());
    ASSERT_EQ(no_rtc.count(), 1u);
    EXPECT_EQ(no_rtc.results()[0].error.reason, "no rtc");
    EXPECT_EQ(no_rtc.results()[0].error.code, 0);
    EXPECT_TRUE(SentRequests().empty());

    InConference("conf-1");
    Answer(op, Bytes("83 01 92 81 01 a2 'u7' 81 01 a2 'u8' 02 c3 03 02"));
    ResultRecorder<Rsp> answered;
    ((*service).*list)(req, answered.OnSuccess(), answered.OnFailure());
    ASSERT_EQ(SentRequests().size(), 1u);
    EXPECT_EQ(SentRequests()[0].uri, kRtcUri + op);
    EXPECT_EQ(SentRequests()[0].body, Bytes("83 01 a6 'conf-1' 02 02 03 cd 01 2c"));
    ASSERT_EQ(answered.count(), 1u);
    ASSERT_TRUE(answered.results()[0].success);
    Rsp expected;
    expected.users = {Member("u7"), Member("u8")};
    expected.flag2 = true;
    expected.number3 = 2;
    EXPECT_EQ(std::get<0>(answered.results()[0].response), expected);

    FailWithAdaptorError(op, "gone");
    ResultRecorder<Rsp> failed;
    ((*service).*list)(req, failed.OnSuccess(), failed.OnFailure());
    ASSERT_EQ(failed.count(), 1u);
    EXPECT_FALSE(failed.results()[0].success);
    EXPECT_EQ(failed.results()[0].error.code, 4001);
    EXPECT_EQ(failed.results()[0].error.reason, "gone");
    EXPECT_EQ(failed.results()[0].error.developer_message, "dev");
    EXPECT_EQ(failed.results()[0].error.scope, "scope");

    EXPECT_TRUE(ServiceLines().empty());
    EXPECT_TRUE(Reports().empty());
    host.room->RemovePluginInstanceId("rtc");
  }
};

TEST_F(ListTest, ListConfUser) {
  Check<vanta::rtc::ListConfUserReq, vanta::rtc::ListConfUserRsp>("listConfUser",
                                                                  &RtcService::ListConfUser);
}

TEST_F(ListTest, ListApplyLinkMicUser) {
  Check<vanta::rtc::ListApplyLinkMicUserReq, vanta::rtc::ListApplyLinkMicUserRsp>(
      "listApplyLinkMicUser", &RtcService::ListApplyLinkMicUser);
}

}  // namespace
}  // namespace service_test
