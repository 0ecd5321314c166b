// The monitoring library: a default module that swallows reports, and an installable module
// that records them exactly, from any number of threads.
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
using vanta::metrix::SetMetrixModuleObj;

TEST(MetrixTest, InstalledModuleRecordsReportsFromEveryThreadInOrder) {
  ASSERT_NE(GetMetrixModuleObj(), nullptr);
  EXPECT_EQ(GetMetrixModuleObj()->Report(111, {{"rtc_id", "r"}}, 0, ""), 0);
  auto recorder = std::make_shared<vanta::metrix::RecordingMetrixModule>();
  SetMetrixModuleObj(recorder);
  GetMetrixModuleObj()->Report(111, {{"rtc_id", "conf-1"}, {"user_list", "a,b"}}, 9000000000LL,
                               "big");
  ASSERT_EQ(recorder->size(), 1u);
  EXPECT_EQ(recorder->reports()[0].params,
            (std::map<std::string, std::string>{{"rtc_id", "conf-1"}, {"user_list", "a,b"}}));
  EXPECT_EQ(recorder->reports()[0].code, 9000000000LL);
  EXPECT_EQ(recorder->reports()[0].message, "big");
  recorder->Clear();

  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 500; ++i) GetMetrixModuleObj()->Report(100 + t, {}, i, "");
    });
  }
  for (int i = 0; i < 100; ++i) SetMetrixModuleObj(recorder);  // reinstalling loses nothing
  for (auto& thread : threads) thread.join();
  for (int t = 0; t < 8; ++t) {
    const auto mine = recorder->reports(100 + t);
    ASSERT_EQ(mine.size(), 500u);
    for (int i = 0; i < 500; ++i) EXPECT_EQ(mine[i].code, i);
  }
  SetMetrixModuleObj(nullptr);
  EXPECT_NE(GetMetrixModuleObj(), recorder);
}

}  // namespace
