// A thread-safe list of recorded calls that tests can read and wait on.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <utility>
#include <vector>

namespace refhost {

inline constexpr std::chrono::milliseconds kDefaultWait{5000};

template <class T>
class CallLog {
 public:
  void Add(T entry) {
    {
      std::lock_guard<std::mutex> lock(mu_);
      entries_.push_back(std::move(entry));
    }
    cv_.notify_all();
  }

  std::vector<T> Snapshot() const {
    std::lock_guard<std::mutex> lock(mu_);
    return entries_;
  }

  std::size_t size() const {
    std::lock_guard<std::mutex> lock(mu_);
    return entries_.size();
  }

  // True once at least `count` entries are recorded; false if `timeout` passes first.
  bool WaitForSize(std::size_t count, std::chrono::milliseconds timeout = kDefaultWait) const {
    std::unique_lock<std::mutex> lock(mu_);
    return cv_.wait_for(lock, timeout, [&] { return entries_.size() >= count; });
  }

 private:
  mutable std::mutex mu_;
  mutable std::condition_variable cv_;
  std::vector<T> entries_;
};

}  // namespace refhost
