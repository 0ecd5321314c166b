// Pushing the conference to a live broadcast: the room's live (existing or created), the push
// request, publishing, and the report and callback of each step's failure.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/service_fixture.h"

namespace service_test {
namespace {

using refhost::ResultRecorder;

std::string Text(const MetrixReport& r) {
  std::string params;
  for (const auto& [key, value] : r.params) {
    params += (params.empty() ? "" : ",") + key + "=" + value;
  }
  return std::to_string(r.event_id) + " {" + params + "} " + std::to_string(r.code) + " '" +
         r.message + "'";
}

vanta::live::LiveDetail Detail(const std::string& push_url) {
  vanta::live::LiveDetail detail;
  detail.push_url = push_url;
  detail.pull_url = "rtmp://pull/1";
  detail.live_id = "live-1";
  return detail;
}

class LiveTest : public ServiceTest {
 protected:
  void SetUp() override {
    ServiceTest::SetUp();
    InConference("conf-1");
    host.live_manager->live_detail().SucceedWith(Detail("rtmp://push/1"));
    host.live_manager->publish().SucceedWith({"live-1", "rtmp://push/1", "rtmp://pull/1", 2});
    service = MakeAttachedService();
  }

  std::vector<std::string> ReportTexts() const {
    std::vector<std::string> out;
    for (const auto& r : Reports()) out.push_back(Text(r));
    return out;
  }

  void Publish() { service->StartRoadPublish(result.OnSuccess(), result.OnFailure()); }

