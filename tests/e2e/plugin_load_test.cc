// A host's view of the module: load the shared object, take the plug-in, initialise it against
// the engine, and get services that reach the account's clients, log and report.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "basefx/logging.h"
#include "metrix_standin/metrix_control.h"
#include "nexo_standin/engine_control.h"
#include "reference/plugin_library.h"
#include "reference/reference_host.h"
#include "support/hex_bytes.h"
#include "vanta/meta/i_plugin.h"
#include "vanta/meta/i_rtc_service.h"

namespace {

using vanta::meta::IPlugin;
using vanta::meta::IPluginService;
using vanta::meta::IRtcService;
using vanta::nexo::NexoError;

refhost::PluginLibrary& Library() {
  static refhost::PluginLibrary library(RTC_PLUGIN_PATH);
  return library;
}

IPlugin* Plugin() {
  EXPECT_TRUE(Library().ok()) << Library().error();
  return Library().GetIPlugin();
}

using test_support::Bytes;

class PluginEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(Library().ok()) << Library().error(); }

  // An account whose modules exist and whose worker threads run.
  void AddAccount(const std::string& user_id) {
    nexo_standin::AddAccount({user_id, "pc"});
    ASSERT_TRUE(nexo_standin::InitAccount({user_id, "pc"}));
  }

  std::shared_ptr<IRtcService> CreateService(refhost::ReferenceHost& host) {
    std::shared_ptr<IPluginService> service = Plugin()->CreateService(host.context);
    EXPECT_NE(service, nullptr);
    return std::dynamic_pointer_cast<IRtcService>(service);
  }
};

TEST_F(PluginEndToEnd, ConcurrentGetIPluginCallsShareOneObject) {
  auto get = Library().get_plugin();
  ASSERT_NE(get, nullptr);
  std::vector<std::future<IPlugin*>> calls;
  for (int i = 0; i < 8; ++i) calls.push_back(std::async(std::launch::async, get));
  IPlugin* first = calls[0].get();
  ASSERT_NE(first, nullptr);
  for (size_t i = 1; i < calls.size(); ++i) EXPECT_EQ(calls[i].get(), first);
  EXPECT_EQ(get(), first);
}

// Without an engine an init registers nothing; every later init registers the same two
// descriptions, and an uninit none.
TEST_F(PluginEndToEnd, EveryInitWithAnEngineRegistersTheSameTwoDescriptions) {
  nexo_standin::SetEngineAvailable(false);
  Plugin()->Init();
  EXPECT_TRUE(nexo_standin::RegistrationCalls().empty());

  nexo_standin::SetEngineAvailable(true);
  Plugin()->Init();
  Plugin()->Init();
  Plugin()->Uninit();
  const auto calls = nexo_standin::RegistrationCalls();
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[0]->GetModuleName(), "rtc");
  EXPECT_EQ(calls[1]->GetModuleName(), "class_scene");
  EXPECT_NE(calls[0]->GetEventHandler(), nullptr);
  EXPECT_NE(calls[1]->GetEventHandler(), nullptr);
  EXPECT_EQ(calls[0], calls[2]);
  EXPECT_EQ(calls[1], calls[3]);
  EXPECT_NE(calls[0], calls[1]);
  EXPECT_EQ(calls[0]->GetEventHandler(), calls[2]->GetEventHandler());
}

TEST_F(PluginEndToEnd, EachServiceIsDistinctAndDiesWhenTheHostDropsIt) {
  Plugin()->Init();
  refhost::ReferenceHost host("alice", "room-1");
  std::shared_ptr<IPluginService> a = Plugin()->CreateService(host.context);
  std::shared_ptr<IPluginService> b = Plugin()->CreateService(host.context);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(a, b);
  EXPECT_EQ(a->GetServiceName(), "rtc");
  // The host casts the service to either interface; both views share ownership.
  std::shared_ptr<IRtcService> rtc = std::dynamic_pointer_cast<IRtcService>(a);
  ASSERT_NE(rtc, nullptr);
  EXPECT_EQ(std::dynamic_pointer_cast<IPluginService>(rtc), a);

  std::weak_ptr<IPluginService> watch = a;
  rtc.reset();
  a.reset();
  EXPECT_TRUE(watch.expired());
  EXPECT_FALSE(std::weak_ptr<IPluginService>(b).expired());
}

