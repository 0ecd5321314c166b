// The messaging engine stand-in: module registration and init counting,
// and request delivery (exactly once, off the sending thread) and what it lets go of.
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <dlfcn.h>
#endif

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "nexo_standin/engine_control.h"
#include "support/engine_context.h"

namespace {

using namespace std::chrono_literals;
using nexo_standin::PendingRequest;
using nexo_standin::Response;
using tessel::base::ErrorResult;
using tessel::mlink::Message;
using tessel::mlink::Request;
using vanta::nexo::NexoError;
using vanta::nexo::NexoModuleInfo;
using vanta::nexo::NexoResultListener;
using vanta::nexo::NexoUserId;

enum class Init { kNow, kLater, kNever, kTwice, kFail };

// Completes inits as `mode` says; the other slots are the network tests' concern.
class Handler : public vanta::nexo::NexoModuleEventHandler {
 public:
  explicit Handler(Init mode) : mode_(mode) {}
  ~Handler() override {
    if (later_.joinable()) later_.join();
  }
  void OnEngineStart(const std::string&) override {}
  void OnEngineStarted() override {}
  void OnManagerCreate(const NexoUserId&) override {}
  void OnManagerInit(const NexoUserId&, const std::function<void()>& done, int32_t,
                     const std::string&) override {
    Complete(done, done);
  }
  void OnManagerInitAsync(const NexoUserId&,
                          const std::shared_ptr<NexoResultListener>& listener) override {
    Complete([listener] { listener->OnSuccess(); }, [listener] { listener->OnFailure({}); });
  }
  void OnManagerCreated(const NexoUserId&) override {}
  void OnManagerRelease(const NexoUserId&) override {}
  void OnEnterBackground() override {}
  void OnEnterForeground() override {}
  void OnEngineReleased() override {}
  std::shared_ptr<void> GetExtension() override { return nullptr; }
  std::vector<vanta::nexo::NexoModuleDescriptor> GetDescriptors() override { return {}; }

 private:
  void Complete(std::function<void()> succeed, std::function<void()> fail) {
    if (mode_ == Init::kNow || mode_ == Init::kTwice) succeed();
    if (mode_ == Init::kTwice) succeed();
    if (mode_ == Init::kFail) fail();
    if (mode_ == Init::kLater) {
      later_ = std::thread([succeed] {
        std::this_thread::sleep_for(20ms);
        succeed();
      });
    }
  }
  const Init mode_;
  std::thread later_;
};

struct Info : NexoModuleInfo {
  Info(std::string n, std::shared_ptr<Handler> h) : name(std::move(n)), handler(std::move(h)) {}
  std::string GetModuleName() override { return name; }
  std::shared_ptr<vanta::nexo::NexoModuleEventHandler> GetEventHandler() override {
    return handler;
  }
  std::string name;
  std::shared_ptr<Handler> handler;
};

std::shared_ptr<Info> Register(const std::string& name, Init mode = Init::kNow) {
  auto info = std::make_shared<Info>(name, std::make_shared<Handler>(mode));
  vanta::nexo::NexoEngine::GetNexoEngine()->RegisterModule(info);
  return info;
}

using engine_test::Context;

class NexoEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    nexo_standin::Reset();
    nexo_standin::AddAccount({"u1", "pc"});
  }
  void TearDown() override { nexo_standin::Reset(); }

  static std::shared_ptr<Context> Send(
      std::shared_ptr<Request> request = std::make_shared<Request>("/r/x"),
      std::shared_ptr<Context> context = nullptr) {
    return engine_test::Send("u1", std::move(request), std::move(context));
  }
};

TEST_F(NexoEngineTest, KeepsOneModulePerNameAndRefusesAnEmptyOne) {
  auto rtc = Register("rtc");
  auto scene = Register("class_scene");
  auto rtc2 = Register("rtc");
  EXPECT_EQ(nexo_standin::RegisteredModules(),
            (std::vector<std::shared_ptr<NexoModuleInfo>>{rtc2, scene}));
  const NexoError empty = vanta::nexo::NexoEngine::GetNexoEngine()->RegisterModule(nullptr);
  EXPECT_EQ(empty.domain, 1);
  EXPECT_EQ(empty.code, -1);
  EXPECT_EQ(empty.reason, "module info is empty");
}

TEST_F(NexoEngineTest, InitWaitsForEveryModuleCountingEachOnce) {
  const struct {
    std::vector<Init> modes;
    bool complete;
  } cases[] = {{{Init::kLater, Init::kNow}, true},
               {{Init::kNow, Init::kNever}, false},
               {{Init::kTwice, Init::kNever}, false},  // a double answer stands in for none
               {{}, true}};
  for (const auto& c : cases) {
    nexo_standin::Reset();
    std::vector<std::shared_ptr<Info>> modules;
    for (Init mode : c.modes) modules.push_back(Register(std::to_string(modules.size()), mode));
    nexo_standin::AddAccount({"u3", ""});
    EXPECT_EQ(nexo_standin::InitAccount({"u3", ""}, 300ms), c.complete) << modules.size();
  }
  nexo_standin::Reset();
  auto ok = Register("ok", Init::kLater);
  auto bad = Register("bad", Init::kFail);
  nexo_standin::AddAccount({"u4", ""});
  const auto outcome = nexo_standin::InitAccountAsync({"u4", ""});
  EXPECT_TRUE(outcome.complete);
  EXPECT_EQ(outcome.successes, 1);
  EXPECT_EQ(outcome.failures, 1);
}

