// A thread that runs posted tasks one after another: the "other thread" reference-host objects
// answer from when they are set to answer asynchronously.
#pragma once

#include <functional>
#include <memory>
#include <thread>

namespace refhost {

class ReplyWorker {
 public:
  ReplyWorker();
  // Runs the tasks still queued, then stops. Safe to run on the worker thread itself (a task
  // that drops the last reference to the worker's owner).
  ~ReplyWorker();
  ReplyWorker(const ReplyWorker&) = delete;
  ReplyWorker& operator=(const ReplyWorker&) = delete;

  // Queues `task`; the thread starts with the first task.
  void Post(std::function<void()> task);
  // Blocks until every task posted so far has run (returns at once on the worker thread).
  void WaitIdle() const;
  // The worker thread's id; a default id before the first task.
  std::thread::id thread_id() const;

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace refhost
