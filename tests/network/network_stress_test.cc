// Many host threads sending through both clients at once while the engine answers on its own
// threads, fails, times out, and while the account comes and goes: every request that reached
// the engine is answered to its caller exactly once, and nothing else is.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "support/network_fixture.h"

namespace network_test {
namespace {

class NetworkStressTest : public NetworkTest {
 protected:
  void SetUp() override {
    NetworkTest::SetUp();
    nexo_standin::SetSynchronousDelivery(false);
    nexo_standin::SetRequestTimeout(100ms);
    basefx::SetMinLogSeverity(4);  // hundreds of failure lines would dominate the run
    // A quarter each: answered at once, adaptor error, answered later from another thread,
    // never answered (times out).
    nexo_standin::SetTransport([this](const std::shared_ptr<nexo_standin::PendingRequest>& r) {
      const unsigned n = next_++ % 4;
      if (n < 2) r->Respond({n == 0 ? 200 : 500, n == 0 ? "\x80" : ServerErrorBody(), {}});
      std::lock_guard<std::mutex> lock(held_mutex);
      if (n == 2) held.push_back(r);
    });
  }
  void TearDown() override {
    basefx::SetMinLogSeverity(1);
    NetworkTest::TearDown();
  }

  // 8 threads x 200 requests, alternating between the clients and between both forms, with
  // `churn` running alongside when set. Returns one record per request.
  std::vector<std::shared_ptr<Calls>> Hammer(bool churn) {
    auto rtc = Rtc();
    auto scene = Scene();
    const auto rtc_ops = RtcOperations();
    const auto scene_ops = SceneOperations();
    std::vector<std::shared_ptr<Calls>> calls(8 * 200);
    for (auto& c : calls) c = std::make_shared<Calls>();
    std::atomic<bool> done{false};
    std::thread side([&] {
      while (!done) {  // answers the held quarter late, and brings the account down and up
        std::vector<std::shared_ptr<nexo_standin::PendingRequest>> late;
        {
          std::lock_guard<std::mutex> lock(held_mutex);
          late.swap(held);
        }
        for (auto& r : late) r->Respond({200, "\x80", {}});
        if (churn) nexo_standin::ReleaseAccount(user);
        std::this_thread::sleep_for(1ms);
        if (churn) {
          nexo_standin::AddAccount(user);
          nexo_standin::InitAccount(user);
        }
      }
    });
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
      threads.emplace_back([&, t] {
        for (int i = 0; i < 200; ++i) {
          const int n = t * 200 + i;
          const bool object_form = (i / 2) % 2 == 1;
          if (i % 2 == 0) rtc_ops[n % rtc_ops.size()].send(*rtc, calls[n], object_form);
          if (i % 2 == 1) scene_ops[2 + n % 2].send(*scene, calls[n], object_form);
        }
      });
    }
    for (auto& thread : threads) thread.join();
    // Past the last possible timeout, and the last late answer.
    std::this_thread::sleep_for(300ms);
    done = true;
    side.join();
    EXPECT_TRUE(nexo_standin::WaitUntilIdle(20s));
    for (int i = 0; i < 200 && nexo_standin::PendingRequestCount() > 0; ++i) {
      std::this_thread::sleep_for(10ms);
    }
    std::this_thread::sleep_for(150ms);
    return calls;
  }

  std::atomic<unsigned> next_{0};
};

TEST_F(NetworkStressTest, EveryRequestSentIsAnsweredExactlyOnceWithItsOwnOutcome) {
  for (bool churn : {false, true}) {
    SCOPED_TRACE(churn ? "with account churn" : "steady");
    nexo_standin::ClearSentRequests();
    const auto calls = Hammer(churn);
    size_t answered = 0;
    int successes = 0, server_errors = 0, timeouts = 0;
    for (const auto& c : calls) {
      EXPECT_LE(c->total(), 1u);
      answered += c->total();
      successes += c->successes;
      for (const auto& e : c->failures) {
        server_errors += e.code == 4001;
        timeouts += e.code == -3;
      }
    }
    // A request dropped for want of a sender is neither sent nor answered.
    EXPECT_EQ(answered, nexo_standin::SentRequests().size());
    EXPECT_EQ(successes + server_errors + timeouts, static_cast<int>(answered));
    if (churn) continue;
    // A quarter each; a late answer may lose the race against the timeout, never the reverse.
    const int quarter = static_cast<int>(calls.size()) / 4;
    EXPECT_EQ(answered, calls.size());
    EXPECT_EQ(server_errors, quarter);
    EXPECT_GE(timeouts, quarter);
    EXPECT_EQ(successes + timeouts, 3 * quarter);
  }
}

}  // namespace
}  // namespace network_test
