// The per-account module shared by the RTC and the class-scene layers: it owns the account's
// worker thread, keeps the account's request sender registered for as long as it lives, and
// hands out the account's manager.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "basefx/thread.h"
#include "common/log_message.h"
#include "network/common/account_isolator.h"

namespace vanta {
namespace network {

// Self: the concrete module (CRTP). Sender: the account's request sender type. Manager: the
// manager implementation, constructible from a NexoUserId. Texts: kName ("rtc_module"),
// kThreadPrefix ("rtc.biz."), kLogFile.
template <typename Self, typename Sender, typename Manager, typename Texts>
class AccountModule : public AccountIsolatorInstance<Self> {
 public:
  ~AccountModule() override {
    RTC_LOG(3, Texts::kLogFile) << Texts::kName << this->LogTag() << "destory";
    manager.reset();
    thread.reset();
  }

  void OnCreate() override { Sender::GetOrCreate(this->GetUserKey()); }
  void OnRelease() override { Sender::Remove(this->GetUserKey()); }

  // A second Start replaces (and so joins) the earlier thread.
  bool Start() override {
    const nexo::NexoUserId key = this->GetUserKey();
    thread.reset();
    thread.reset(
        new basefx::Thread(std::string(Texts::kThreadPrefix) + key.user_id + "@" + key.tag));
    return true;
  }

  bool Stop() override {
    if (thread) {
      thread->Join(true);
      thread.reset();
    }
    return true;
  }

  std::string Name() override { return Texts::kName; }

  // The first caller makes the manager. Callers are service constructors, and the host may
  // make services of one account on several threads at once: the check and the assignment, like
  // the key write below, run under the module's own mutex so that exactly one manager is made
  // and every caller gets that one. Nothing else changes.
  std::shared_ptr<Manager> GetOrMakeManager() {
    std::lock_guard<std::recursive_mutex> lock(this->mutex);
    if (!manager) manager = std::make_shared<Manager>(manager_uid);
    return manager;
  }

  // The service that asks for the manager writes the key first; under the mutex for the same
  // reason as above.
  void SetManagerUid(const nexo::NexoUserId& id) {
    std::lock_guard<std::recursive_mutex> lock(this->mutex);
    manager_uid = id;
  }

  std::unique_ptr<basefx::Thread> thread;
  // The key the manager is made with (see SetManagerUid).
  nexo::NexoUserId manager_uid;
  std::shared_ptr<Manager> manager;
};

}  // namespace network
}  // namespace vanta
