// The messaging engine: module registration and the thirteen handler slots, per-account
// managers and channels, and request delivery (exactly once, off the answering thread, with
// timeouts that race late answers).
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <dlfcn.h>
#endif

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "nexo_standin/engine_control.h"
#include "tessel/mlink/request.h"
#include "tessel/mlink/request_context.h"
#include "vanta/nexo/nexo_engine.h"

namespace {

using namespace std::chrono_literals;
using nexo_standin::PendingRequest;
using nexo_standin::Response;
using tessel::base::ErrorResult;
using tessel::mlink::Message;
using tessel::mlink::Request;
using tessel::mlink::RequestContext;
using vanta::nexo::MlinkRequestChannel;
using vanta::nexo::NexoError;
using vanta::nexo::NexoModuleDescriptor;
using vanta::nexo::NexoModuleEventHandler;
using vanta::nexo::NexoModuleInfo;
using vanta::nexo::NexoResultListener;
using vanta::nexo::NexoUserId;

// --- modules ---

class EventLog {
 public:
  void Add(const std::string& event) {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(event);
  }
  std::vector<std::string> events() {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> events_;
};

enum class InitMode { kNow, kLater, kNever, kTwice, kFail };

class RecordingHandler : public NexoModuleEventHandler {
 public:
  RecordingHandler(std::string name, std::shared_ptr<EventLog> log, InitMode mode = InitMode::kNow)
      : name_(std::move(name)), log_(std::move(log)), mode_(mode) {}
  ~RecordingHandler() override {
    log_->Add(name_ + ":~");
    for (auto& thread : threads_) thread.join();
  }

  void OnEngineStart(const std::string& app_id) override { Add("OnEngineStart(" + app_id + ")"); }
  void OnEngineStarted() override { Add("OnEngineStarted"); }
  void OnManagerCreate(const NexoUserId& uid) override { Add("OnManagerCreate(" + Key(uid) + ")"); }
  void OnManagerInit(const NexoUserId& uid, const std::function<void()>& on_done, int32_t,
                     const std::string&) override {
    Add("OnManagerInit(" + Key(uid) + ")");
    Complete([on_done] { on_done(); }, [on_done] { on_done(); });
  }
  void OnManagerInitAsync(const NexoUserId& uid,
                          const std::shared_ptr<NexoResultListener>& listener) override {
    Add("OnManagerInitAsync(" + Key(uid) + ")");
    const std::string name = name_;
    Complete([listener] { listener->OnSuccess(); },
             [listener, name] {
               NexoError error;
               error.code = 5;
               error.reason = name + " failed";
               listener->OnFailure(error);
             });
  }
  void OnManagerCreated(const NexoUserId& uid) override {
    Add("OnManagerCreated(" + Key(uid) + ")");
  }
  void OnManagerRelease(const NexoUserId& uid) override {
    Add("OnManagerRelease(" + Key(uid) + ")");
  }
  void OnEnterBackground() override { Add("OnEnterBackground"); }
  void OnEnterForeground() override { Add("OnEnterForeground"); }
  void OnEngineReleased() override { Add("OnEngineReleased"); }
  std::shared_ptr<void> GetExtension() override {
    Add("GetExtension");
    return extension;
  }
  std::vector<NexoModuleDescriptor> GetDescriptors() override {
    Add("GetDescriptors");
    return {NexoModuleDescriptor{name_, 1, 2, "/" + name_, 3}};
  }

  std::shared_ptr<void> extension = std::make_shared<int>(7);

 private:
  static std::string Key(const NexoUserId& uid) { return uid.user_id + "@" + uid.tag; }
  void Add(const std::string& event) { log_->Add(name_ + ":" + event); }

  void Complete(std::function<void()> succeed, std::function<void()> fail) {
    switch (mode_) {
      case InitMode::kNow:
        succeed();
        break;
      case InitMode::kLater:
        threads_.emplace_back([succeed] {
          std::this_thread::sleep_for(20ms);
          succeed();
        });
        break;
      case InitMode::kNever:
        break;
      case InitMode::kTwice:
        succeed();
        succeed();
        break;
      case InitMode::kFail:
        fail();
        break;
    }
  }

