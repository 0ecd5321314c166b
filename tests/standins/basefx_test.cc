// The foundation library: worker threads with names, string conversion and log routing.
#include <gtest/gtest.h>

#if defined(__linux__)
#include <pthread.h>
#endif

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "basefx/logging.h"
#include "basefx/string_utils.h"
#include "basefx/thread.h"

namespace {

// The names and the 15-byte limit below are what Linux gives threads.
#if defined(__linux__)
std::string CurrentOsThreadName() {
  char name[64] = {};
  pthread_getname_np(pthread_self(), name, sizeof name);
  return name;
}

TEST(ThreadTest, KeepsTheFullNameAndGivesTheSystemWhatItAccepts) {
  const struct {
    std::string name;
    std::string os_name;
  } cases[] = {
      {"rtc.biz.u1@pc", "rtc.biz.u1@pc"},
      {"exactly15chars!", "exactly15chars!"},
      {"rtc.biz.user-0123456789@desktop", "rtc.biz.user-01"},
      // A two-byte character straddling the limit is left out whole.
      {"rtc.biz.abcdef\xc3\xa9xyz", "rtc.biz.abcdef"},
      {"", ""},
  };
  for (const auto& c : cases) {
    basefx::Thread thread(c.name);
    EXPECT_EQ(thread.name(), c.name);
    EXPECT_EQ(thread.os_name(), c.os_name);
    std::promise<std::string> seen;
    ASSERT_TRUE(thread.PostTask([&seen] { seen.set_value(CurrentOsThreadName()); }));
    const std::string os_name = seen.get_future().get();
    if (!c.os_name.empty()) {
      EXPECT_EQ(os_name, c.os_name) << c.name;
    }
    thread.Join(true);
  }
}
#endif

TEST(ThreadTest, RunsTasksInOrderOnItsOwnThread) {
  basefx::Thread thread("order");
  std::vector<int> order;
  std::vector<std::thread::id> ids;
  for (int i = 0; i < 100; ++i) {
    thread.PostTask([&, i] {
      order.push_back(i);
      ids.push_back(std::this_thread::get_id());
    });
  }
  thread.Join(true);
  ASSERT_EQ(order.size(), 100u);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(order[i], i);
  for (const auto& id : ids) {
    EXPECT_EQ(id, ids[0]);
    EXPECT_NE(id, std::this_thread::get_id());
  }
}

// Holds the worker in its first task until released, so that later tasks stay queued.
struct Gate {
  std::promise<void> entered;
  std::promise<void> release;
  std::shared_future<void> released{release.get_future().share()};
};

TEST(ThreadTest, JoinRunsOrDropsQueuedTasks) {
  for (bool run_pending : {true, false}) {
    basefx::Thread thread("join");
    Gate gate;
    std::atomic<int> ran{0};
    thread.PostTask([&gate] {
      gate.entered.set_value();
      gate.released.wait();
    });
    for (int i = 0; i < 5; ++i) thread.PostTask([&ran] { ++ran; });
    gate.entered.get_future().wait();
    std::thread joiner([&] { thread.Join(run_pending); });
    // Join refuses new work as soon as it has begun.
    while (thread.PostTask([] {})) std::this_thread::yield();
    gate.release.set_value();
    joiner.join();
    EXPECT_EQ(ran.load(), run_pending ? 5 : 0) << "run_pending " << run_pending;
    thread.Join(true);  // a second join returns at once
    EXPECT_FALSE(thread.PostTask([] {}));
  }
}

TEST(ThreadTest, DestroyingAnUnjoinedThreadWaitsForTheRunningTaskAndDropsTheRest) {
  auto thread = std::make_unique<basefx::Thread>("unjoined");
  Gate gate;
  std::atomic<bool> first_done{false};
  std::atomic<int> ran{0};
  thread->PostTask([&] {
    gate.entered.set_value();
    gate.released.wait();
    first_done = true;
  });
  for (int i = 0; i < 5; ++i) thread->PostTask([&ran] { ++ran; });
  gate.entered.get_future().wait();
  basefx::Thread* raw = thread.get();
  std::thread destroyer([&thread] { thread.reset(); });
  // The destructor cannot finish before the gate opens, so `raw` is still valid here.
  while (raw->PostTask([&ran] { ran += 100; })) std::this_thread::yield();
  gate.release.set_value();
  destroyer.join();
  EXPECT_TRUE(first_done);
  EXPECT_EQ(ran.load(), 0);
}

TEST(StringToIntTest, WholeDecimalTextOnly) {
  const struct {
    const char* text;
    bool ok;
    int value;
  } cases[] = {
      {"0", true, 0},
      {"-11", true, -11},
      {"+42", true, 42},
      {"2147483647", true, 2147483647},
      {"-2147483648", true, -2147483647 - 1},
      {"007", true, 7},
      {"", false, 0},
      {"abc", false, 0},
      {"12abc", false, 0},
      {" 1", false, 0},
      {"1 ", false, 0},
      {"2147483648", false, 0},
      {"-2147483649", false, 0},
      {"-", false, 0},
      {"+", false, 0},
      {"+-1", false, 0},
      {"--1", false, 0},
      {"0x1f", false, 0},
      {"1e3", false, 0},
      {"1.0", false, 0},
  };
  for (const auto& c : cases) {
    int value = -999;
    EXPECT_EQ(basefx::StringToInt(c.text, &value), c.ok) << "\"" << c.text << "\"";
    EXPECT_EQ(value, c.ok ? c.value : -999) << "\"" << c.text << "\"";
  }
  EXPECT_FALSE(basefx::StringToInt("1", nullptr));
  int value = 0;
  EXPECT_FALSE(basefx::StringToInt(std::string("1\0", 2), &value));
}

TEST(LogRoutingTest, SeverityNames) {
  const struct {
    int severity;
    const char* name;
  } cases[] = {{-1, "UNKNOWN"}, {0, "VERBOSE"}, {1, "INFO"}, {2, "WARNING"},
               {3, "ERROR"},    {4, "FATAL"},   {9, "FATAL"}};
  for (const auto& c : cases) EXPECT_EQ(basefx::GetNameForLogSeverity(c.severity), c.name);
}

TEST(LogRoutingTest, StripDotsDropsOnlyLeadingRelativeParts) {
  const struct {
    const char* path;
    const char* stripped;
  } cases[] = {
      {"src/plugins/rtc/rtc_service", "src/plugins/rtc/rtc_service"},
      {"./src/a", "src/a"},
      {"../../src/a", "src/a"},
      {"./.././src/a", "src/a"},
      {"src/../a", "src/../a"},
      {".hidden/a", ".hidden/a"},
      {"...", "..."},
      {"..", ".."},
      {"../", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(basefx::StripDots(c.path), c.stripped) << c.path;
}

TEST(LogRoutingTest, MinimumSeverityPrefixAndHandlerAreSettable) {
  EXPECT_EQ(basefx::GetMinLogSeverity(), 1);
  EXPECT_FALSE(basefx::ShouldCreateLogMessage(0));
  EXPECT_TRUE(basefx::ShouldCreateLogMessage(1));
  basefx::SetMinLogSeverity(3);
  EXPECT_FALSE(basefx::ShouldCreateLogMessage(2));
  EXPECT_TRUE(basefx::ShouldCreateLogMessage(3));
  EXPECT_TRUE(basefx::ShouldCreateLogMessage(4));
  basefx::SetMinLogSeverity(1);

  EXPECT_EQ(basefx::GetLogPrefix(), "");
  basefx::SetLogPrefix("[room 7] ");
  EXPECT_EQ(basefx::GetLogPrefix(), "[room 7] ");
  basefx::SetLogPrefix("");

  EXPECT_FALSE(basefx::GetLogMessageHandler());
  std::string got;
  basefx::SetLogMessageHandler(
      [&got](int severity, const std::string& text) { got = std::to_string(severity) + text; });
  basefx::GetLogMessageHandler()(2, "x");
  EXPECT_EQ(got, "2x");
  basefx::SetLogMessageHandler(nullptr);
  EXPECT_FALSE(basefx::GetLogMessageHandler());
}

}  // namespace
