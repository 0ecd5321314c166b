// The engine modules of both layers through an account's life: the engine's events and their
// lines, the per-account registries, worker threads, release, and the channel lookup of a send.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "network/rtc/rtc_mlink_service_rpc.h"
#include "network/sceneclass/class_scene_service_rpc.h"
#include "support/network_fixture.h"

namespace network_test {
namespace {

using vanta::rtc::RtcMlinkServiceRpc;
using vanta::rtc::RtcModuleImpl;
using vanta::sceneclass::ClassSceneModuleImpl;
using vanta::sceneclass::ClassSceneServiceRpc;

using ModuleLifecycleTest = NetworkTest;

TEST_F(ModuleLifecycleTest, EveryEngineEventIsLoggedByBothModules) {
  const NexoUserId bob{"bob", "tv"};
  const struct {
    std::function<void()> act;
    std::vector<std::string> lines;
  } cases[] = {
      {[] { nexo_standin::StartEngine("app7"); },
       {"before engine start, appid:app7", "engine started"}},
      {[&] { nexo_standin::AddAccount(bob); },
       {"before manager create, ", "manager create finished:bob@tv"}},
      {[&] { EXPECT_TRUE(nexo_standin::InitAccount(bob)); }, {}},
      {[&] { EXPECT_TRUE(nexo_standin::InitAccountAsync(bob).complete); }, {}},
      {[] { nexo_standin::EnterBackground(); }, {"app did enter background"}},
      {[] { nexo_standin::EnterForeground(); }, {"app did enter foreground"}},
      {[&] { nexo_standin::ReleaseAccount(bob); }, {"release manager:bob@tv"}},
      {[] { nexo_standin::ReleaseEngine(); }, {"engine released"}},
  };
  for (const auto& c : cases) {
    logs.Clear();
    c.act();
    std::vector<std::string> expected;
    for (const char* tag : {"[rtc_service_info]", "[class_scene_service_info]"}) {
      for (const auto& line : c.lines) expected.push_back(std::string("INFO ") + tag + line);
    }
    std::vector<std::string> got;
    for (const char* file : {"src/network/rtc/nexo_module_event_impl",
                             "src/network/sceneclass/nexo_module_event_impl"}) {
      for (const auto& l : logs.Lines()) {
        if (l.file == file) got.push_back(l.level + " " + l.message);
      }
    }
    EXPECT_EQ(got, expected);
  }
  EXPECT_EQ(vanta::rtc::GetRtcServiceInfo()->handler->app_id, "app7");
  EXPECT_EQ(vanta::sceneclass::GetClassSceneServiceInfo()->handler->app_id, "app7");
}

TEST_F(ModuleLifecycleTest, AccountsAreKeyedByUserIdAndAnEmptyOneLeavesTheWholeKeyEmpty) {
  auto rtc = RtcModuleImpl::Find(user);
  auto rtc_sender = RtcMlinkServiceRpc::Find(user);
  ASSERT_TRUE(rtc && rtc_sender);
  // Another tag of the same user reaches, and on create keeps, the same objects and key.
  const NexoUserId phone{"alice", "phone"};
  nexo_standin::AddAccount(phone);
  EXPECT_EQ(RtcModuleImpl::Find(phone), rtc);
  EXPECT_EQ(RtcMlinkServiceRpc::Find(phone), rtc_sender);
  EXPECT_EQ(ClassSceneModuleImpl::Find(phone), ClassSceneModuleImpl::Find(user));
  EXPECT_EQ(ClassSceneServiceRpc::Find(phone), ClassSceneServiceRpc::Find(user));
  EXPECT_EQ(rtc->LogTag(), "[pc@alice]");
  EXPECT_EQ(RtcModuleImpl::Find(NexoUserId{"alicia", "pc"}), nullptr);

  const NexoUserId nobody{"", "kiosk"};
  nexo_standin::AddAccount(nobody);
  ASSERT_TRUE(nexo_standin::InitAccount(nobody));
  EXPECT_EQ(RtcModuleImpl::Find(nobody)->LogTag(), "[@]");
  EXPECT_EQ(RtcModuleImpl::Find(nobody)->thread->name(), "rtc.biz.@");
  EXPECT_EQ(ClassSceneModuleImpl::Find(nobody)->thread->name(), "class_scene.biz.@");
  logs.Clear();
  nexo_standin::ReleaseAccount(nobody);
  EXPECT_EQ(logs.Messages(kRtcModuleFile), std::vector<std::string>{"rtc_module[@]destory"});

  // Init of an account the modules never saw still signals completion.
  EXPECT_TRUE(nexo_standin::InitAccount({"ghost", "x"}, 2s));
  EXPECT_EQ(nexo_standin::InitAccountAsync({"ghost", "x"}, 2s).successes, 2);
}

// Start names the thread after the account; a second Start joins the first thread before it
// returns; Stop joins and forgets the thread, and is harmless without one.
template <typename Module>
void CheckWorkerThread(const std::shared_ptr<Module>& module, const std::string& name) {
  ASSERT_TRUE(module && module->thread);
  EXPECT_EQ(module->thread->name(), name);
  std::atomic<bool> finished{false};
  std::promise<void> started;
  ASSERT_TRUE(module->thread->PostTask([&] {
    started.set_value();
    std::this_thread::sleep_for(50ms);
    finished = true;
  }));
  started.get_future().wait();
  EXPECT_TRUE(module->Start());
  EXPECT_TRUE(finished) << "the replaced thread was not joined";
  EXPECT_EQ(module->thread->name(), name);
  EXPECT_TRUE(module->Stop());
  EXPECT_EQ(module->thread, nullptr);
  EXPECT_TRUE(module->Stop());
}

TEST_F(ModuleLifecycleTest, WorkerThreadsAreNamedReplacedAndStopped) {
  CheckWorkerThread(RtcModuleImpl::Find(user), "rtc.biz.alice@pc");
  CheckWorkerThread(ClassSceneModuleImpl::Find(user), "class_scene.biz.alice@pc");
  const NexoUserId carol{"carol", "web"};  // started by the asynchronous init this time
  nexo_standin::AddAccount(carol);
  EXPECT_EQ(RtcModuleImpl::Find(carol)->thread, nullptr);
  ASSERT_TRUE(nexo_standin::InitAccountAsync(carol).complete);
  CheckWorkerThread(RtcModuleImpl::Find(carol), "rtc.biz.carol@web");
  CheckWorkerThread(ClassSceneModuleImpl::Find(carol), "class_scene.biz.carol@web");
  nexo_standin::ReleaseAccount(carol);
}

TEST_F(ModuleLifecycleTest, ReleaseForgetsEverythingAndTheLastHolderDestroysTheModule) {
  for (bool hold : {false, true}) {
    if (hold) {
      nexo_standin::AddAccount(user);
      ASSERT_TRUE(nexo_standin::InitAccount(user));
    }
    auto rtc = hold ? RtcModuleImpl::Find(user) : nullptr;
    auto scene = hold ? ClassSceneModuleImpl::Find(user) : nullptr;
    vanta::rtc::RtcModuleWrapper wrapper(RtcModuleImpl::Find(user), user);
    RtcModuleImpl::Find(user)->manager_uid = user;
    auto manager = wrapper.GetRtcManager();
    EXPECT_EQ(wrapper.GetRtcManager(), manager);  // one manager per module
    logs.Clear();
    nexo_standin::ReleaseAccount(user);
    EXPECT_EQ(RtcModuleImpl::Find(user), nullptr);
    EXPECT_EQ(RtcMlinkServiceRpc::Find(user), nullptr);
    EXPECT_EQ(ClassSceneModuleImpl::Find(user), nullptr);
    EXPECT_EQ(ClassSceneServiceRpc::Find(user), nullptr);
    EXPECT_EQ(wrapper.GetRtcManager() == nullptr, !hold);
    EXPECT_EQ(wrapper.GetUserId(), "alice");
    if (hold) {
      EXPECT_EQ(rtc->thread, nullptr);  // stopped by the release
      EXPECT_TRUE(logs.Messages(kRtcModuleFile).empty());
      rtc.reset();
      scene.reset();
    }
    std::vector<std::string> destroyed;
    for (const auto& l : logs.Lines()) {
      if (l.file == kRtcModuleFile || l.file == kSceneModuleFile) {
        destroyed.push_back(l.level + " " + l.message);
      }
    }
    EXPECT_EQ(destroyed, (std::vector<std::string>{"ERROR rtc_module[pc@alice]destory",
                                                   "ERROR class_scene_module[pc@alice]destory"}));
  }
}

TEST_F(ModuleLifecycleTest, RequestsWithoutASenderAreDroppedRtcLoudlyClassSceneSilently) {
  AnswerWith(200, Bytes("80"));
  // A manager made before its module's key was set looks up the empty account.
  auto early = RtcModuleImpl::Find(user)->GetRtcManager();
  RtcOperations()[0].send(*early, NewCalls(), false);
  EXPECT_EQ(logs.Messages(kRtcManagerFile),
            std::vector<std::string>{"rtc GetToken. get rpc service is null"});

  auto rtc = Rtc();
  auto scene = Scene();
  nexo_standin::ReleaseAccount(user);
  auto calls = NewCalls();
  for (const auto& op : RtcOperations()) {
    logs.Clear();
    op.send(*rtc, calls, false);
    op.send(*rtc, calls, true);
    const std::string line = "rtc " + op.name + ". get rpc service is null";
    EXPECT_EQ(logs.Messages(kRtcManagerFile), std::vector<std::string>(2, line));
    EXPECT_EQ(logs.Lines()[0].severity, 3);
  }
  logs.Clear();
  for (const auto& op : SceneOperations()) op.send(*scene, calls, false);
  EXPECT_TRUE(logs.Lines().empty());
  EXPECT_EQ(calls->total(), 0u);
  EXPECT_TRUE(nexo_standin::SentRequests().empty());
}

TEST_F(ModuleLifecycleTest, ChannelLookupStopsAtTheFirstMissingPiece) {
  const NexoUserId dave{"dave", "x"};
  const struct {
    NexoUserId account;
    std::function<void()> arrange;
    const char* line;  // null: nothing is logged
  } cases[] = {
      {user, [] { nexo_standin::SetEngineAvailable(false); }, "get nexo engine is null"},
      // The modules know dave, the engine does not.
      {dave,
       [&] {
         vanta::rtc::GetRtcServiceInfo()->handler->OnManagerCreate(dave);
         vanta::sceneclass::GetClassSceneServiceInfo()->handler->OnManagerCreate(dave);
       },
       "get nexo manager service is null"},
      {user, [] { nexo_standin::SetAccountServices("alice", false, true); },
       "get nexo mlink service is null"},
      {user, [] { nexo_standin::SetAccountServices("alice", true, false); }, nullptr},
  };
  AnswerWith(200, Bytes("80"));
  for (const auto& c : cases) {
    c.arrange();
    RtcModuleImpl::Find(c.account)->manager_uid = c.account;
    ClassSceneModuleImpl::Find(c.account)->manager_uid = c.account;
    logs.Clear();
    auto calls = NewCalls();
    RtcOperations()[0].send(*RtcModuleImpl::Find(c.account)->GetRtcManager(), calls, false);
    SceneOperations()[0].send(*ClassSceneModuleImpl::Find(c.account)->GetSceneclassManager(), calls,
                              false);
    EXPECT_EQ(calls->total(), 0u);
    std::vector<std::string> got, expected;
    for (const auto& l : logs.Lines())
      got.push_back(std::to_string(l.severity) + l.file + l.message);
    for (const char* file : {"src/network/rtc/rtc_mlink_service_rpc",
                             "src/network/sceneclass/class_scene_service_rpc"}) {
      if (c.line) expected.push_back(std::string("1") + file + c.line);
    }
    EXPECT_EQ(got, expected);
    nexo_standin::SetEngineAvailable(true);
    nexo_standin::SetAccountServices("alice", true, true);
  }
  EXPECT_TRUE(nexo_standin::SentRequests().empty());
  nexo_standin::ReleaseAccount(dave);
}

}  // namespace
}  // namespace network_test
