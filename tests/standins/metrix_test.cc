// The monitoring library: a default module that swallows reports, and an installable module
// that records them exactly.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "metrix_standin/metrix_control.h"
#include "vanta/metrix/metrix_module.h"

namespace {

using vanta::metrix::GetMetrixModuleObj;
using vanta::metrix::MetrixReport;
using vanta::metrix::RecordingMetrixModule;
using vanta::metrix::SetMetrixModuleObj;

class MetrixTest : public ::testing::Test {
 protected:
  void TearDown() override { SetMetrixModuleObj(nullptr); }
};

TEST_F(MetrixTest, DefaultModuleIsNeverEmptyAndSwallowsReports) {
  auto module = GetMetrixModuleObj();
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(module->Report(111, {{"rtc_id", "r"}}, 0, ""), 0);
  EXPECT_EQ(GetMetrixModuleObj(), module);  // the same module each time
}

TEST_F(MetrixTest, InstalledModuleReceivesReportsThroughTheInterface) {
  auto recorder = std::make_shared<RecordingMetrixModule>();
  SetMetrixModuleObj(recorder);
  ASSERT_EQ(GetMetrixModuleObj(), recorder);

  // As the module reports: fetched anew and released after each report.
  GetMetrixModuleObj()->Report(111, {{"rtc_id", "conf-1"}, {"user_list", "a,b"}}, 0, "");
  GetMetrixModuleObj()->Report(112, {}, -2147483648LL, "no rtc");
  GetMetrixModuleObj()->Report(111, {{"rtc_id", ""}}, 9000000000LL, "big");

  const auto reports = recorder->reports();
  ASSERT_EQ(reports.size(), 3u);
  EXPECT_EQ(reports[0].event_id, 111);
  EXPECT_EQ(reports[0].params,
            (std::map<std::string, std::string>{{"rtc_id", "conf-1"}, {"user_list", "a,b"}}));
  EXPECT_EQ(reports[0].code, 0);
  EXPECT_EQ(reports[0].message, "");
  EXPECT_EQ(reports[1].code, -2147483648LL);
  EXPECT_EQ(reports[1].message, "no rtc");
  EXPECT_EQ(reports[2].code, 9000000000LL);

  const auto only_111 = recorder->reports(111);
  ASSERT_EQ(only_111.size(), 2u);
  EXPECT_EQ(only_111[1].message, "big");

  recorder->Clear();
  EXPECT_EQ(recorder->size(), 0u);
  SetMetrixModuleObj(nullptr);
  EXPECT_NE(GetMetrixModuleObj(), recorder);
  GetMetrixModuleObj()->Report(1, {}, 0, "");
  EXPECT_EQ(recorder->size(), 0u);
}

TEST_F(MetrixTest, ReportsFromManyThreadsAreAllKept) {
  auto recorder = std::make_shared<RecordingMetrixModule>();
  SetMetrixModuleObj(recorder);
  constexpr int kThreads = 8;
  constexpr int kReports = 500;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < kReports; ++i) {
        GetMetrixModuleObj()->Report(100 + t, {{"i", std::to_string(i)}}, i, "");
      }
    });
  }
  // Swapping the module while reports run must not lose the installed one's reports.
  for (int i = 0; i < 100; ++i) SetMetrixModuleObj(recorder);
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(recorder->size(), static_cast<size_t>(kThreads * kReports));
  for (int t = 0; t < kThreads; ++t) {
    const auto mine = recorder->reports(100 + t);
    ASSERT_EQ(mine.size(), static_cast<size_t>(kReports));
    for (int i = 0; i < kReports; ++i) EXPECT_EQ(mine[i].code, i);  // per-thread order kept
  }
}

}  // namespace
