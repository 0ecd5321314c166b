// Media-engine events as the engine delivers them to the registered service: each event's log
// line, monitoring report and host-listener call, with the context alive and gone; join results
// and user notices.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/service_fixture.h"

namespace service_test {
namespace {

using service_test::operator<<;

using Fire = std::function<void(vanta::meta::RtcMediaEventListener&)>;

Strs One(const std::string& text) {
  return text.empty() ? Strs{} : Strs{text};
}

class EventTest : public ServiceTest {
 protected:
  void SetUp() override {
    ServiceTest::SetUp();
    InConference();
    service = MakeAttachedService();
  }
  void Deliver(const Fire& fire) { ASSERT_TRUE(host.media_engine->Emit(fire)); }
  // Each host-listener call from the `from`th on as "<op>(<ints>,<text>)".
  Strs HostCalls(size_t from = 0) const {
    Strs out;
    const auto events = host.event_listener->events().Snapshot();
    for (size_t n = from; n < events.size(); ++n) {
      std::string args;
      for (int32_t i : events[n].ints) args += (args.empty() ? "" : ",") + std::to_string(i);
      if (!events[n].text.empty()) args += (args.empty() ? "" : ",") + events[n].text;
      out.push_back(std::to_string(events[n].op) + "(" + args + ")");
    }
    return out;
  }
  std::shared_ptr<RtcService> service;
};

// Each text is one entry or none ("").
struct EventRow {
  const char* name;
  Fire fire;
  std::string line, report, host_call;
  bool host_call_needs_context;
};

class Events : public EventTest, public ::testing::WithParamInterface<EventRow> {};

// With the context gone the report and the context-bound host calls go; the line stays.
TEST_P(Events, LogReportAndForward) {
  const EventRow& row = GetParam();
  Deliver(row.fire);
  EXPECT_EQ(ServiceLines(), One(row.line));
  EXPECT_EQ(Reports(), One(row.report));
  EXPECT_EQ(HostCalls(), One(row.host_call));
  EXPECT_TRUE(Sent().empty());

  const size_t before = host.event_listener->events().size();
  ClearRecords();
  host.context.reset();
  Deliver(row.fire);
  EXPECT_EQ(ServiceLines(), One(row.line));
  EXPECT_TRUE(Reports().empty());
  EXPECT_EQ(HostCalls(before), One(row.host_call_needs_context ? "" : row.host_call));
}

INSTANTIATE_TEST_SUITE_P(
    LoggedEvents, Events,
    ::testing::Values(
        EventRow{"NetworkQuality", [](auto& l) { l.OnNetworkQualityChanged("bob", 1, 7); },
                 "INFO:OnNetworkQualityChanged, uid=bob,up_quality=good,down_quality=unknown",
                 "121 {down_quality=unknown,target_uid=bob,up_quality=good} 0 ''", "", false},
        EventRow{"Error", [](auto& l) { l.OnRtcError(-3, "boom"); },
                 "ERROR:rtc occur error, error=-3,msg=boom", "114 {} -3 'boom'", "", false},
        EventRow{"OccurError", [](auto& l) { l.OnOccurError(); }, "WARNING:OnOccurError",
                 "115 {cpu_usage_proc=,cpu_usage_sys=} 0 ''", "", false},
        EventRow{"FirstRemoteFrame",
                 [](auto& l) { l.OnFirstRemoteVideoFrameDrawn("bob", 3, 640, 480, 25); },
                 "INFO:OnFirstRemoteVideoFrameDrawn, uid=bob,videoTrack=screen|camera,width=640,"
                 "heigth=480,cost=25",
                 "120 {cost_time=25,height=480,source_type=screen|camera,target_uid=bob,"
                 "width=640} 0 ''",
                 "25(3,640,480,25,bob)", true},
        EventRow{"FirstRemoteFrameOutOfTable",
                 [](auto& l) { l.OnFirstRemoteVideoFrameDrawn("bob", 9, -1, 0, 0); },
                 "INFO:OnFirstRemoteVideoFrameDrawn, uid=bob,videoTrack=no,width=-1,heigth=0,"
                 "cost=0",
                 "120 {cost_time=0,height=0,source_type=no,target_uid=bob,width=-1} 0 ''",
                 "25(9,-1,0,0,bob)", true},
        EventRow{"FirstLocalFrame", [](auto& l) { l.OnFirstLocalVideoFrameDrawn(1280, 720, 9); },
                 "INFO:OnFirstLocalVideoFrameDrawn, width=1280,heigth=720,cost=9", "",
                 "26(1280,720,9)", false},
        EventRow{"PublishOutOfTable",
                 [](auto& l) { l.OnPublishLiveStreamStateChanged("u", 6, 0x1100009); },
                 "INFO:OnPublishLiveStreamStateChanged, stream_url=u,state=,error_code=",
                 "123 {live_trans_ec=17825801,live_trans_state=6,push_url=u} 0 ''", "", false},
        EventRow{"Stats",
                 [](auto& l) {
                   l.OnStats({1, 2, 9000000000, 4, 5, 6, 7, -8, 9, 10, 11, 12, 13, 14, 15, 16});
                 },
                 R"(INFO:OnStats statts = {"app_cpu":"-8","call_duration":"9",)"
                 R"("lastmile_delay":"16","rcvd_bytes":"4","rcvd_expected_pkts":"15",)"
                 R"("rcvd_k_bitrate":"2","rcvd_loss_pkts":"14","rcvd_loss_rate":"13",)"
                 R"("sent_bytes":"9000000000","sent_expected_pkts":"12","sent_k_bitrate":"1",)"
                 R"("sent_loss_pkts":"11","sent_loss_rate":"10","system_cpu":"7",)"
                 R"("video_rcvd_k_bitrate":"5","video_sent_k_bitrate":"6"})",
                 "", "19()", false},
        EventRow{"Forwarded3", [](auto& l) { l.OnForwardedEvent3(-1, INT32_MAX); }, "", "",
                 "18(-1,2147483647)", false},
        // Texts are copied verbatim: a quote in a user id is not escaped.
        EventRow{"RemoteVideoStats",
                 [](auto& l) {
                   l.OnRemoteVideoStats({"b\"o", 1, 640, 360, 24, 23, 2});
                 },
                 R"(INFO:OnRemoteVideoStats = {"decode_fps":"24","frozen_times":"2",)"
                 R"("height":"360","render_fps":"23","track":"camera","user_id":"b"o",)"
                 R"("width":"640"})",
                 "", "", false}),
    RowName());

TEST_F(EventTest, JoinResults) {
  Deliver([](auto& l) { l.OnJoinResult(0, 1, 2); });
  EXPECT_EQ(Sent(), Strs{Rtc("reportJoinStatus",
                             "87 01 a6 'conf-1' 02 a5 'alice' 03 a0 04 03 05 a0 06 00 07 00")});
  const size_t room_calls = host.room->calls().size();
  Deliver([](auto& l) { l.OnJoinResult(-5, 0, 0); });
  EXPECT_EQ(host.room->calls().size(), room_calls) << "a failure looks up no conference id";
  EXPECT_EQ(Reports(), (Strs{"125 {join_status=3,rtc_id=conf-1} 0 ''", "108 {rtc_id=conf-1} 0 ''",
                             "108 {rtc_id=} -1 '-5'"}));
  EXPECT_EQ(HostCalls(), (Strs{"1()", "2()"}));
  EXPECT_EQ(host.event_listener->EventsOf(2).at(0).error.reason, "-5");
  EXPECT_TRUE(ServiceLines().empty());

  host.context.reset();
  ClearRecords();
  Deliver([](auto& l) { l.OnJoinResult(0, 0, 0); });
  Deliver([](auto& l) { l.OnJoinResult(-5, 0, 0); });
  Deliver([](auto& l) { l.OnUserNotify("bob", 1, 1); });
  EXPECT_EQ(HostCalls().size(), 2u) << "nothing more once the context is gone";
  EXPECT_TRUE(Reports().empty() && Sent().empty());
}

// Both ends of the publish state and error-code tables, and just outside them.
TEST_F(EventTest, PublishTextsToTheEndsOfTheirTables) {
  struct Row {
    int32_t state, code;
    const char* texts;  // "<state text>,error_code=<error text>"
  };
  for (const Row& row : {Row{0, 0, "idle,error_code=publish_ok"},
                         Row{5, 0x1100001, "end,error_code=stream_not_found"},
                         Row{1, 0x1100008, "connect,error_code=not_authorized"},
                         Row{-1, 0x1100000, ",error_code="}, Row{6, 1, ",error_code="}}) {
    ClearRecords();
    Deliver([&row](auto& l) { l.OnPublishLiveStreamStateChanged("u", row.state, row.code); });
    EXPECT_EQ(ServiceLines(), One(std::string("INFO:OnPublishLiveStreamStateChanged, "
                                              "stream_url=u,state=") +
                                  row.texts));
  }
}

// A notice carries the second value and whether it is about the user themself by the fourth
// text of the user record, byte for byte.
TEST_F(EventTest, UserNotices) {
  struct Row {
    std::string user;
    int32_t a, b;
    std::string record_user;
    const char* notice;  // "<user> <value> <is self>", or none
  };
  for (const Row& row : std::vector<Row>{{kUser, 0, 0, kUser, ""},
                                         {"bob", 1, 0, kUser, "bob 0 0"},
                                         {"bob", 0, 5, kUser, "bob 5 0"},
                                         {kUser, 2, -3, kUser, "alice -3 1"},
                                         {"carol", 1, 1, "carol", "carol 1 1"},
                                         {"Alice", 1, 1, kUser, "Alice 1 0"}}) {
    SCOPED_TRACE(row.user + " " + std::to_string(row.a) + " " + std::to_string(row.b));
    refhost::ReferenceHost room_host(kUser, kRoom, kUser);
    room_host.context->SetUserRecord({"name", "avatar", "role", row.record_user});
    auto own = std::make_shared<RtcService>(room_host.context);
    own->SetEventListener(room_host.event_listener);
    own->OnUserNotify(row.user, row.a, row.b);
    Strs notices;
    for (const auto& e : room_host.event_listener->EventsOf(3)) {
      const vanta::meta::UserNotice& n = e.notice;
      EXPECT_TRUE(n.extra.empty() && !n.flag);
      notices.push_back(n.user_id + " " + std::to_string(n.value) + " " + (n.is_self ? "1" : "0"));
    }
    EXPECT_EQ(notices, One(row.notice));
  }
}

}  // namespace
}  // namespace service_test
