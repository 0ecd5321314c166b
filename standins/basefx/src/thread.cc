#include "basefx/thread.h"

#include <utility>

#if defined(__linux__) || defined(__APPLE__)
#include <pthread.h>
#elif defined(_WIN32)
#include <windows.h>
#endif

namespace basefx {
namespace {

#if defined(__linux__)
constexpr std::size_t kOsNameLimit = 15;
#elif defined(__APPLE__)
constexpr std::size_t kOsNameLimit = 63;
#elif defined(_WIN32)
// A thread description is a counted UTF-16 string; UTF-8 never has fewer bytes than UTF-16 has
// units, so this many bytes always fit.
constexpr std::size_t kOsNameLimit = 32767;
#else
constexpr std::size_t kOsNameLimit = 0;
#endif

void SetCurrentThreadName(const std::string& os_name) {
  if (os_name.empty()) return;
#if defined(__linux__)
  pthread_setname_np(pthread_self(), os_name.c_str());
#elif defined(__APPLE__)
  pthread_setname_np(os_name.c_str());
#elif defined(_WIN32)
  // SetThreadDescription exists from Windows 10 1607 on; earlier systems leave threads unnamed.
  using SetThreadDescriptionFn = HRESULT(WINAPI*)(HANDLE, PCWSTR);
  static const auto set_description =
      reinterpret_cast<SetThreadDescriptionFn>(reinterpret_cast<void*>(
          GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetThreadDescription")));
  if (set_description == nullptr) return;
  const int size = static_cast<int>(os_name.size());
  const int units = MultiByteToWideChar(CP_UTF8, 0, os_name.data(), size, nullptr, 0);
  if (units <= 0) return;
  std::wstring wide(static_cast<std::size_t>(units), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, os_name.data(), size, &wide[0], units);
  set_description(GetCurrentThread(), wide.c_str());
#endif
}

}  // namespace

std::string OsThreadName(const std::string& name) {
  if (name.size() <= kOsNameLimit) return name;
  std::size_t cut = kOsNameLimit;
  // Never leave half of a multi-byte character at the end.
  while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
  return name.substr(0, cut);
}

Thread::Thread(const std::string& name) : name_(name), os_name_(OsThreadName(name)) {
  thread_ = std::thread(&Thread::Run, this);
}

Thread::~Thread() {
  Join(false);
}

bool Thread::PostTask(std::function<void()> task) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return false;
    tasks_.push_back(std::move(task));
  }
  wake_.notify_one();
  return true;
}

void Thread::Join(bool run_pending) {
  std::lock_guard<std::mutex> join_lock(join_mutex_);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!stopping_) {
      stopping_ = true;
      run_pending_ = run_pending;
    }
  }
  wake_.notify_one();
  if (thread_.joinable()) thread_.join();
}

void Thread::Run() {
  SetCurrentThreadName(os_name_);
  for (;;) {
    std::function<void()> task;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
      if (tasks_.empty() || (stopping_ && !run_pending_)) {
        tasks_.clear();
        return;
      }
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    if (task) task();
  }
}

}  // namespace basefx
