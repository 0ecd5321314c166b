// A thread that runs tasks when they fall due: the delayed and reordered answers of the
// simulator and the timed answers of a replay. Started on the first Post, joined by Stop (or the
// destructor). Tasks run one at a time, in due order (posting order among equal times), without
// any lock held, so a task may post again (the engine's synchronous delivery sends the next
// request from inside an answer).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

namespace rtc_sim {
namespace detail {

class DeliveryThread {
 public:
  using Clock = std::chrono::steady_clock;
  using Task = std::function<void()>;

  DeliveryThread() : queue_(std::make_shared<Queue>()) {}
  ~DeliveryThread() { Stop(); }
  DeliveryThread(const DeliveryThread&) = delete;
  DeliveryThread& operator=(const DeliveryThread&) = delete;

  // False (the task is dropped) once stopped.
  bool Post(Clock::time_point due, Task task);
  // Every waiting task falls due now, keeping their order.
  void Hurry();
  // Joins the thread; tasks not yet run are destroyed unrun, outside the lock. Called from one
  // of its own tasks, it lets the thread end by itself after that task.
  void Stop();

 private:
  // Shared with the thread, which may outlive this object when stopped from its own task.
  struct Queue {
    std::mutex mu;
    std::condition_variable wake;
    std::map<std::pair<Clock::time_point, uint64_t>, Task> tasks;
    uint64_t next = 0;
    bool stopping = false;
  };
  static void Run(const std::shared_ptr<Queue>& queue);

  const std::shared_ptr<Queue> queue_;
  std::mutex thread_mu_;
  std::thread thread_;
};

}  // namespace detail
}  // namespace rtc_sim
