// Many host threads sending through both clients at once while the engine answers on its own
// threads, fails, times out, and while the account comes and goes: every request that reached
// the engine is answered to its caller exactly once, and nothing else is.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "support/network_fixture.h"
#include "support/network_operations.h"

namespace network_test {
namespace {

constexpr int kThreads = 8;
constexpr int kRequestsPerThread = 200;

// Answers a quarter of the requests at once, fails a quarter with an adaptor error, answers a
// quarter later from a thread of its own, and leaves the rest to time out.
class MixedServer {
 public:
  MixedServer() : worker_([this] { Run(); }) {}
  ~MixedServer() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    worker_.join();
  }

  nexo_standin::Transport transport() {
    return [this](const std::shared_ptr<nexo_standin::PendingRequest>& request) {
      nexo_standin::Response response;
      switch (next_.fetch_add(1) % 4) {
        case 0:
          response.body = "\x80";
          request->Respond(response);
          break;
        case 1:
          response.code = 500;
          response.body = ServerErrorBody();
          request->Respond(response);
          break;
        case 2: {
          std::lock_guard<std::mutex> lock(mutex_);
          later_.push_back(request);
          wake_.notify_all();
          break;
        }
        default:
          break;  // times out
      }
    };
  }

 private:
  void Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (true) {
      wake_.wait(lock, [this] { return stopping_ || !later_.empty(); });
      if (later_.empty()) return;
      auto request = later_.front();
      later_.pop_front();
      lock.unlock();
      std::this_thread::sleep_for(std::chrono::microseconds(200));
      nexo_standin::Response response;
      response.body = "\x80";
      request->Respond(response);
      lock.lock();
    }
  }

  std::atomic<unsigned> next_{0};
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::shared_ptr<nexo_standin::PendingRequest>> later_;
  bool stopping_ = false;
  std::thread worker_;
};

class NetworkStressTest : public NetworkTest {
 protected:
  void SetUp() override {
    NetworkTest::SetUp();
    nexo_standin::SetSynchronousDelivery(false);
    nexo_standin::SetRequestTimeout(100ms);
    // Each failure would write a line; building hundreds of them would dominate the run.
    basefx::SetMinLogSeverity(4);
  }
  void TearDown() override {
    basefx::SetMinLogSeverity(1);
    NetworkTest::TearDown();
  }

  // Runs kThreads x kRequestsPerThread requests, alternating between the RTC and class-scene
  // clients and between both forms, with `during` running alongside. Returns one record per
  // request.
  std::vector<std::shared_ptr<Calls>> Hammer(std::function<void(std::atomic<bool>&)> during) {
    auto rtc = RtcManager();
    auto scene = SceneManager();
    EXPECT_TRUE(rtc && scene);
    std::vector<RtcOp> rtc_ops = RtcOperations();
    const std::vector<SceneOp> scene_ops = SceneOperations();

    std::vector<std::shared_ptr<Calls>> calls(kThreads * kRequestsPerThread);
    for (auto& c : calls) c = std::make_shared<Calls>();
    std::atomic<bool> done{false};
    std::thread side([&] { during(done); });
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        for (int i = 0; i < kRequestsPerThread; ++i) {
          const int n = t * kRequestsPerThread + i;
          const bool object_form = (i / 2) % 2 == 1;
          if (i % 2 == 0) {
            const RtcOp& op = rtc_ops[n % rtc_ops.size()];
            object_form ? op.send_object(*rtc, calls[n]) : op.send(*rtc, calls[n]);
          } else {
            const SceneOp& op = scene_ops[2 + n % 2];  // StartClass, StopClass
            object_form ? op.send_object(*scene, calls[n]) : op.send(*scene, calls[n]);
          }
        }
      });
    }
    for (auto& thread : threads) thread.join();
    done = true;
    side.join();

    // Wait past the last possible timeout, then for the engine to settle.
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (nexo_standin::PendingRequestCount() > 0 && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(10ms);
    }
    EXPECT_TRUE(nexo_standin::WaitUntilIdle(20s));
    std::this_thread::sleep_for(150ms);
    return calls;
  }
};

TEST_F(NetworkStressTest, EveryRequestIsAnsweredExactlyOnce) {
  MixedServer server;
  nexo_standin::SetTransport(server.transport());
  const auto calls = Hammer([](std::atomic<bool>&) {});

  int successes = 0, server_errors = 0, timeouts = 0, duplicates = 0, missing = 0;
  for (const auto& c : calls) {
    const int total = c->total();
    if (total == 0) ++missing;
    if (total > 1) ++duplicates;
    successes += c->successes();
    for (const auto& e : c->failures()) {
      if (e.code == 4001) ++server_errors;
      if (e.code == -3) ++timeouts;
    }
  }
  EXPECT_EQ(missing, 0);
  EXPECT_EQ(duplicates, 0);
  EXPECT_EQ(nexo_standin::SentRequests().size(), calls.size());
  // A quarter each: answered at once, adaptor error, answered later, never answered. A late
  // answer may lose the race against the timeout, never the other way round.
  const int quarter = static_cast<int>(calls.size()) / 4;
  EXPECT_EQ(server_errors, quarter);
  EXPECT_GE(successes, quarter);
  EXPECT_GE(timeouts, quarter);
  EXPECT_EQ(successes + timeouts, 3 * quarter);
}

TEST_F(NetworkStressTest, AccountChurnNeverAnswersTwiceOrInventsAnswers) {
  MixedServer server;
  nexo_standin::SetTransport(server.transport());
  const auto calls = Hammer([this](std::atomic<bool>& done) {
    while (!done) {
      nexo_standin::ReleaseAccount(user);
      std::this_thread::sleep_for(1ms);
      nexo_standin::AddAccount(user);
      nexo_standin::InitAccount(user);
      std::this_thread::sleep_for(1ms);
    }
  });

  size_t answered = 0;
  int duplicates = 0;
  for (const auto& c : calls) {
    const int total = c->total();
    if (total > 1) ++duplicates;
    answered += static_cast<size_t>(total);
  }
  EXPECT_EQ(duplicates, 0);
  // A request dropped for want of a sender is neither sent nor answered.
  EXPECT_EQ(answered, nexo_standin::SentRequests().size());
}

}  // namespace
}  // namespace network_test