  const std::string name_;
  const std::shared_ptr<EventLog> log_;
  const InitMode mode_;
  std::vector<std::thread> threads_;
};

class TestModuleInfo : public NexoModuleInfo {
 public:
  TestModuleInfo(std::string name, std::shared_ptr<NexoModuleEventHandler> handler)
      : name_(std::move(name)), handler_(std::move(handler)) {}
  std::string GetModuleName() override { return name_; }
  std::shared_ptr<NexoModuleEventHandler> GetEventHandler() override { return handler_; }

 private:
  const std::string name_;
  const std::shared_ptr<NexoModuleEventHandler> handler_;
};

std::shared_ptr<TestModuleInfo> Register(const std::string& name, std::shared_ptr<EventLog> log,
                                         InitMode mode = InitMode::kNow) {
  auto info = std::make_shared<TestModuleInfo>(
      name, std::make_shared<RecordingHandler>(name, std::move(log), mode));
  vanta::nexo::NexoEngine::GetNexoEngine()->RegisterModule(info);
  return info;
}

// --- request contexts ---

struct Notification {
  bool success;
  std::thread::id thread;
  std::shared_ptr<Request> request;
  Message response;
};

class TestContext : public RequestContext {
 public:
  void OnSuccess(std::shared_ptr<Request> request, std::shared_ptr<Message> response) override {
    Record(true, std::move(request), std::move(response));
  }
  void OnNotify(std::shared_ptr<Request>, std::shared_ptr<Message>) override { ++notifies; }
  void OnFailure(std::shared_ptr<Request> request, std::shared_ptr<Message> response) override {
    Record(false, std::move(request), std::move(response));
  }

  std::vector<Notification> calls() {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }
  bool WaitForCall(std::chrono::milliseconds wait = 5s) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, wait, [this] { return !calls_.empty(); });
  }

  std::atomic<int> notifies{0};

 private:
  void Record(bool success, std::shared_ptr<Request> request, std::shared_ptr<Message> response) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      calls_.push_back({success, std::this_thread::get_id(), std::move(request),
                        response ? *response : Message()});
    }
    changed_.notify_all();
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Notification> calls_;
};

std::shared_ptr<MlinkRequestChannel> ChannelOf(const std::string& user_id) {
  auto manager = vanta::nexo::GetNexoEngine()->GetNexoManagerEx({user_id, ""});
  if (!manager) return nullptr;
  auto service = manager->GetMlinkService();
  return service ? service->GetRequestChannel() : nullptr;
}

std::shared_ptr<Request> MakeRequest(const std::string& uri, const std::string& body = "\x80") {
  auto request = std::make_shared<Request>(uri);
  request->SetHeader("dt", "p");
  request->body = body;
  return request;
}

class NexoEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    nexo_standin::Reset();
    nexo_standin::AddAccount({"u1", "pc"});
    channel_ = ChannelOf("u1");
    ASSERT_NE(channel_, nullptr);
  }
  void TearDown() override {
    channel_.reset();
    nexo_standin::Reset();
  }

  // Sends one request from this thread and returns its context.
  std::shared_ptr<TestContext> Send(const std::string& uri = "/r/Adaptor/RtcMlink/getToken") {
    auto context = std::make_shared<TestContext>();
    channel_->SendRequest(MakeRequest(uri), context);
    return context;
  }

  std::shared_ptr<MlinkRequestChannel> channel_;
};

// --- engine and modules ---

TEST_F(NexoEngineTest, EngineCanBeTakenDown) {
  auto engine = vanta::nexo::NexoEngine::GetNexoEngine();
  ASSERT_NE(engine, nullptr);
  EXPECT_EQ(vanta::nexo::NexoEngine::GetNexoEngine(), engine);
  vanta::nexo::NexoEngineEx* ex = vanta::nexo::GetNexoEngine();
  ASSERT_NE(ex, nullptr);

  nexo_standin::SetEngineAvailable(false);
  EXPECT_EQ(vanta::nexo::NexoEngine::GetNexoEngine(), nullptr);
  EXPECT_EQ(vanta::nexo::GetNexoEngine(), nullptr);
  nexo_standin::SetEngineAvailable(true);
  EXPECT_EQ(vanta::nexo::GetNexoEngine(), ex);
}