TEST_F(NexoEngineTest, StatusDecidesSuccessAndAnswersKeepTheRequestsIdentity) {
  for (int32_t code : {200, 299, 199, 300, 0}) {
    nexo_standin::SetTransport([code](const std::shared_ptr<PendingRequest>& pending) {
      EXPECT_TRUE(pending->Respond(Response{code, "body", {{"k", "v"}}}));
      EXPECT_FALSE(pending->Respond(Response{}));
      EXPECT_FALSE(pending->Fail(ErrorResult(-1, "-1", "late")));
    });
    auto request = std::make_shared<Request>("/r/x");
    auto context = Send(request);
    ASSERT_TRUE(nexo_standin::WaitUntilIdle());
    const auto replies = context->replies();
    ASSERT_EQ(replies.size(), 1u) << code;
    const Message& response = replies[0].message;
    EXPECT_EQ(replies[0].success, code >= 200 && code < 300) << code;
    EXPECT_NE(replies[0].thread, std::this_thread::get_id());
    EXPECT_EQ(response.code, code);
    EXPECT_EQ(response.GetHeader("k"), "v");
    EXPECT_EQ(response.mid.ToString(), request->mid.ToString());
    EXPECT_EQ(nexo_standin::SentRequests().back().mid, request->mid.ToString());
  }
}

TEST_F(NexoEngineTest, LocalFailureArrivesUnchangedAndTheContextsTimeoutWins) {
  ErrorResult error(-14, "-14", "send_request_error");
  error.set_scope("mlink");
  error.set_more_info("retry later");
  nexo_standin::SetTransport(nexo_standin::FailWith(error));
  auto failed = Send();
  ASSERT_TRUE(failed->Wait());
  const engine_test::Reply reply = failed->replies().at(0);
  EXPECT_FALSE(reply.success);
  EXPECT_EQ(reply.message.code, -1);
  EXPECT_EQ(reply.message.local_error_result.ToString(), error.ToString());
  EXPECT_EQ(reply.message.local_error_result.more_info(), "retry later");

  nexo_standin::SetTransport(nullptr);
  nexo_standin::SetRequestTimeout(20ms);
  auto patient = std::make_shared<Context>();
  patient->timeout_millis = 60000;
  Send(std::make_shared<Request>("/b"), patient);
  EXPECT_FALSE(patient->Wait(150ms));
}

TEST_F(NexoEngineTest, EngineLetsGoOfAContextOnceNotifiedOrDropped) {
  nexo_standin::SetTransport(nexo_standin::RespondWith(Response{}));
  std::weak_ptr<Context> notified = Send();
  ASSERT_TRUE(nexo_standin::WaitUntilIdle());
  EXPECT_TRUE(notified.expired());
  // Without transport or timeout a request waits until a reset drops it unnotified.
  nexo_standin::SetTransport(nullptr);
  nexo_standin::SetRequestTimeout(0ms);
  std::weak_ptr<Context> held = Send();
  EXPECT_FALSE(held.expired());
  nexo_standin::Reset();
  EXPECT_TRUE(held.expired());
}

using NexoEngineDeathTest = NexoEngineTest;

// Built before main, so torn down after the engine: when armed it keeps the exiting process alive
// long enough for a notification still running on an engine thread to come back.
struct ExitWaiter {
  ~ExitWaiter() {
    if (armed.load()) std::this_thread::sleep_for(300ms);
  }
  std::atomic<bool> armed{false};
} exit_waiter;

// The process ends while the engine's timer thread is still inside a timeout notification and so
// holds a passing reference to the engine. The engine must still be torn down by the exiting
// thread: were the timer thread left to drop the last reference, it would try to join itself and
// the process would abort instead of exiting with its status.
TEST_F(NexoEngineDeathTest, ExitDuringATimeoutNotificationEndsWithTheExitStatus) {
  // The child must start the engine's threads itself: a forked child (the style a run under an
  // emulator asks for) has none of the parent's, so no timeout would ever fire in it.
  if (std::getenv("GTEST_DEATH_TEST_STYLE") != nullptr) {
    GTEST_SKIP() << "needs death tests that re-execute the test program";
  }
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        struct Slow : Context {
          void OnFailure(std::shared_ptr<Request> request, std::shared_ptr<Message> r) override {
            Context::OnFailure(request, r);
            std::this_thread::sleep_for(100ms);
          }
        };
        nexo_standin::SetTransport(nullptr);
        nexo_standin::SetSynchronousDelivery(true);  // the notification runs on the timer thread
        nexo_standin::SetRequestTimeout(5ms);
        auto context = std::make_shared<Slow>();
        Send(std::make_shared<Request>("/r/x"), context);
        if (!context->Wait()) std::exit(3);
        exit_waiter.armed = true;
        std::exit(7);
      },
      ::testing::ExitedWithCode(7), "");
}

#if !defined(_WIN32)  // interposition is an ELF matter
TEST_F(NexoEngineTest, LibraryExportsOnlyItsOwnApi) {
  Dl_info info{};
  ASSERT_NE(dladdr(reinterpret_cast<void*>(&nexo_standin::Reset), &info), 0);
  void* library = dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD);
  ASSERT_NE(library, nullptr) << info.dli_fname;
  EXPECT_NE(dlsym(library, "_ZN5vanta4nexo13GetNexoEngineEv"), nullptr);
  // Its private copy of the request records must not interpose on the module's.
  EXPECT_EQ(dlsym(library, "_ZNK6tessel4base11ErrorResult8ToStringB5cxx11Ev"), nullptr);
  EXPECT_EQ(dlsym(library, "_ZNK6tessel5mlink7Request8ToStringB5cxx11Ev"), nullptr);
  EXPECT_EQ(dlsym(library, "_ZN6tessel5mlink14RequestContextD2Ev"), nullptr);
  dlclose(library);
}
#endif

}  // namespace