// Each client's request goes out on the account's channel; its answer arrives on an engine
// thread.
TEST_F(PluginEndToEnd, ServiceReachesTheAccountsClients) {
  Plugin()->Init();
  AddAccount("alice");
  // What the success function got, and whether it ran on the caller's thread.
  using Done = std::function<void(const std::string&)>;
  const auto failed = [](const NexoError& error) { ADD_FAILURE() << "failed: " << error.reason; };
  const struct {
    const char* answer;
    std::function<void(IRtcService&, Done)> call;
    const char *uri, *body, *got;
  } cases[] = {
      {"81 02 05",
       [&](IRtcService& s, Done done) {
         s.GetConfDetail([done](const auto& rsp) { done(std::to_string(rsp.number2)); }, failed);
       },
       "/r/Adaptor/RtcMlink/getConfDetail", "81 01 a2 'c1'", "5"},
      {"80",
       [&](IRtcService& s, Done done) {
         vanta::sceneclass::StartClassReq request;
         request.field1 = "k";
         s.StartClass(
             request, [done](const auto&) { done("ok"); }, failed);
       },
       "/r/Adaptor/ClassScene/startClass", "81 01 a1 'k'", "ok"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.uri);
    nexo_standin::ClearSentRequests();
    nexo_standin::SetTransport(nexo_standin::RespondWith({200, Bytes(c.answer), {}}));
    refhost::ReferenceHost host("alice", "room-1");
    host.room->SetPluginInstanceId("rtc", "c1");
    auto service = CreateService(host);
    std::promise<std::string> got;
    const auto caller = std::this_thread::get_id();
    c.call(*service, [&got, caller](const std::string& text) {
      got.set_value(text + (std::this_thread::get_id() == caller ? " on the caller's thread" : ""));
    });
    auto result = got.get_future();
    ASSERT_EQ(result.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ(result.get(), c.got) << "results arrive on an engine thread";
    const auto sent = nexo_standin::SentRequests();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].uri, c.uri);
    EXPECT_EQ(sent[0].user_id, "alice");
    EXPECT_EQ(sent[0].body, Bytes(c.body));
    ASSERT_EQ(sent[0].headers.count("dt"), 1u);
    EXPECT_EQ(sent[0].headers.find("dt")->second, "p");
  }
}

TEST_F(PluginEndToEnd, ServiceMadeBeforeTheAccountKeepsEmptyClients) {
  Plugin()->Init();
  nexo_standin::SetTransport(nexo_standin::RespondWith({200, Bytes("80"), {}}));
  refhost::ReferenceHost host("bob", "room-2");
  host.room->SetPluginInstanceId("rtc", "c2");
  auto service = CreateService(host);
  AddAccount("bob");  // too late for this service

  std::atomic<int> callbacks{0};
  service->GetConfDetail([&](const vanta::rtc::GetConfDetailRsp&) { ++callbacks; },
                         [&](const NexoError&) { ++callbacks; });
  service->StartClass(
      {}, [&](const vanta::sceneclass::StartClassRsp&) { ++callbacks; },
      [&](const NexoError&) { ++callbacks; });
  ASSERT_TRUE(nexo_standin::WaitUntilIdle());
  EXPECT_TRUE(nexo_standin::SentRequests().empty());
  EXPECT_EQ(callbacks.load(), 0);

  // A service made now finds the clients.
  auto later = CreateService(host);
  later->GetConfDetail([&](const vanta::rtc::GetConfDetailRsp&) { ++callbacks; },
                       [&](const NexoError&) { ++callbacks; });
  ASSERT_TRUE(nexo_standin::WaitUntilIdle());
  EXPECT_EQ(nexo_standin::SentRequests().size(), 1u);
}

TEST_F(PluginEndToEnd, ServiceLogsInTheSystemsFormat) {
  std::mutex mutex;
  std::vector<std::string> lines;
  basefx::SetLogMessageHandler([&](int, const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex);
    if (text.find("leave channel") != std::string::npos) lines.push_back(text);
  });
  basefx::SetMinLogSeverity(0);
  refhost::ReferenceHost host("carol", "room-3");
  auto service = CreateService(host);
  service->LeaveRtc(
      false, [] {}, [](const NexoError&) {});
  basefx::SetLogMessageHandler(nullptr);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(std::regex_match(
      lines[0], std::regex(R"(\[INFO:src/plugins/rtc/rtc_service\(\d+\)\] leave channel\n)")))
      << lines[0];
}

TEST_F(PluginEndToEnd, ServiceSendsMonitoringReports) {
  auto metrix = std::make_shared<vanta::metrix::RecordingMetrixModule>();
  vanta::metrix::SetMetrixModuleObj(metrix);
  refhost::ReferenceHost host("dave", "room-4");
  auto service = CreateService(host);
  service->SetMediaEngine(host.media_engine);
  service->EngineCall6("erin");
  const auto reports = metrix->reports(100);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].params, (std::map<std::string, std::string>{{"target_uid", "erin"}}));
  EXPECT_EQ(reports[0].code, 0);
  EXPECT_EQ(reports[0].message, "");
  vanta::metrix::SetMetrixModuleObj(nullptr);
  // Engine and service hold each other until the engine lets go of its listener.
  host.media_engine->ClearEventListener();
}

}  // namespace