TEST_F(NexoEngineTest, KeepsOneModulePerNameAndRecordsEveryRegistration) {
  auto log = std::make_shared<EventLog>();
  auto rtc = Register("rtc", log);
  auto scene = Register("class_scene", log);
  vanta::nexo::NexoEngine::GetNexoEngine()->RegisterModule(rtc);  // the same object again
  auto rtc2 = Register("rtc", log);

  EXPECT_EQ(nexo_standin::RegistrationCalls(),
            (std::vector<std::shared_ptr<NexoModuleInfo>>{rtc, scene, rtc, rtc2}));
  EXPECT_EQ(nexo_standin::RegisteredModules(),
            (std::vector<std::shared_ptr<NexoModuleInfo>>{rtc2, scene}));

  const NexoError ok = vanta::nexo::NexoEngine::GetNexoEngine()->RegisterModule(scene);
  EXPECT_EQ(ok.code, 0);
  EXPECT_EQ(ok.reason, "");
  const NexoError empty = vanta::nexo::NexoEngine::GetNexoEngine()->RegisterModule(nullptr);
  EXPECT_EQ(empty.domain, 1);
  EXPECT_EQ(empty.code, -1);
  EXPECT_EQ(empty.reason, "module info is empty");
}

TEST_F(NexoEngineTest, EveryHandlerSlotIsReachedInOrder) {
  auto log = std::make_shared<EventLog>();
  {
    auto a = Register("a", log);
    auto b = Register("b", log);
    const NexoUserId uid{"u2", "pc"};
    nexo_standin::StartEngine("app-1");
    nexo_standin::AddAccount(uid);
    EXPECT_TRUE(nexo_standin::InitAccount(uid));
    EXPECT_TRUE(nexo_standin::InitAccountAsync(uid).complete);
    nexo_standin::EnterBackground();
    nexo_standin::EnterForeground();
    const auto extensions = nexo_standin::QueryExtensions();
    ASSERT_EQ(extensions.size(), 2u);
    EXPECT_EQ(*static_cast<int*>(extensions[0].get()), 7);
    const auto descriptors = nexo_standin::QueryDescriptors();
    ASSERT_EQ(descriptors.size(), 2u);
    EXPECT_EQ(descriptors[1].name, "b");
    EXPECT_EQ(descriptors[1].uri, "/b");
    nexo_standin::ReleaseAccount(uid);
    nexo_standin::ReleaseEngine();
    nexo_standin::Reset();  // the engine lets go of the modules
  }
  EXPECT_EQ(log->events(), (std::vector<std::string>{
                               "a:OnEngineStart(app-1)",
                               "b:OnEngineStart(app-1)",
                               "a:OnEngineStarted",
                               "b:OnEngineStarted",
                               "a:OnManagerCreate(u2@pc)",
                               "b:OnManagerCreate(u2@pc)",
                               "a:OnManagerCreated(u2@pc)",
                               "b:OnManagerCreated(u2@pc)",
                               "a:OnManagerInit(u2@pc)",
                               "b:OnManagerInit(u2@pc)",
                               "a:OnManagerInitAsync(u2@pc)",
                               "b:OnManagerInitAsync(u2@pc)",
                               "a:OnEnterBackground",
                               "b:OnEnterBackground",
                               "a:OnEnterForeground",
                               "b:OnEnterForeground",
                               "a:GetExtension",
                               "b:GetExtension",
                               "a:GetDescriptors",
                               "b:GetDescriptors",
                               "a:OnManagerRelease(u2@pc)",
                               "b:OnManagerRelease(u2@pc)",
                               "a:OnEngineReleased",
                               "b:OnEngineReleased",
                               // Locals go in reverse order.
                               "b:~",
                               "a:~",
                           }));
}

TEST_F(NexoEngineTest, SynchronousInitWaitsForEveryCompletionCountingEachModuleOnce) {
  const struct {
    const char* name;
    std::vector<InitMode> modes;
    bool complete;
  } cases[] = {
      {"immediate", {InitMode::kNow, InitMode::kNow}, true},
      {"from another thread", {InitMode::kLater, InitMode::kNow}, true},
      {"one never answers", {InitMode::kNow, InitMode::kNever}, false},
      {"a double answer does not stand in for a missing one",
       {InitMode::kTwice, InitMode::kNever},
       false},
      {"no modules", {}, true},
  };
  for (const auto& c : cases) {
    nexo_standin::Reset();
    auto log = std::make_shared<EventLog>();
    std::vector<std::shared_ptr<TestModuleInfo>> modules;
    for (size_t i = 0; i < c.modes.size(); ++i) {
      modules.push_back(Register("m" + std::to_string(i), log, c.modes[i]));
    }
    nexo_standin::AddAccount({"u3", ""});
    EXPECT_EQ(nexo_standin::InitAccount({"u3", ""}, 300ms), c.complete) << c.name;
  }
}

