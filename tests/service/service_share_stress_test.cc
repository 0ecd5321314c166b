// The stored screen-share callbacks under concurrent use: the engine reports share states from
// its thread while the host starts or stops sharing from another. Every completion must find a
// whole callback (or none), and none is called more often than its state events allow.
//
// The racing paths share nothing but the service: the room and context here are fixed and
// lock-free and the engine does nothing, so no lock of the test's own orders the two threads
// and a thread checker sees any unguarded access to the stored callbacks.
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

// Accepts every share start and keeps no listener, so it holds no reference to the service.
class IdleEngine : public vanta::meta::MediaEngine {
 public:
  void EngineCall1(const bool&) override {}
  void EngineCall2() override {}
  void EngineCall3() override {}
  void JoinChannel(const vanta::meta::JoinChannelInfo&) override {}
  void LeaveChannel() override {}
  void EngineCall6(const std::string&) override {}
  void EngineCall7(const std::string&) override {}
  int32_t EngineCall8(int32_t) override { return 0; }
  int32_t EngineCall9(int32_t) override { return 0; }
  void SetEventListener(const std::shared_ptr<vanta::meta::RtcMediaEventListener>&) override {}
  int32_t EngineCall27(int32_t, int32_t) override { return 0; }
  int32_t StartScreenShareByDesktopId(int32_t, int32_t) override { return 0; }
  int32_t StartScreenShareAlt(int32_t, int32_t) override { return 0; }
  void EngineCall30() override {}
  int32_t EngineCall31(int32_t) override { return 0; }
  int32_t EngineCall32(int32_t) override { return 0; }
};

class ShareStress : public ServiceTest {
 protected:
  void SetUp() override {
    ServiceTest::SetUp();
    service = std::make_shared<RtcService>(context);
    service->SetMediaEngine(std::make_shared<IdleEngine>());
  }

  // Runs `host_side` and `engine_side` kRounds times each, on two threads started together.
  template <typename Host, typename Engine>
  static void Race(Host host_side, Engine engine_side) {
    std::atomic<bool> go{false};
    std::thread engine([&] {
      while (!go) std::this_thread::yield();
      for (int i = 0; i < kRounds; ++i) engine_side(i);
    });
    std::thread hostside([&] {
      while (!go) std::this_thread::yield();
      for (int i = 0; i < kRounds; ++i) host_side(i);
    });
    go = true;
    engine.join();
    hostside.join();
  }

  // Each completion holds its own piece of state, so a callback read while it is being
  // replaced shows as a use of freed memory under the sanitizers.
  static std::function<void()> Counting(std::atomic<int>& count) {
    auto token = std::make_shared<int>(1);
    return [&count, token] { count += *token; };
  }

  const std::shared_ptr<FixedContext> context = std::make_shared<FixedContext>();
  std::shared_ptr<RtcService> service;
  std::atomic<int> completed{0};
  std::atomic<int> failures{0};
  const std::function<void(const NexoError&)> failed = [this](const NexoError&) { ++failures; };
};

// Starts (stops) store new callbacks while share-started (-ended) events complete whatever is
// stored when the answer comes.
TEST_F(ShareStress, StoresRaceStateEvents) {
  for (bool starts : {true, false}) {
    SCOPED_TRACE(starts ? "starts" : "stops");
    ClearRecords();
    completed = 0;
    const int32_t first = starts ? 0 : 3, second = starts ? 3 : 0;
    Race(
        [&](int i) {
          if (starts) service->StartScreenShare(1, i, Counting(completed), failed);
          if (!starts) service->StopScreenShare(Counting(completed), failed);
        },
        [&](int) { service->OnScreenShareStateChanged(first, second, 0); });
    EXPECT_EQ(failures.load(), 0);
    EXPECT_LE(completed.load(), kRounds) << "one completion per state event at most";
    EXPECT_EQ(Sent().size(), static_cast<size_t>(kRounds));
    const int before = completed;
    service->OnScreenShareStateChanged(first, second, 0);
    EXPECT_EQ(completed.load(), before + 1) << "the callbacks stored last are whole";
  }
}

}  // namespace
}  // namespace service_test
