// The stored screen-share callbacks under concurrent use: the engine reports share states from
// its thread while the host starts or stops sharing from another. Every completion must find a
// whole callback (or none), and none is called more often than its state events allow. And
// services of one account made on several host threads at once, which share the account's
// modules.
//
// The racing paths share nothing but the service: the room and context here are fixed and
// lock-free and only the host side calls the engine, so no lock of the test's own orders the
// two threads and a thread checker sees any unguarded access to the stored callbacks.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/service_fixture.h"

namespace service_test {
namespace {

constexpr int kRounds = 2000;

class FixedRoom : public vanta::meta::Room {
 public:
  std::string GetPluginInstanceId(const std::string& type) override {
    return type == "rtc" ? "conf-1" : "";
  }
  void SetPluginInstanceId(const std::string&, const std::string&) override {}
  void RemovePluginInstanceId(const std::string&) override {}
  vanta::meta::RoomDetail GetRoomDetail() override { return {}; }
};

class FixedContext : public vanta::meta::ServiceContext {
 public:
  std::string GetUserId() override { return "alice"; }
  std::string GetRoomId() override { return "room-1"; }
  std::shared_ptr<vanta::meta::Room> GetRoom() override { return room_; }
  vanta::meta::UserRecord GetUserRecord() override { return {}; }
  bool TestUser(std::string) override { return false; }
  std::shared_ptr<vanta::meta::RoomManager> GetRoomManager() override { return nullptr; }
  std::shared_ptr<vanta::meta::LiveModule> GetLiveModule() override { return nullptr; }

 private:
  const std::shared_ptr<vanta::meta::Room> room_ = std::make_shared<FixedRoom>();
};

class ShareStress : public ServiceTest {};

// Starts (stops) store new callbacks while share-started (-ended) events complete whatever is
// stored when the answer comes. Each completion holds its own piece of state, so a callback read
// while it is being replaced shows as a use of freed memory under the sanitizers.
TEST_F(ShareStress, StoresRaceStateEvents) {
  auto context = std::make_shared<FixedContext>();  // the service keeps it weakly
  auto service = std::make_shared<RtcService>(context);
  service->SetMediaEngine(host.media_engine);  // called from the host side only
  std::atomic<int> completed{0}, failures{0};
  auto counting = [&completed] {
    return [&completed, token = std::make_shared<int>(1)] { completed += *token; };
  };
  auto failed = [&failures](const NexoError&) { ++failures; };
  for (bool starts : {true, false}) {
    SCOPED_TRACE(starts ? "starts" : "stops");
    ClearRecords();
    completed = 0;
    const int32_t first = starts ? 0 : 3, second = starts ? 3 : 0;
    std::atomic<bool> go{false};
    std::thread engine([&] {
      while (!go) std::this_thread::yield();
      for (int i = 0; i < kRounds; ++i) service->OnScreenShareStateChanged(first, second, 0);
    });
    std::thread host_side([&] {
      while (!go) std::this_thread::yield();
      for (int i = 0; i < kRounds; ++i) {
        if (starts) service->StartScreenShare(1, i, counting(), failed);
        if (!starts) service->StopScreenShare(counting(), failed);
      }
    });
    go = true;
    engine.join();
    host_side.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_LE(completed.load(), kRounds) << "one completion per state event at most";
    EXPECT_EQ(Sent().size(), static_cast<size_t>(kRounds));
    const int before = completed;
    service->OnScreenShareStateChanged(first, second, 0);
    EXPECT_EQ(completed.load(), before + 1) << "the callbacks stored last are whole";
  }
}

// Host threads make services of one account at the same moment, on a freshly created account
// each round, so every round has a first manager to make: each service's constructor writes the
// shared module's manager key, and the first one makes the manager. Every service must end up
// with a working client (its request reaches the engine and is answered), and a thread checker
// must see every shared write ordered.
TEST_F(ShareStress, ServicesOfOneAccountMadeAtOnce) {
  constexpr int kThreads = 4, kPerThread = 25, kAccountRounds = 20;
  auto context = std::make_shared<FixedContext>();
  std::atomic<int> answered{0};
  for (int round = 0; round < kAccountRounds; ++round) {
    nexo_standin::ReleaseAccount({kUser, "pc"});
    nexo_standin::AddAccount({kUser, "pc"});
    ASSERT_TRUE(nexo_standin::InitAccount({kUser, "pc"}));
    std::atomic<bool> go{false};
    std::vector<std::shared_ptr<RtcService>> made(kThreads * kPerThread);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        while (!go) std::this_thread::yield();
        for (int i = 0; i < kPerThread; ++i) {
          made[t * kPerThread + i] = std::make_shared<RtcService>(context);
        }
      });
    }
    go = true;
    for (auto& thread : threads) thread.join();
    for (auto& service : made) {
      service->KickUserFromRtc(
          {"bob"}, [&answered] { ++answered; }, [](const NexoError&) {});
    }
  }
  EXPECT_EQ(answered.load(), kThreads * kPerThread * kAccountRounds);
  EXPECT_EQ(Sent().size(), static_cast<size_t>(kThreads * kPerThread * kAccountRounds));
}

}  // namespace
}  // namespace service_test