TEST_F(NexoEngineTest, AsynchronousInitCollectsEveryListenerAnswer) {
  auto log = std::make_shared<EventLog>();
  auto ok = Register("ok", log, InitMode::kLater);
  auto bad = Register("bad", log, InitMode::kFail);
  nexo_standin::AddAccount({"u4", ""});
  const auto outcome = nexo_standin::InitAccountAsync({"u4", ""});
  EXPECT_TRUE(outcome.complete);
  EXPECT_EQ(outcome.successes, 1);
  EXPECT_EQ(outcome.failures, 1);
  ASSERT_EQ(outcome.errors.size(), 1u);
  EXPECT_EQ(outcome.errors[0].code, 5);
  EXPECT_EQ(outcome.errors[0].reason, "bad failed");

  auto silent = Register("silent", log, InitMode::kNever);
  const auto partial = nexo_standin::InitAccountAsync({"u4", ""}, 200ms);
  EXPECT_FALSE(partial.complete);
}

// --- accounts ---

TEST_F(NexoEngineTest, ManagersAreFoundByUserIdAloneAndGoAwayOnRelease) {
  auto* engine = vanta::nexo::GetNexoEngine();
  EXPECT_EQ(engine->GetNexoManagerEx({"nobody", ""}), nullptr);
  auto manager = engine->GetNexoManagerEx({"u1", ""});
  ASSERT_NE(manager, nullptr);
  EXPECT_EQ(engine->GetNexoManagerEx({"u1", "other-tag"}), manager);
  EXPECT_EQ(ChannelOf("u1"), channel_);  // one channel per account

  nexo_standin::SetAccountServices("u1", false, true);
  EXPECT_EQ(manager->GetMlinkService(), nullptr);
  nexo_standin::SetAccountServices("u1", true, false);
  ASSERT_NE(manager->GetMlinkService(), nullptr);
  EXPECT_EQ(manager->GetMlinkService()->GetRequestChannel(), nullptr);
  nexo_standin::SetAccountServices("u1", true, true);
  EXPECT_NE(manager->GetMlinkService()->GetRequestChannel(), nullptr);

  nexo_standin::ReleaseAccount({"u1", "pc"});
  EXPECT_EQ(engine->GetNexoManagerEx({"u1", ""}), nullptr);
}

// --- requests ---

TEST_F(NexoEngineTest, AnsweredRequestIsRecordedAndDeliveredOnceOffTheSendingThread) {
  std::thread::id transport_thread;
  nexo_standin::SetTransport([&](const std::shared_ptr<PendingRequest>& pending) {
    transport_thread = std::this_thread::get_id();
    EXPECT_EQ(pending->user_id(), "u1");
    EXPECT_EQ(pending->request().uri, "/r/Adaptor/RtcMlink/kickMembers");
    EXPECT_TRUE(pending->Respond(Response{200, "\x81\x01\xa1x", {{"k", "v"}}}));
    EXPECT_TRUE(pending->completed());
    EXPECT_FALSE(pending->Respond(Response{}));
    EXPECT_FALSE(pending->Fail(ErrorResult(-1, "-1", "late")));
  });
  auto request = MakeRequest("/r/Adaptor/RtcMlink/kickMembers", "\x81\x01\x91\xa1u");
  auto context = std::make_shared<TestContext>();
  channel_->SendRequest(request, context);
  ASSERT_TRUE(nexo_standin::WaitUntilIdle());

  EXPECT_EQ(transport_thread, std::this_thread::get_id());  // the transport ran inline
  const auto calls = context->calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_TRUE(calls[0].success);
  EXPECT_NE(calls[0].thread, std::this_thread::get_id());
  EXPECT_EQ(calls[0].request, request);
  EXPECT_EQ(calls[0].response.code, 200);
  EXPECT_EQ(calls[0].response.body, "\x81\x01\xa1x");
  EXPECT_EQ(calls[0].response.GetHeader("k"), "v");
  EXPECT_EQ(calls[0].response.mid.ToString(), request->mid.ToString());
  EXPECT_EQ(context->notifies.load(), 0);

  const auto sent = nexo_standin::SentRequests();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].user_id, "u1");
  EXPECT_EQ(sent[0].uri, "/r/Adaptor/RtcMlink/kickMembers");
  EXPECT_EQ(sent[0].headers, (tessel::mlink::HeaderMap{{"dt", "p"}}));
  EXPECT_EQ(sent[0].body, "\x81\x01\x91\xa1u");
  EXPECT_EQ(sent[0].mid, request->mid.ToString());
  EXPECT_NE(request->mid.number, 0u);
  nexo_standin::ClearSentRequests();
  EXPECT_TRUE(nexo_standin::SentRequests().empty());
}

