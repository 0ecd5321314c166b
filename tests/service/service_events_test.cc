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

using vanta::meta::RtcMediaEventListener;
using Fire = std::function<void(RtcMediaEventListener&)>;

class EventTest : public ServiceTest {
 protected:
  void SetUp() override {
    ServiceTest::SetUp();
    InConference("conf-1");
    service = MakeAttachedService();
  }
  void Deliver(const Fire& fire) { ASSERT_TRUE(host.media_engine->Emit(fire)); }
  // Each host-listener call from the `from`th on as "<op>(<ints>,<text>)".
  Strs HostCalls(size_t from = 0) const {
    Strs out;
    const auto events = host.event_listener->events().Snapshot();
    for (size_t n = from; n < events.size(); ++n) {
      const refhost::HostEvent& e = events[n];
      std::string args;
      for (int32_t i : e.ints) args += (args.empty() ? "" : ",") + std::to_string(i);
      if (!e.text.empty()) args += (args.empty() ? "" : ",") + e.text;
      out.push_back(std::to_string(e.op) + "(" + args + ")");
    }
    return out;
  }
  std::shared_ptr<RtcService> service;
};

struct EventRow {
  EventRow(const char* n, Fire f, Strs l, Strs r = {}, Strs h = {}, bool bound = false)
      : name(n), fire(f), lines(l), reports(r), host_calls(h), forward_needs_context(bound) {}
  const char* name;
  Fire fire;
  Strs lines, reports, host_calls;
  bool forward_needs_context;
};

class Events : public EventTest, public ::testing::WithParamInterface<EventRow> {};

// With the context gone the report and the context-bound host calls go; the line stays.
TEST_P(Events, LogReportAndForward) {
  const EventRow& row = GetParam();
  Deliver(row.fire);
  EXPECT_EQ(ServiceLines(), row.lines);
  EXPECT_EQ(Reports(), row.reports);
  EXPECT_EQ(HostCalls(), row.host_calls);
  EXPECT_TRUE(Sent().empty());

  const size_t before = host.event_listener->events().size();
  ClearRecords();
  host.context.reset();
  Deliver(row.fire);
  EXPECT_EQ(ServiceLines(), row.lines);
  EXPECT_TRUE(Reports().empty());
  EXPECT_EQ(HostCalls(before), row.forward_needs_context ? Strs{} : row.host_calls);
}

vanta::meta::RtcStats NumberedStats() {
  vanta::meta::RtcStats s;
  s.sent_k_bitrate = 1;
  s.rcvd_k_bitrate = 2;
  s.sent_bytes = 9000000000;
  s.rcvd_bytes = 4;
  s.video_rcvd_k_bitrate = 5;
  s.video_sent_k_bitrate = 6;
  s.system_cpu = 7;
  s.app_cpu = -8;
  s.call_duration = 9;
  s.sent_loss_rate = 10;
  s.sent_loss_pkts = 11;
  s.sent_expected_pkts = 12;
  s.rcvd_loss_rate = 13;
  s.rcvd_loss_pkts = 14;
  s.rcvd_expected_pkts = 15;
  s.lastmile_delay = 16;
  return s;
}

