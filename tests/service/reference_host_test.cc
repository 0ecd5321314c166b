// The reference host's own logic: how its responders answer (inside the call or from the reply
// thread) and its reply thread's lifetime.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "reference/recording_callback.h"
#include "reference/reference_host.h"

namespace {

using refhost::Delivery;
using vanta::room::CreateRtcRsp;

TEST(ReferenceHost, AnswersReachExactlyOneCallbackOnTheConfiguredThread) {
  for (Delivery delivery : {Delivery::kSync, Delivery::kReplyThread}) {
    for (bool fail : {false, true}) {
      SCOPED_TRACE(std::string(fail ? "failure" : "success") +
                   (delivery == Delivery::kSync ? " inside the call" : " on the reply thread"));
      refhost::ReferenceRoomManager manager;
      vanta::nexo::NexoError error;
      error.code = -7;
      if (fail) manager.create_rtc().FailWith(error, delivery);
      if (!fail) manager.create_rtc().SucceedWith(CreateRtcRsp{"rtc-42"}, delivery);
      refhost::ResultRecorder<CreateRtcRsp> recorder;
      vanta::meta::RoomManager& base = manager;  // through the host's table, as the module does
      base.CreateRtc({"u1", "u1", "title", {}, 0, {}}, recorder.OnSuccess(), recorder.OnFailure());
      const bool sync = delivery == Delivery::kSync;
      EXPECT_TRUE(!sync || recorder.count() == 1u) << "a synchronous answer comes inside the call";
      ASSERT_TRUE(recorder.WaitFor(1));
      manager.reply_thread().WaitIdle();
      auto results = recorder.results();
      ASSERT_EQ(results.size(), 1u);
      EXPECT_EQ(results[0].error.code, fail ? -7 : 0);
      EXPECT_EQ(std::get<0>(results[0].response).rtc_id, fail ? "" : "rtc-42");
      EXPECT_EQ(results[0].thread,
                sync ? std::this_thread::get_id() : manager.reply_thread().thread_id());
      EXPECT_TRUE(manager.unexpected_calls().Snapshot().empty());
    }
  }
}

// A task on the reply thread may drop the last reference to the reply thread's owner (a
// continuation holding the host context, which holds the room manager).
TEST(ReferenceHost, OwnerDestroyedOnItsOwnReplyThread) {
  auto manager = std::make_shared<refhost::ReferenceRoomManager>();
  std::weak_ptr<refhost::ReferenceRoomManager> watch = manager;
  std::promise<void> gate;
  std::atomic<bool> ran{false};
  // Keep the reply thread busy until the test has let go of the manager.
  manager->reply_thread().Post([opened = gate.get_future().share()] { opened.wait(); });
  manager->create_rtc().SucceedWith({"rtc-1"}, Delivery::kReplyThread);
  manager->CreateRtc(
      {}, [keep = manager, &ran](const CreateRtcRsp&) { ran = true; }, nullptr);
  manager.reset();
  EXPECT_FALSE(watch.expired());
  gate.set_value();
  for (int i = 0; i < 500 && !watch.expired(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(ran);
  EXPECT_TRUE(watch.expired());
}

}  // namespace
