#include "delivery.h"

namespace rtc_sim {
namespace detail {

bool DeliveryThread::Post(Clock::time_point due, Task task) {
  Queue& q = *queue_;
  std::lock_guard<std::mutex> thread_lock(thread_mu_);
  {
    std::lock_guard<std::mutex> lock(q.mu);
    if (q.stopping) return false;
    q.tasks.emplace(std::make_pair(due, q.next++), std::move(task));
    q.wake.notify_one();
  }
  if (!thread_.joinable()) {
    std::shared_ptr<Queue> queue = queue_;
    thread_ = std::thread([queue] { Run(queue); });
  }
  return true;
}

void DeliveryThread::Hurry() {
  Queue& q = *queue_;
  std::lock_guard<std::mutex> lock(q.mu);
  const Clock::time_point now = Clock::now();
  std::map<std::pair<Clock::time_point, uint64_t>, Task> hurried;
  for (auto& task : q.tasks) hurried.emplace(std::make_pair(now, q.next++), std::move(task.second));
  q.tasks.swap(hurried);
  q.wake.notify_one();
}

void DeliveryThread::Stop() {
  Queue& q = *queue_;
  std::map<std::pair<Clock::time_point, uint64_t>, Task> unrun;
  std::thread thread;
  {
    std::lock_guard<std::mutex> thread_lock(thread_mu_);
    std::lock_guard<std::mutex> lock(q.mu);
    q.stopping = true;
    unrun.swap(q.tasks);
    q.wake.notify_one();
    thread.swap(thread_);
  }
  if (!thread.joinable()) return;
  if (thread.get_id() == std::this_thread::get_id()) {
    thread.detach();
  } else {
    thread.join();
  }
}

void DeliveryThread::Run(const std::shared_ptr<Queue>& queue) {
  Queue& q = *queue;
  std::unique_lock<std::mutex> lock(q.mu);
  while (!q.stopping) {
    if (q.tasks.empty()) {
      q.wake.wait(lock);
      continue;
    }
    auto first = q.tasks.begin();
    const Clock::time_point due = first->first.first;
    if (due > Clock::now()) {
      q.wake.wait_until(lock, due);
      continue;
    }
    Task task = std::move(first->second);
    q.tasks.erase(first);
    lock.unlock();
    task();
    task = nullptr;  // its captures go before the lock is taken again
    lock.lock();
  }
}

}  // namespace detail
}  // namespace rtc_sim