INSTANTIATE_TEST_SUITE_P(
    EveryLoggedEvent, Events,
    ::testing::Values(
        EventRow{"NetworkQuality",
                 [](auto& l) { l.OnNetworkQualityChanged("bob", 1, 7); },
                 {"INFO:OnNetworkQualityChanged, uid=bob,up_quality=good,down_quality=unknown"},
                 {"121 {down_quality=unknown,target_uid=bob,up_quality=good} 0 ''"}},
        EventRow{"NetworkQualityEnds",
                 [](auto& l) { l.OnNetworkQualityChanged("", 0, 5); },
                 {"INFO:OnNetworkQualityChanged, uid=,up_quality=excellent,"
                  "down_quality=disconnect"},
                 {"121 {down_quality=disconnect,target_uid=,up_quality=excellent} 0 ''"}},
        EventRow{"Warning",
                 [](auto& l) { l.OnRtcWarning(12, "w x"); },
                 {"WARNING:rtc occur warning, warn=12,msg=w x"}},
        EventRow{"Error",
                 [](auto& l) { l.OnRtcError(-3, "boom"); },
                 {"ERROR:rtc occur error, error=-3,msg=boom"},
                 {"114 {} -3 'boom'"}},
        EventRow{"OccurError",
                 [](auto& l) { l.OnOccurError(); },
                 {"WARNING:OnOccurError"},
                 {"115 {cpu_usage_proc=,cpu_usage_sys=} 0 ''"}},
        EventRow{"FirstRemoteFrame",
                 [](auto& l) { l.OnFirstRemoteVideoFrameDrawn("bob", 3, 640, 480, 25); },
                 {"INFO:OnFirstRemoteVideoFrameDrawn, uid=bob,videoTrack=screen|camera,width=640,"
                  "heigth=480,cost=25"},
                 {"120 {cost_time=25,height=480,source_type=screen|camera,target_uid=bob,"
                  "width=640} 0 ''"},
                 {"25(3,640,480,25,bob)"},
                 true},
        EventRow{"FirstRemoteFrameOutOfTable",
                 [](auto& l) { l.OnFirstRemoteVideoFrameDrawn("bob", 9, -1, 0, 0); },
                 {"INFO:OnFirstRemoteVideoFrameDrawn, uid=bob,videoTrack=no,width=-1,heigth=0,"
                  "cost=0"},
                 {"120 {cost_time=0,height=0,source_type=no,target_uid=bob,width=-1} 0 ''"},
                 {"25(9,-1,0,0,bob)"},
                 true},
        EventRow{"FirstLocalFrame",
                 [](auto& l) { l.OnFirstLocalVideoFrameDrawn(1280, 720, 9); },
                 {"INFO:OnFirstLocalVideoFrameDrawn, width=1280,heigth=720,cost=9"},
                 {},
                 {"26(1280,720,9)"}},
        EventRow{"ConnectionLost",
                 [](auto& l) { l.OnConnectionLost(); },
                 {"ERROR:OnConnectionLost"},
                 {"117 {} 0 ''"}},
        EventRow{"TryToReconnect",
                 [](auto& l) { l.OnTryToReconnect(); },
                 {"WARNING:OnTryToReconnect"},
                 {"118 {} 0 ''"}},
        EventRow{"ConnectionStatus",
                 [](auto& l) { l.OnConnectionStatusChange(4, -2); },
                 {"WARNING:OnConnectionStatusChange, status=4,reason=-2"}},
        EventRow{"PublishTimeout",
                 [](auto& l) { l.OnPublishLiveStreamStateChanged("rtmp://x/1", 2, 0x1100007); },
                 {"INFO:OnPublishLiveStreamStateChanged, stream_url=rtmp://x/1,state=running,"
                  "error_code=publish_timeout"},
                 {"123 {live_trans_ec=17825799,live_trans_state=2,push_url=rtmp://x/1} 0 ''"}},
        EventRow{"PublishOutOfTable",
                 [](auto& l) { l.OnPublishLiveStreamStateChanged("u", 6, 0x1100009); },
                 {"INFO:OnPublishLiveStreamStateChanged, stream_url=u,state=,error_code="},
                 {"123 {live_trans_ec=17825801,live_trans_state=6,push_url=u} 0 ''"}},
        EventRow{"PublishTaskOutOfTable",
                 [](auto& l) { l.OnPublishTaskStateChanged("rtmp://x/1", 3); },
                 {"INFO:OnPublishTaskStateChanged, stream_url=rtmp://x/1,state="}},
        EventRow{"RemoteUserOffline",
                 [](auto& l) { l.OnRemoteUserOffLineNotify("bob", 2); },
                 {"INFO:OnRemoteUserOffLineNotify, uid=bob,reason =become_audience"}},
        EventRow{"Bye", [](auto& l) { l.OnBye(7); }, {"INFO:OnBye"}},
        EventRow{"Stats",
                 [](auto& l) { l.OnStats(NumberedStats()); },
                 {R"(INFO:OnStats statts = {"app_cpu":"-8","call_duration":"9",)"
                  R"("lastmile_delay":"16","rcvd_bytes":"4","rcvd_expected_pkts":"15",)"
                  R"("rcvd_k_bitrate":"2","rcvd_loss_pkts":"14","rcvd_loss_rate":"13",)"
                  R"("sent_bytes":"9000000000","sent_expected_pkts":"12","sent_k_bitrate":"1",)"
                  R"("sent_loss_pkts":"11","sent_loss_rate":"10","system_cpu":"7",)"
                  R"("video_rcvd_k_bitrate":"5","video_sent_k_bitrate":"6"})"},
                 {},
                 {"19()"}},
        EventRow{"LocalVideoStats",
                 [](auto& l) {
                   l.OnLocalVideoStats({2, 800, 25, 30});
                 },
                 {R"(INFO:OnLocalVideoStats = {"encode_fps":"30","sent_bitrate":"800",)"
                  R"("sent_fps":"25","track":"screen"})"}},
        EventRow{"LocalAudioStatsOutOfTable",
                 [](auto& l) {
                   l.OnLocalAudioStats({7, 64, 48000, 2, -5});
                 },
                 {R"(INFO:OnLocalAudioStats = {"input_level":"-5","num_channel":"2",)"
                  R"("sent_bitrate":"64","sent_samplerate":"48000","track":""})"}},
        // Texts are copied verbatim: a quote in a user id is not escaped.
        EventRow{"RemoteVideoStats",
                 [](auto& l) {
                   l.OnRemoteVideoStats({"b\"o", 1, 640, 360, 24, 23, 2});
                 },
                 {R"(INFO:OnRemoteVideoStats = {"decode_fps":"24","frozen_times":"2",)"
                  R"("height":"360","render_fps":"23","track":"camera","user_id":"b"o",)"
                  R"("width":"640"})"}},
        EventRow{"RemoteAudioStats",
                 [](auto& l) {
                   l.OnRemoteAudioStats({"bob", 0, 4, 30, 40, 5, 32, 1});
                 },
                 {R"(INFO:OnRemoteAudioStats = {"audio_loss_rate":"5",)"
                  R"("jitter_buffer_delay":"40","network_transport_delay":"30","quality":"4",)"
                  R"("rcvd_bitrate":"32","total_frozen_times":"1","track":"no","user_id":"bob"})"}},
        EventRow{"Forwarded3",
                 [](auto& l) { l.OnForwardedEvent3(-1, INT32_MAX); },
                 {},
                 {},
                 {"18(-1,2147483647)"}},
        EventRow{"Forwarded24",
                 [](auto& l) { l.OnForwardedEvent24(INT32_MIN, 6); },
                 {},
                 {},
                 {"21(-2147483648,6)"}},
        EventRow{"Forwarded26", [](auto& l) { l.OnForwardedEvent26(-9); }, {}, {}, {"24(-9)"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EventTest, StatsRecordReachesTheHostUnchanged) {
  Deliver([](auto& l) { l.OnStats(NumberedStats()); });
  auto events = host.event_listener->EventsOf(19);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].stats.sent_bytes, 9000000000);
  EXPECT_EQ(events[0].stats.app_cpu, -8);
  EXPECT_EQ(events[0].stats.lastmile_delay, 16);
}