  std::shared_ptr<RtcService> service;
  ResultRecorder<> result;
};

TEST_F(LiveTest, ExistingLivePushesToItsDetailsAddress) {
  host.room->SetPluginInstanceId("live", "live-1");
  Publish();

  EXPECT_EQ(host.live_manager->live_detail_requests().Snapshot(),
            (std::vector<std::string>{"live-1"}));
  EXPECT_TRUE(host.room_manager->create_live_requests().Snapshot().empty());
  ASSERT_EQ(SentRequests().size(), 1u);
  EXPECT_EQ(SentRequests()[0].uri, std::string(kRtcUri) + "pushLiveStream");
  EXPECT_EQ(SentRequests()[0].body, Bytes("83 01 a6 'conf-1' 02 ad 'rtmp://push/1' 03 01"));
  auto publishes = host.live_manager->publish_requests().Snapshot();
  ASSERT_EQ(publishes.size(), 1u);
  EXPECT_EQ(publishes[0].live_id, "live-1");

  ASSERT_EQ(result.count(), 1u);
  EXPECT_TRUE(result.results()[0].success);
  EXPECT_EQ(ServiceLines(),
            (std::vector<std::string>{"INFO:StartRoadPublish", "INFO:PublishLive Success"}));
  EXPECT_EQ(ReportTexts(),
            (std::vector<std::string>{
                "107 {push_url=rtmp://push/1,rtc_id=conf-1} 0 ''",
                "124 {live_id=live-1,live_status=2,pull_url=rtmp://pull/1,push_url=rtmp://push/1} "
                "0 ''",
                "106 {rtc_id=conf-1} 0 ''"}));
}

TEST_F(LiveTest, RoomWithoutALiveGetsOneStoredBeforeThePush) {
  host.room_manager->create_live().SucceedWith(
      {"room-1", "live-9", "rtmp://push/9", "rtmp://pull/9"});
  Publish();

  auto creates = host.room_manager->create_live_requests().Snapshot();
  ASSERT_EQ(creates.size(), 1u);
  EXPECT_EQ(creates[0].owner_id, kUser);
  EXPECT_EQ(creates[0].title, "room room-1");
  EXPECT_TRUE(creates[0].members.empty());
  EXPECT_EQ(creates[0].type, 0);
  EXPECT_EQ(creates[0].cover_url, "");
  EXPECT_EQ(creates[0].description, "");
  EXPECT_EQ(creates[0].extra, "");
  EXPECT_TRUE(host.live_manager->live_detail_requests().Snapshot().empty());

  ASSERT_EQ(SentRequests().size(), 1u);
  EXPECT_EQ(SentRequests()[0].room_live_id, "live-9") << "stored before the push";
  EXPECT_EQ(SentRequests()[0].body, Bytes("83 01 a6 'conf-1' 02 ad 'rtmp://push/9' 03 01"));
  EXPECT_EQ(host.live_manager->publish_requests().Snapshot().at(0).live_id, "live-9");
  EXPECT_EQ(result.count(), 1u);
  EXPECT_EQ(ReportTexts().front(), "107 {push_url=rtmp://push/9,rtc_id=conf-1} 0 ''");
}

// Early failures reach the caller as they are; their report carries -1 whatever the code.
TEST_F(LiveTest, EarlyFailuresAreReportedWithMinusOne) {
  struct Case {
    const char* name;
    std::function<void()> arrange;
    int32_t code;
    std::string reason;
  };
  const std::vector<Case> cases = {
      {"live detail fails",
       [&] {
         host.room->SetPluginInstanceId("live", "live-1");
         host.live_manager->live_detail().FailWith(HostError(-4, "gone"));
       },
       -4, "gone"},
      {"create live fails",
       [&] { host.room_manager->create_live().FailWith(HostError(403, "not yours")); }, 403,
       "not yours"},
      {"live without a manager",
       [&] {
         host.room->SetPluginInstanceId("live", "live-1");
         host.live_module->SetLiveManager(nullptr);
       },
       0, "no live_manager"},
      {"live without a module",
       [&] {
         host.room->SetPluginInstanceId("live", "live-1");
         host.context->SetLiveModule(nullptr);
       },
       0, "no live_manager"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    host.room->RemovePluginInstanceId("live");
    host.live_module->SetLiveManager(host.live_manager);
    host.context->SetLiveModule(host.live_module);
    host.live_manager->live_detail().SucceedWith(Detail("rtmp://push/1"));
    ClearRecords();
    ResultRecorder<> outcome;
    c.arrange();
    service->StartRoadPublish(outcome.OnSuccess(), outcome.OnFailure());

    ASSERT_EQ(outcome.count(), 1u);
    EXPECT_FALSE(outcome.results()[0].success);
    EXPECT_EQ(outcome.results()[0].error.code, c.code);
    EXPECT_EQ(outcome.results()[0].error.reason, c.reason);
    EXPECT_EQ(ReportTexts(),
              std::vector<std::string>{"107 {push_url=,rtc_id=conf-1} -1 '" + c.reason + "'"});
    EXPECT_TRUE(SentRequests().empty());
    EXPECT_EQ(ServiceLines(), std::vector<std::string>{"INFO:StartRoadPublish"});
  }
}

TEST_F(LiveTest, PushFailureIsReportedWithMinusOneAndNothingIsPublished) {
  host.room->SetPluginInstanceId("live", "live-1");
  FailLocally("pushLiveStream", "-7", "net down");
  Publish();

  ASSERT_EQ(result.count(), 1u);
  EXPECT_EQ(result.results()[0].error.code, -7);
  EXPECT_EQ(result.results()[0].error.reason, "net down");
  EXPECT_EQ(ReportTexts(),
            (std::vector<std::string>{"107 {push_url=rtmp://push/1,rtc_id=conf-1} 0 ''",
                                      "106 {rtc_id=conf-1} -1 'net down'"}));
  EXPECT_TRUE(host.live_manager->publish_requests().Snapshot().empty());
}

// The caller has heard of the push already; publishing fails on its own.
TEST_F(LiveTest, PublishFailureAfterThePushIsOnlyLoggedAndReported) {
  host.room->SetPluginInstanceId("live", "live-1");
  host.live_manager->publish().FailWith(HostError(-8, "denied"));
  Publish();

  ASSERT_EQ(result.count(), 1u);
  EXPECT_TRUE(result.results()[0].success);
  EXPECT_EQ(ServiceLines(),
            (std::vector<std::string>{"INFO:StartRoadPublish", "INFO:PublishLive error: denied"}));
  EXPECT_EQ(ReportTexts(),
            (std::vector<std::string>{"107 {push_url=rtmp://push/1,rtc_id=conf-1} 0 ''",
                                      "124 {live_id=,live_status=,pull_url=,push_url=} -8 'denied'",
                                      "106 {rtc_id=conf-1} 0 ''"}));
}

TEST_F(LiveTest, PublishIsSkippedWhenTheLiveManagerIsGoneByThen) {
  host.room_manager->create_live().SucceedWith({"room-1", "live-9", "rtmp://push/9", ""});
  // The manager answers the push; the live module is gone before publishing starts.
  host.live_module->SetLiveManager(nullptr);
  Publish();
  ASSERT_EQ(result.count(), 1u);
  EXPECT_TRUE(result.results()[0].success);
  EXPECT_TRUE(host.live_manager->publish_requests().Snapshot().empty());
  EXPECT_EQ(ReportTexts().size(), 2u);
}

TEST_F(LiveTest, WithoutAConferenceNothingHappensAfterTheFirstLine) {
  host.room->RemovePluginInstanceId("rtc");
  Publish();
  EXPECT_EQ(ServiceLines(), std::vector<std::string>{"INFO:StartRoadPublish"});
  EXPECT_EQ(result.count(), 0u);
  EXPECT_TRUE(Reports().empty());
  EXPECT_TRUE(host.room_manager->create_live_requests().Snapshot().empty());
}

}  // namespace
}  // namespace service_test
