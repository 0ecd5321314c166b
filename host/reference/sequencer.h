// Lets a driver decide when asynchronous answers run, so that a session can be replayed step by
// step with the same order every time.
//
// Host objects that answer from their own threads (media engine events, room and live manager
// replies, adaptor answers) can hand their tasks to a Sequencer instead of running them at once:
// each task still runs on the owner's own thread, but only when the driver calls RunNext, and
// never while another sequenced task runs. Without a sequencer the owners post straight to their
// threads. Thread-safe; the workers given to Post must outlive the queued tasks.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <utility>

#include "reference/reply_worker.h"

namespace refhost {

class Sequencer {
 public:
  void Post(ReplyWorker& worker, std::function<void()> task) {
    std::lock_guard<std::mutex> lock(mu_);
    queue_.push_back({&worker, std::move(task)});
  }

  // Runs the oldest queued task on its worker and waits until that worker is idle again. False
  // when nothing was queued. Must not be called from a sequenced task.
  bool RunNext() {
    Entry entry;
    {
      std::lock_guard<std::mutex> lock(mu_);
      if (queue_.empty()) return false;
      entry = std::move(queue_.front());
      queue_.pop_front();
    }
    entry.worker->Post(std::move(entry.task));
    entry.worker->WaitIdle();
    return true;
  }

  std::size_t size() const {
    std::lock_guard<std::mutex> lock(mu_);
    return queue_.size();
  }

 private:
  struct Entry {
    ReplyWorker* worker = nullptr;
    std::function<void()> task;
  };
  mutable std::mutex mu_;
  std::deque<Entry> queue_;
};

// Runs `task` on `worker`, through `sequencer` when there is one.
inline void Dispatch(Sequencer* sequencer, ReplyWorker& worker, std::function<void()> task) {
  if (sequencer != nullptr) {
    sequencer->Post(worker, std::move(task));
  } else {
    worker.Post(std::move(task));
  }
}

}  // namespace refhost
