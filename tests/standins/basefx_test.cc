// The foundation library: worker threads with names, string conversion and log routing.
#include <gtest/gtest.h>

#if defined(__linux__)
#include <pthread.h>
#endif

#include <atomic>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "basefx/logging.h"
#include "basefx/string_utils.h"
#include "basefx/thread.h"

namespace {

#if defined(__linux__)  // the 15-byte limit is what Linux gives threads
TEST(ThreadTest, KeepsTheFullNameAndGivesTheSystemWhatItAccepts) {
  const struct {
    std::string name, os_name;
  } cases[] = {
      {"exactly15chars!", "exactly15chars!"},
      {"rtc.biz.user-0123456789@desktop", "rtc.biz.user-01"},
      // A two-byte character straddling the limit is left out whole.
      {"rtc.biz.abcdef\xc3\xa9xyz", "rtc.biz.abcdef"},
  };
  for (const auto& c : cases) {
    basefx::Thread thread(c.name);
    EXPECT_EQ(thread.name(), c.name);
    std::promise<std::string> seen;
    ASSERT_TRUE(thread.PostTask([&seen] {
      char name[64] = {};
      pthread_getname_np(pthread_self(), name, sizeof name);
      seen.set_value(name);
    }));
    EXPECT_EQ(seen.get_future().get(), c.os_name);
    thread.Join(true);
  }
}
#endif

// Join (run_pending true or false) or destruction while the first task runs and five wait.
TEST(ThreadTest, JoinAndDestructionRunOrDropQueuedTasksAndRefuseNewOnes) {
  for (int mode : {0, 1, 2}) {  // join running the rest, join dropping them, destroy
    auto thread = std::make_unique<basefx::Thread>("join");
    std::promise<void> entered, release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<int> ran{0};
    thread->PostTask([&entered, released] {
      entered.set_value();
      released.wait();
    });
    for (int i = 0; i < 5; ++i) thread->PostTask([&ran] { ++ran; });
    entered.get_future().wait();
    basefx::Thread* raw = thread.get();
    std::thread ender([&] { mode == 2 ? thread.reset() : thread->Join(mode == 0); });
    // The end cannot finish before the gate opens, so `raw` is valid until then.
    while (raw->PostTask([] {})) std::this_thread::yield();
    release.set_value();
    ender.join();
    EXPECT_EQ(ran.load(), mode == 0 ? 5 : 0) << "mode " << mode;
  }
}

TEST(StringToIntTest, WholeDecimalTextOnly) {
  // clang-format off
  const struct { const char* text; bool ok; int value; } cases[] = {
      {"-11", true, -11}, {"+42", true, 42}, {"2147483647", true, 2147483647},
      {"-2147483648", true, -2147483647 - 1}, {"007", true, 7}, {"", false, 0},
      {"12abc", false, 0}, {" 1", false, 0}, {"1 ", false, 0}, {"2147483648", false, 0},
      {"-", false, 0}, {"+-1", false, 0}, {"0x1f", false, 0}, {"1.0", false, 0}};
  // clang-format on
  for (const auto& c : cases) {
    int value = -999;
    EXPECT_EQ(basefx::StringToInt(c.text, &value), c.ok) << '"' << c.text << '"';
    EXPECT_EQ(value, c.ok ? c.value : -999) << '"' << c.text << '"';
  }
  int value = 0;
  EXPECT_FALSE(basefx::StringToInt(std::string("1\0", 2), &value));
  EXPECT_FALSE(basefx::StringToInt("1", nullptr));
}

TEST(LogRoutingTest, SeverityNamesAndLeadingRelativePartsOfPaths) {
  const char* names[] = {"UNKNOWN", "VERBOSE", "INFO", "WARNING", "ERROR", "FATAL", "FATAL"};
  for (int s = -1; s <= 5; ++s) EXPECT_EQ(basefx::GetNameForLogSeverity(s), names[s + 1]) << s;
  // clang-format off
  const struct { const char *path, *stripped; } cases[] = {
      {"./.././src/a", "src/a"}, {"src/../a", "src/../a"}, {".hidden/a", ".hidden/a"},
      {"...", "..."}, {"..", ".."}, {"../", ""}};
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(basefx::StripDots(c.path), c.stripped) << c.path;
}

}  // namespace