TEST_F(NexoEngineTest, ResponseCodeDecidesBetweenSuccessAndFailure) {
  const struct {
    int32_t code;
    bool success;
  } cases[] = {{200, true},  {204, true},  {299, true}, {199, false}, {300, false},
               {404, false}, {500, false}, {0, false},  {-1, false}};
  nexo_standin::SetSynchronousDelivery(true);
  for (const auto& c : cases) {
    nexo_standin::SetTransport(nexo_standin::RespondWith(Response{c.code, "body", {}}));
    auto context = Send();
    const auto calls = context->calls();
    ASSERT_EQ(calls.size(), 1u) << c.code;
    EXPECT_EQ(calls[0].success, c.success) << c.code;
    EXPECT_EQ(calls[0].response.code, c.code);
    EXPECT_EQ(calls[0].response.body, "body");
  }
}

TEST_F(NexoEngineTest, LocalFailureArrivesAsCodeMinusOneWithTheErrorUnchanged) {
  ErrorResult error(-14, "-14", "send_request_error");
  error.set_scope("mlink");
  error.set_developer_message("socket closed");
  error.set_more_info("retry later");
  error.set_local_error(true);
  nexo_standin::SetTransport(nexo_standin::FailWith(error));
  auto context = Send();
  ASSERT_TRUE(context->WaitForCall());
  const auto calls = context->calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_FALSE(calls[0].success);
  EXPECT_EQ(calls[0].response.code, -1);
  const ErrorResult& got = calls[0].response.local_error_result;
  EXPECT_EQ(got.ToString(), error.ToString());
  EXPECT_EQ(got.more_info(), "retry later");
  EXPECT_TRUE(got.local_error());
}

TEST_F(NexoEngineTest, SynchronousDeliveryNotifiesInsideTheAnsweringCall) {
  nexo_standin::SetSynchronousDelivery(true);
  nexo_standin::SetTransport(nexo_standin::RespondWith(Response{}));
  auto context = Send();
  // No waiting: the notification ran before SendRequest returned, on this thread.
  const auto calls = context->calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].thread, std::this_thread::get_id());
  EXPECT_EQ(nexo_standin::PendingRequestCount(), 0u);
}

TEST_F(NexoEngineTest, DeferredAnswerArrivesLaterFromAnyThread) {
  std::shared_ptr<PendingRequest> held;
  nexo_standin::SetTransport([&held](const std::shared_ptr<PendingRequest>& p) { held = p; });
  auto context = Send();
  ASSERT_NE(held, nullptr);
  EXPECT_FALSE(held->completed());
  EXPECT_EQ(nexo_standin::PendingRequestCount(), 1u);
  EXPECT_FALSE(context->WaitForCall(50ms));

  std::thread answerer([&held] { EXPECT_TRUE(held->Respond(Response{201, "late", {}})); });
  answerer.join();
  ASSERT_TRUE(context->WaitForCall());
  ASSERT_TRUE(nexo_standin::WaitUntilIdle());
  EXPECT_EQ(nexo_standin::PendingRequestCount(), 0u);
  EXPECT_EQ(context->calls().size(), 1u);
  EXPECT_EQ(context->calls()[0].response.body, "late");
  EXPECT_EQ(held->request().uri, "/r/Adaptor/RtcMlink/getToken");  // still readable
}

