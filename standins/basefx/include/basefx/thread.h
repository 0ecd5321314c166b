// A named worker thread that runs posted tasks in order.
//
// The thread starts in the constructor. It keeps its full name; the operating system is given
// as much of it as it accepts (15 bytes on Linux, cut before a partial UTF-8 character).
// PostTask and Join may be called from any thread but the worker itself; Join is idempotent.
// The destructor joins without running tasks still queued.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "basefx/export.h"

namespace basefx {

class BASEFX_EXPORT Thread {
 public:
  explicit Thread(const std::string& name);
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;
  ~Thread();

  const std::string& name() const { return name_; }
  // The name as the operating system was given it.
  const std::string& os_name() const { return os_name_; }

  // Queues `task`; false (and the task dropped) once Join has begun.
  bool PostTask(std::function<void()> task);

  // Stops the thread and waits for it. With `run_pending` the tasks queued so far run first;
  // without, they are dropped.
  void Join(bool run_pending);

 private:
  void Run();

  const std::string name_;
  const std::string os_name_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> tasks_;
  bool stopping_ = false;
  bool run_pending_ = false;
  std::thread thread_;
  std::mutex join_mutex_;
};

// The part of `name` the operating system accepts as a thread name.
BASEFX_EXPORT std::string OsThreadName(const std::string& name);

}  // namespace basefx
