// Per-account objects and their process-wide registries.
//
// The engine identifies an account by NexoUserId; the registries match on user_id alone, so
// the same user with another tag reaches the same object. Each registry (one per T) has its own
// mutex, and every registry operation runs wholly under it. The module registry's OnCreate and
// OnRelease touch the sender registry, so the lock order is always module registry, then
// sender registry.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "vanta/nexo/nexo_user_id.h"

namespace vanta {

class AccountIsolatorBase {
 public:
  virtual ~AccountIsolatorBase() = default;
  virtual void OnCreate() {}
  virtual void OnRelease() {}
  virtual bool Start() { return true; }
  virtual bool Stop() { return true; }
  virtual std::string Name() { return ""; }

  // Takes the account key; an empty user_id leaves the key as it was.
  void SetUserId(const nexo::NexoUserId& id) {
    if (id.user_id.empty()) return;
    std::lock_guard<std::recursive_mutex> lock(mutex);
    uid.user_id = id.user_id;
    uid.tag = id.tag;
  }

  nexo::NexoUserId GetUserKey() {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    return uid;
  }

  // "[" + tag + "@" + user_id + "]"
  std::string LogTag() {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    return "[" + uid.tag + "@" + uid.user_id + "]";
  }

 protected:
  std::recursive_mutex mutex;
  nexo::NexoUserId uid;
};

struct UserIdOrder {
  bool operator()(const nexo::NexoUserId& a, const nexo::NexoUserId& b) const {
    return a.user_id < b.user_id;
  }
};

// The registry of every T: one instance per account, shared.
template <typename T>
class AccountIsolatorInstance : public AccountIsolatorBase {
 public:
  // The account's instance; a new one (keyed, then OnCreate) when there is none.
  static std::shared_ptr<T> GetOrCreate(const nexo::NexoUserId& id) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto it = r.instances.find(id);
    if (it != r.instances.end()) return it->second;
    auto instance = std::make_shared<T>();
    instance->SetUserId(id);
    r.instances.emplace(id, instance);
    instance->OnCreate();
    return instance;
  }

  static std::shared_ptr<T> Find(const nexo::NexoUserId& id) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto it = r.instances.find(id);
    return it == r.instances.end() ? nullptr : it->second;
  }

  // OnRelease, then forget the instance (it lives on while others hold it). When this was the
  // last reference the instance is destroyed after the lock is let go, so a destructor that
  // joins a thread or logs never runs inside the registry.
  static void Remove(const nexo::NexoUserId& id) {
    std::shared_ptr<T> released;
    {
      Registry& r = registry();
      std::lock_guard<std::mutex> lock(r.mutex);
      auto it = r.instances.find(id);
      if (it == r.instances.end()) return;
      it->second->OnRelease();
      released = std::move(it->second);
      r.instances.erase(it);
    }
  }

 private:
  struct Registry {
    std::mutex mutex;
    std::map<nexo::NexoUserId, std::shared_ptr<T>, UserIdOrder> instances;
  };
  static Registry& registry() {
    static Registry r;
    return r;
  }
};

}  // namespace vanta