TEST_F(NexoEngineTest, UnansweredRequestTimesOutOnceWithCodeMinus3) {
  nexo_standin::SetRequestTimeout(30ms);
  std::shared_ptr<PendingRequest> held;
  nexo_standin::SetTransport([&held](const std::shared_ptr<PendingRequest>& p) { held = p; });
  auto context = Send();
  ASSERT_TRUE(context->WaitForCall());
  EXPECT_FALSE(held->Respond(Response{}));  // too late
  std::this_thread::sleep_for(60ms);
  const auto calls = context->calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_FALSE(calls[0].success);
  EXPECT_EQ(calls[0].response.code, -1);
  const ErrorResult& error = calls[0].response.local_error_result;
  EXPECT_EQ(error.code(), "-3");
  EXPECT_EQ(error.reason(), "timeout");
  EXPECT_EQ(error.status(), -3);
  EXPECT_EQ(error.scope(), "mlink");
  EXPECT_EQ(error.developer_message(), "no answer within 30 ms");
  EXPECT_TRUE(error.local_error());
}

TEST_F(NexoEngineTest, ContextTimeoutTakesPrecedence) {
  nexo_standin::SetRequestTimeout(0ms);
  auto short_lived = std::make_shared<TestContext>();
  short_lived->timeout_millis = 20;
  channel_->SendRequest(MakeRequest("/a"), short_lived);
  ASSERT_TRUE(short_lived->WaitForCall());
  EXPECT_EQ(short_lived->calls()[0].response.local_error_result.code(), "-3");

  nexo_standin::SetRequestTimeout(20ms);
  auto patient = std::make_shared<TestContext>();
  patient->timeout_millis = 60000;
  channel_->SendRequest(MakeRequest("/b"), patient);
  EXPECT_FALSE(patient->WaitForCall(150ms));
  EXPECT_EQ(nexo_standin::PendingRequestCount(), 1u);
}

TEST_F(NexoEngineTest, TimeoutRacingLateAnswersStillNotifiesExactlyOnce) {
  nexo_standin::SetRequestTimeout(2ms);
  std::mutex mutex;
  std::vector<std::thread> answerers;
  std::atomic<int> answers_won{0};
  nexo_standin::SetTransport([&](const std::shared_ptr<PendingRequest>& pending) {
    std::lock_guard<std::mutex> lock(mutex);
    const int delay_us = static_cast<int>(answerers.size() % 7) * 700;
    answerers.emplace_back([pending, delay_us, &answers_won] {
      std::this_thread::sleep_for(std::chrono::microseconds(delay_us));
      if (pending->Respond(Response{})) ++answers_won;
    });
  });
  constexpr int kRequests = 400;
  std::vector<std::shared_ptr<TestContext>> contexts;
  for (int i = 0; i < kRequests; ++i) contexts.push_back(Send());
  {
    std::lock_guard<std::mutex> lock(mutex);
    for (auto& thread : answerers) thread.join();
  }
  ASSERT_TRUE(nexo_standin::WaitUntilIdle());
  int successes = 0;
  int timeouts = 0;
  for (const auto& context : contexts) {
    const auto calls = context->calls();
    ASSERT_EQ(calls.size(), 1u);
    if (calls[0].success) {
      ++successes;
    } else {
      EXPECT_EQ(calls[0].response.local_error_result.code(), "-3");
      ++timeouts;
    }
  }
  EXPECT_EQ(successes, answers_won.load());
  EXPECT_EQ(successes + timeouts, kRequests);
}