// ---- join result ---------------------------------------------------------------------------

TEST_F(EventTest, JoinedReportsStatusThreeThenTellsTheHost) {
  Deliver([](auto& l) { l.OnJoinResult(0, 1, 2); });
  EXPECT_EQ(Sent(), Strs{Rtc("reportJoinStatus",
                             "87 01 a6 'conf-1' 02 a5 'alice' 03 a0 04 03 05 a0 06 00 07 00")});
  EXPECT_EQ(Reports(),
            (Strs{"125 {join_status=3,rtc_id=conf-1} 0 ''", "108 {rtc_id=conf-1} 0 ''"}));
  EXPECT_EQ(HostCalls(), Strs{"1()"});
  EXPECT_TRUE(ServiceLines().empty());
}

TEST_F(EventTest, JoinFailureGivesTheHostTheResultAsReason) {
  const size_t room_calls = host.room->calls().size();
  Deliver([](auto& l) { l.OnJoinResult(-5, 0, 0); });
  auto errors = host.event_listener->EventsOf(2);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].error.reason, "-5");
  EXPECT_EQ(errors[0].error.code, 0);
  EXPECT_EQ(Reports(), Strs{"108 {rtc_id=} -1 '-5'"});
  EXPECT_EQ(host.room->calls().size(), room_calls) << "no conference id is looked up";
  EXPECT_TRUE(Sent().empty());

  host.context.reset();
  ClearRecords();
  Deliver([](auto& l) { l.OnJoinResult(0, 0, 0); });
  Deliver([](auto& l) { l.OnJoinResult(-5, 0, 0); });
  Deliver([](auto& l) { l.OnUserNotify("bob", 1, 1); });
  EXPECT_EQ(HostCalls().size(), 1u) << "nothing more once the context is gone";
  EXPECT_TRUE(Reports().empty());
  EXPECT_TRUE(Sent().empty());
}

// ---- user notices --------------------------------------------------------------------------

TEST_F(EventTest, UserNoticesCarryTheSecondValueAndWhetherItIsTheUserThemself) {
  struct Row {
    const char* name;
    std::string user;
    int32_t a, b;
    std::string record_user;  // the fourth text of the context's user record
    bool notified, is_self;
  };
  const std::vector<Row> rows = {
      {"both zero", kUser, 0, 0, kUser, false, false},
      {"first only", "bob", 1, 0, kUser, true, false},
      {"second only", "bob", 0, 5, kUser, true, false},
      {"the user", kUser, 2, -3, kUser, true, true},
      {"record decides, not the sign-in", "carol", 1, 1, "carol", true, true},
      {"byte for byte", "Alice", 1, 1, kUser, true, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    refhost::ReferenceHost room_host(kUser, kRoom, kUser);
    room_host.context->SetUserRecord({"name", "avatar", "role", row.record_user});
    auto own = std::make_shared<RtcService>(room_host.context);
    own->SetEventListener(room_host.event_listener);
    own->OnUserNotify(row.user, row.a, row.b);

    auto notices = room_host.event_listener->EventsOf(3);
    ASSERT_EQ(notices.size(), row.notified ? 1u : 0u);
    if (!row.notified) continue;
    const vanta::meta::UserNotice& n = notices[0].notice;
    EXPECT_EQ(n.user_id, row.user);
    EXPECT_EQ(n.extra, "");
    EXPECT_FALSE(n.flag);
    EXPECT_EQ(n.is_self, row.is_self);
    EXPECT_EQ(n.value, row.b);
  }
}

}  // namespace
}  // namespace service_test
