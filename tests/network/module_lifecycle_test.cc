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
#include "support/network_operations.h"

namespace network_test {
namespace {

using vanta::rtc::RtcMlinkServiceRpc;
using vanta::rtc::RtcModuleImpl;
using vanta::sceneclass::ClassSceneModuleImpl;
using vanta::sceneclass::ClassSceneServiceRpc;

class ModuleLifecycleTest : public NetworkTest {
 protected:
  std::vector<std::string> EventLines(const char* file) {
    std::vector<std::string> out;
    for (const auto& l : logs.Lines()) {
      if (l.file != file) continue;
      EXPECT_EQ(l.severity, 1) << l.raw;
      EXPECT_EQ(l.level, "INFO") << l.raw;
      out.push_back(l.message);
    }
    return out;
  }
};

std::vector<std::string> Tagged(const std::string& tag, const std::vector<std::string>& lines) {
  std::vector<std::string> out;
  for (const auto& l : lines) out.push_back(tag + l);
  return out;
}

TEST_F(ModuleLifecycleTest, EveryEngineEventIsLoggedByBothModules) {
  const NexoUserId bob{"bob", "tv"};
  const struct {
    const char* event;
    std::function<void()> act;
    std::vector<std::string> lines;
  } cases[] = {
      {"engine start",
       [] { nexo_standin::StartEngine("app7"); },
       {"before engine start, appid:app7", "engine started"}},
      {"manager create",
       [&] { nexo_standin::AddAccount(bob); },
       {"before manager create, ", "manager create finished:bob@tv"}},
      {"manager init", [&] { EXPECT_TRUE(nexo_standin::InitAccount(bob)); }, {}},
      {"manager init async",
       [&] { EXPECT_TRUE(nexo_standin::InitAccountAsync(bob).complete); },
       {}},
      {"background", [] { nexo_standin::EnterBackground(); }, {"app did enter background"}},
      {"foreground", [] { nexo_standin::EnterForeground(); }, {"app did enter foreground"}},
      {"manager release", [&] { nexo_standin::ReleaseAccount(bob); }, {"release manager:bob@tv"}},
      {"engine released", [] { nexo_standin::ReleaseEngine(); }, {"engine released"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.event);
    logs.Clear();
    c.act();
    EXPECT_EQ(EventLines(kRtcEventsFile), Tagged("[rtc_service_info]", c.lines));
    EXPECT_EQ(EventLines(kSceneEventsFile), Tagged("[class_scene_service_info]", c.lines));
  }
  EXPECT_EQ(vanta::rtc::GetRtcServiceInfo()->handler->app_id, "app7");
  EXPECT_EQ(vanta::sceneclass::GetClassSceneServiceInfo()->handler->app_id, "app7");
}

TEST_F(ModuleLifecycleTest, AnEmptyUserIdLeavesTheWholeKeyEmpty) {
  const NexoUserId nobody{"", "kiosk"};
  nexo_standin::AddAccount(nobody);
  ASSERT_TRUE(nexo_standin::InitAccount(nobody));
  auto rtc = RtcModuleImpl::Find(nobody);
  auto scene = ClassSceneModuleImpl::Find(nobody);
  ASSERT_TRUE(rtc);
  ASSERT_TRUE(scene);
  EXPECT_EQ(rtc->GetUserId(), "");
  EXPECT_EQ(rtc->LogTag(), "[@]");  // the tag was not taken either
  EXPECT_EQ(scene->LogTag(), "[@]");
  ASSERT_TRUE(rtc->thread && scene->thread);
  EXPECT_EQ(rtc->thread->name(), "rtc.biz.@");
  EXPECT_EQ(scene->thread->name(), "class_scene.biz.@");
  rtc.reset();
  scene.reset();
  logs.Clear();
  nexo_standin::ReleaseAccount(nobody);
  EXPECT_EQ(logs.Messages(kRtcModuleFile), std::vector<std::string>{"rtc_module[@]destory"});
  EXPECT_EQ(logs.Messages(kSceneModuleFile),
            std::vector<std::string>{"class_scene_module[@]destory"});
}

TEST_F(ModuleLifecycleTest, SameUserWithAnotherTagReachesTheSameObjects) {
  const NexoUserId phone{"alice", "phone"};
  auto rtc = RtcModuleImpl::Find(user);
  auto scene = ClassSceneModuleImpl::Find(user);
  auto rtc_sender = RtcMlinkServiceRpc::Find(user);
  auto scene_sender = ClassSceneServiceRpc::Find(user);
  ASSERT_TRUE(rtc && scene && rtc_sender && scene_sender);
  EXPECT_EQ(RtcModuleImpl::Find(phone), rtc);
  EXPECT_EQ(ClassSceneModuleImpl::Find(phone), scene);
  EXPECT_EQ(RtcMlinkServiceRpc::Find(phone), rtc_sender);
  EXPECT_EQ(ClassSceneServiceRpc::Find(phone), scene_sender);

  // A create under the other tag finds the existing objects and keeps their key.
  nexo_standin::AddAccount(phone);
  EXPECT_EQ(RtcModuleImpl::Find(user), rtc);
  EXPECT_EQ(RtcMlinkServiceRpc::Find(user), rtc_sender);
  EXPECT_EQ(ClassSceneModuleImpl::Find(user), scene);
  EXPECT_EQ(rtc->LogTag(), "[pc@alice]");
  EXPECT_EQ(scene->LogTag(), "[pc@alice]");
  EXPECT_EQ(RtcModuleImpl::Find(NexoUserId{"alicia", "pc"}), nullptr);
}

TEST_F(ModuleLifecycleTest, InitOfAnUnknownAccountStillSignalsCompletion) {
  const NexoUserId ghost{"ghost", "x"};
  EXPECT_TRUE(nexo_standin::InitAccount(ghost, 2s));
  const auto outcome = nexo_standin::InitAccountAsync(ghost, 2s);
  EXPECT_TRUE(outcome.complete);
  EXPECT_EQ(outcome.successes, 2);
  EXPECT_EQ(outcome.failures, 0);
  EXPECT_EQ(RtcModuleImpl::Find(ghost), nullptr);
  EXPECT_EQ(ClassSceneModuleImpl::Find(ghost), nullptr);
}

// Start names the thread after the account; a second Start joins the first thread before it
// returns; Stop joins and forgets the thread, and is harmless without one.
template <typename Module>
void CheckWorkerThread(const std::shared_ptr<Module>& module, const std::string& name) {
  ASSERT_TRUE(module->thread);
  EXPECT_EQ(module->thread->name(), name);

  auto finished = std::make_shared<std::atomic<bool>>(false);
  std::promise<void> started;
  basefx::Thread* first = module->thread.get();
  ASSERT_TRUE(first->PostTask([finished, &started] {
    started.set_value();
    std::this_thread::sleep_for(50ms);
    finished->store(true);
  }));
  started.get_future().wait();
  EXPECT_TRUE(module->Start());
  EXPECT_TRUE(finished->load()) << "the replaced thread was not joined";
  ASSERT_TRUE(module->thread);
  EXPECT_EQ(module->thread->name(), name);

  std::promise<void> ran;
  ASSERT_TRUE(module->thread->PostTask([&ran] { ran.set_value(); }));
  EXPECT_EQ(ran.get_future().wait_for(5s), std::future_status::ready);

  EXPECT_TRUE(module->Stop());
  EXPECT_EQ(module->thread, nullptr);
  EXPECT_TRUE(module->Stop());
}

TEST_F(ModuleLifecycleTest, WorkerThreadsAreNamedReplacedAndStopped) {
  // Started by the synchronous init of the set-up.
  CheckWorkerThread(RtcModuleImpl::Find(user), "rtc.biz.alice@pc");
  CheckWorkerThread(ClassSceneModuleImpl::Find(user), "class_scene.biz.alice@pc");

  // And by the asynchronous one.
  const NexoUserId carol{"carol", "web"};
  nexo_standin::AddAccount(carol);
  EXPECT_EQ(RtcModuleImpl::Find(carol)->thread, nullptr);
  EXPECT_TRUE(RtcModuleImpl::Find(carol)->Stop());
  ASSERT_TRUE(nexo_standin::InitAccountAsync(carol).complete);
  CheckWorkerThread(RtcModuleImpl::Find(carol), "rtc.biz.carol@web");
  CheckWorkerThread(ClassSceneModuleImpl::Find(carol), "class_scene.biz.carol@web");
  nexo_standin::ReleaseAccount(carol);
}

TEST_F(ModuleLifecycleTest, ReleaseForgetsModuleAndSenderAndDestroysTheModule) {
  ASSERT_TRUE(RtcModuleImpl::Find(user));
  nexo_standin::ReleaseAccount(user);
  EXPECT_EQ(RtcModuleImpl::Find(user), nullptr);
  EXPECT_EQ(RtcMlinkServiceRpc::Find(user), nullptr);
  EXPECT_EQ(ClassSceneModuleImpl::Find(user), nullptr);
  EXPECT_EQ(ClassSceneServiceRpc::Find(user), nullptr);

  std::vector<LogLine> destroyed;
  for (const auto& l : logs.Lines()) {
    if (l.file == kRtcModuleFile || l.file == kSceneModuleFile) destroyed.push_back(l);
  }
  ASSERT_EQ(destroyed.size(), 2u);
  EXPECT_EQ(destroyed[0].message, "rtc_module[pc@alice]destory");
  EXPECT_EQ(destroyed[1].message, "class_scene_module[pc@alice]destory");
  for (const auto& l : destroyed) {
    EXPECT_EQ(l.severity, 3);
    EXPECT_EQ(l.level, "ERROR");
  }
}

TEST_F(ModuleLifecycleTest, AModuleStillHeldOutlivesReleaseAndLogsWhenDropped) {
  auto rtc = RtcModuleImpl::Find(user);
  auto scene = ClassSceneModuleImpl::Find(user);
  nexo_standin::ReleaseAccount(user);
  EXPECT_EQ(RtcMlinkServiceRpc::Find(user), nullptr);
  EXPECT_EQ(rtc->thread, nullptr);  // stopped by the release
  EXPECT_TRUE(logs.Messages(kRtcModuleFile).empty());
  rtc.reset();
  scene.reset();
  EXPECT_EQ(logs.Messages(kRtcModuleFile), std::vector<std::string>{"rtc_module[pc@alice]destory"});
  EXPECT_EQ(logs.Messages(kSceneModuleFile),
            std::vector<std::string>{"class_scene_module[pc@alice]destory"});
}

TEST_F(ModuleLifecycleTest, WrapperHandsOutOneManagerUntilTheModuleIsGone) {
  auto rtc_module = RtcModuleImpl::Find(user);
  auto scene_module = ClassSceneModuleImpl::Find(user);
  rtc_module->manager_uid = user;
  scene_module->manager_uid = user;
  vanta::rtc::RtcModuleWrapper rtc(rtc_module, user);
  vanta::sceneclass::ClassSceneModuleWrapper scene(scene_module, user);
  rtc_module.reset();
  scene_module.reset();

  auto rtc_manager = rtc.GetRtcManager();
  ASSERT_TRUE(rtc_manager);
  EXPECT_EQ(rtc.GetRtcManager(), rtc_manager);
  EXPECT_EQ(std::static_pointer_cast<vanta::rtc::RtcManagerImpl>(rtc_manager)->uid.tag, "pc");
  auto scene_manager = scene.GetSceneclassManager();
  ASSERT_TRUE(scene_manager);
  EXPECT_EQ(scene.GetSceneclassManager(), scene_manager);

  nexo_standin::ReleaseAccount(user);
  EXPECT_EQ(rtc.GetRtcManager(), nullptr);
  EXPECT_EQ(scene.GetSceneclassManager(), nullptr);
  EXPECT_EQ(rtc.GetUserId(), "alice");
  EXPECT_EQ(scene.GetUserId(), "alice");
}

TEST_F(ModuleLifecycleTest, AManagerMadeBeforeItsKeyWasSetFindsNoSender) {
  // The manager takes manager_uid when it is made; left empty, it looks up the empty account.
  auto manager = RtcModuleImpl::Find(user)->GetRtcManager();
  ASSERT_TRUE(manager);
  AnswerWith(200, Bytes("80"));
  auto calls = std::make_shared<Calls>();
  RtcOperations()[0].send(*manager, calls);
  EXPECT_EQ(calls->total(), 0);
  EXPECT_TRUE(nexo_standin::SentRequests().empty());
  EXPECT_EQ(logs.Messages(kRtcManagerFile),
            std::vector<std::string>{"rtc GetToken. get rpc service is null"});
}

TEST_F(ModuleLifecycleTest, RequestsAfterReleaseAreDroppedRtcLoudlyClassSceneSilently) {
  AnswerWith(200, Bytes("80"));
  auto rtc = RtcManager();
  auto scene = SceneManager();
  ASSERT_TRUE(rtc && scene);
  nexo_standin::ReleaseAccount(user);
  nexo_standin::ClearSentRequests();

  for (const auto& op : RtcOperations()) {
    SCOPED_TRACE(op.name);
    logs.Clear();
    auto calls = std::make_shared<Calls>();
    op.send(*rtc, calls);
    op.send_object(*rtc, calls);
    EXPECT_EQ(calls->total(), 0);
    const auto lines = logs.Lines();
    ASSERT_EQ(lines.size(), 2u);
    for (const auto& l : lines) {
      EXPECT_EQ(l.file, kRtcManagerFile);
      EXPECT_EQ(l.severity, 3);
      EXPECT_EQ(l.message, op.missing_sender_line);
    }
  }
  logs.Clear();
  for (const auto& op : SceneOperations()) {
    SCOPED_TRACE(op.name);
    auto calls = std::make_shared<Calls>();
    op.send(*scene, calls);
    op.send_object(*scene, calls);
    EXPECT_EQ(calls->total(), 0);
  }
  EXPECT_TRUE(logs.Lines().empty());
  EXPECT_TRUE(nexo_standin::SentRequests().empty());
}

TEST_F(ModuleLifecycleTest, ChannelLookupStopsAtTheFirstMissingPiece) {
  const NexoUserId dave{"dave", "x"};
  const struct {
    const char* what;
    NexoUserId account;
    std::function<void()> arrange;
    const char* line;  // null: nothing is logged
  } cases[] = {
      {"engine down", user, [] { nexo_standin::SetEngineAvailable(false); },
       "get nexo engine is null"},
      // The modules know dave, the engine does not.
      {"no engine manager", dave,
       [&] {
         vanta::rtc::GetRtcServiceInfo()->handler->OnManagerCreate(dave);
         vanta::sceneclass::GetClassSceneServiceInfo()->handler->OnManagerCreate(dave);
       },
       "get nexo manager service is null"},
      {"no mlink service", user, [] { nexo_standin::SetAccountServices("alice", false, true); },
       "get nexo mlink service is null"},
      {"no request channel", user, [] { nexo_standin::SetAccountServices("alice", true, false); },
       nullptr},
  };
  AnswerWith(200, Bytes("80"));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    c.arrange();
    RtcModuleImpl::Find(c.account)->manager_uid = c.account;
    ClassSceneModuleImpl::Find(c.account)->manager_uid = c.account;
    auto rtc = RtcModuleImpl::Find(c.account)->GetRtcManager();
    auto scene = ClassSceneModuleImpl::Find(c.account)->GetSceneclassManager();
    logs.Clear();
    nexo_standin::ClearSentRequests();

    auto calls = std::make_shared<Calls>();
    RtcOperations()[0].send(*rtc, calls);
    SceneOperations()[0].send(*scene, calls);
    EXPECT_TRUE(nexo_standin::WaitUntilIdle(5s));
    EXPECT_EQ(calls->total(), 0);
    EXPECT_TRUE(nexo_standin::SentRequests().empty());
    std::vector<std::string> rtc_lines, scene_lines;
    for (const auto& l : logs.Lines()) {
      EXPECT_EQ(l.severity, 1) << l.raw;
      if (l.file == kRtcSenderFile) rtc_lines.push_back(l.message);
      if (l.file == kSceneSenderFile) scene_lines.push_back(l.message);
    }
    const std::vector<std::string> expected =
        c.line ? std::vector<std::string>{c.line} : std::vector<std::string>{};
    EXPECT_EQ(rtc_lines, expected);
    EXPECT_EQ(scene_lines, expected);
    EXPECT_EQ(logs.Lines().size(), 2 * expected.size());

    nexo_standin::SetEngineAvailable(true);
    nexo_standin::SetAccountServices("alice", true, true);
  }
  nexo_standin::ReleaseAccount(dave);
}

}  // namespace
}  // namespace network_test