TEST_F(NexoEngineTest, ManySendersManyRequestsEachNotifiedOnceOffTheirThread) {
  constexpr int kSenders = 8;
  constexpr int kPerSender = 250;
  // Half the answers come inline, half from a separate answering thread.
  std::mutex queue_mutex;
  std::condition_variable queue_changed;
  std::vector<std::shared_ptr<PendingRequest>> queue;
  bool done = false;
  std::thread answerer([&] {
    std::unique_lock<std::mutex> lock(queue_mutex);
    for (;;) {
      queue_changed.wait(lock, [&] { return done || !queue.empty(); });
      if (queue.empty() && done) return;
      auto batch = std::move(queue);
      queue.clear();
      lock.unlock();
      for (auto& pending : batch) pending->Respond(Response{500, "e", {}});
      lock.lock();
    }
  });
  std::atomic<int> counter{0};
  nexo_standin::SetTransport([&](const std::shared_ptr<PendingRequest>& pending) {
    if (counter++ % 2 == 0) {
      pending->Respond(Response{});
      return;
    }
    std::lock_guard<std::mutex> lock(queue_mutex);
    queue.push_back(pending);
    queue_changed.notify_one();
  });

  std::vector<std::vector<std::shared_ptr<TestContext>>> contexts(kSenders);
  std::vector<std::thread::id> sender_ids(kSenders);
  std::vector<std::thread> senders;
  for (int s = 0; s < kSenders; ++s) {
    senders.emplace_back([&, s] {
      sender_ids[s] = std::this_thread::get_id();
      auto channel = ChannelOf("u1");
      for (int i = 0; i < kPerSender; ++i) {
        auto context = std::make_shared<TestContext>();
        channel->SendRequest(MakeRequest("/r/" + std::to_string(s)), context);
        contexts[s].push_back(context);
      }
    });
  }
  for (auto& sender : senders) sender.join();
  ASSERT_TRUE(nexo_standin::WaitUntilIdle(10s));
  {
    std::lock_guard<std::mutex> lock(queue_mutex);
    done = true;
  }
  queue_changed.notify_one();
  answerer.join();

  int successes = 0;
  for (int s = 0; s < kSenders; ++s) {
    for (const auto& context : contexts[s]) {
      const auto calls = context->calls();
      ASSERT_EQ(calls.size(), 1u);
      EXPECT_NE(calls[0].thread, sender_ids[s]);
      EXPECT_EQ(calls[0].request->uri, "/r/" + std::to_string(s));
      successes += calls[0].success ? 1 : 0;
    }
  }
  EXPECT_EQ(successes, kSenders * kPerSender / 2);
  const auto sent = nexo_standin::SentRequests();
  ASSERT_EQ(sent.size(), static_cast<size_t>(kSenders * kPerSender));
  std::set<std::string> mids;
  for (const auto& request : sent) mids.insert(request.mid);
  EXPECT_EQ(mids.size(), sent.size());
  EXPECT_EQ(nexo_standin::PendingRequestCount(), 0u);
}

TEST_F(NexoEngineTest, EngineLetsGoOfAContextOnceNotifiedOrDropped) {
  nexo_standin::SetTransport(nexo_standin::RespondWith(Response{}));
  std::weak_ptr<TestContext> notified = Send();
  ASSERT_TRUE(nexo_standin::WaitUntilIdle());
  EXPECT_TRUE(notified.expired());

  // Without a transport or a timeout the request waits until the engine is reset, which drops
  // it without a notification.
  nexo_standin::SetTransport(nullptr);
  nexo_standin::SetRequestTimeout(0ms);
  auto context = Send();
  std::weak_ptr<TestContext> held = context;
  EXPECT_FALSE(context->WaitForCall(50ms));
  context.reset();
  EXPECT_FALSE(held.expired());
  EXPECT_FALSE(nexo_standin::WaitUntilIdle(10ms));
  nexo_standin::Reset();
  EXPECT_TRUE(held.expired());
  EXPECT_TRUE(nexo_standin::WaitUntilIdle(10ms));
}

// Interposition is an ELF matter; on Windows every import names its DLL.
#if !defined(_WIN32)
TEST_F(NexoEngineTest, LibraryExportsOnlyItsOwnApi) {
  Dl_info info{};
  ASSERT_NE(dladdr(reinterpret_cast<void*>(&nexo_standin::Reset), &info), 0);
  void* library = dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD);
  ASSERT_NE(library, nullptr) << info.dli_fname;
  EXPECT_NE(dlsym(library, "_ZN5vanta4nexo13GetNexoEngineEv"), nullptr);
  EXPECT_NE(dlsym(library, "_ZN5vanta4nexo10NexoEngine13GetNexoEngineEv"), nullptr);
  // Its private copy of the request records must not interpose on the module's.
  EXPECT_EQ(dlsym(library, "_ZNK6tessel4base11ErrorResult8ToStringB5cxx11Ev"), nullptr);
  EXPECT_EQ(dlsym(library, "_ZNK6tessel5mlink7Request8ToStringB5cxx11Ev"), nullptr);
  EXPECT_EQ(dlsym(library, "_ZN6tessel5mlink14RequestContextD2Ev"), nullptr);
  dlclose(library);
}
#endif

}  // namespace
