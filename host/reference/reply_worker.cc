#include "reference/reply_worker.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <utility>

namespace refhost {

struct ReplyWorker::State {
  std::mutex mu;
  std::condition_variable cv;
  std::deque<std::function<void()>> queue;
  bool busy = false;
  bool stop = false;
  std::thread thread;
  std::thread::id id;

  // The thread owns a reference to the state, so it may outlive the worker when detached.
  static void Run(const std::shared_ptr<State>& self) {
    std::unique_lock<std::mutex> lock(self->mu);
    for (;;) {
      self->cv.wait(lock, [&] { return self->stop || !self->queue.empty(); });
      if (self->queue.empty()) return;
      std::function<void()> task = std::move(self->queue.front());
      self->queue.pop_front();
      self->busy = true;
      lock.unlock();
      task();
      task = nullptr;  // captured objects die outside the lock, like the task itself
      lock.lock();
      self->busy = false;
      self->cv.notify_all();
    }
  }
};

ReplyWorker::ReplyWorker() : state_(std::make_shared<State>()) {}

ReplyWorker::~ReplyWorker() {
  std::thread thread;
  {
    std::lock_guard<std::mutex> lock(state_->mu);
    state_->stop = true;
    thread = std::move(state_->thread);
  }
  state_->cv.notify_all();
  if (!thread.joinable()) return;
  if (thread.get_id() == std::this_thread::get_id()) {
    thread.detach();
  } else {
    thread.join();
  }
}

void ReplyWorker::Post(std::function<void()> task) {
  std::lock_guard<std::mutex> lock(state_->mu);
  state_->queue.push_back(std::move(task));
  if (!state_->thread.joinable()) {
    std::shared_ptr<State> state = state_;
    state_->thread = std::thread([state] { State::Run(state); });
    state_->id = state_->thread.get_id();
  }
  state_->cv.notify_all();
}

void ReplyWorker::WaitIdle() const {
  std::unique_lock<std::mutex> lock(state_->mu);
  if (state_->id == std::this_thread::get_id()) return;
  state_->cv.wait(lock, [&] { return state_->queue.empty() && !state_->busy; });
}

std::thread::id ReplyWorker::thread_id() const {
  std::lock_guard<std::mutex> lock(state_->mu);
  return state_->id;
}

}  // namespace refhost
