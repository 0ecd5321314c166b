// How the engine drives a registered module: engine life cycle, per-account manager life cycle
// and application state. Events arrive on engine threads; a module must not assume one thread.
// The slot order is the engine's contract and must not change.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "vanta/nexo/nexo_result_listener.h"
#include "vanta/nexo/nexo_user_id.h"

namespace vanta {
namespace nexo {

// A service a module describes to the engine.
struct NexoModuleDescriptor {
  std::string name;
  int32_t type = 0;
  int32_t version = 0;
  std::string uri;
  int32_t flags = 0;
};

class NexoModuleEventHandler {
 public:
  virtual ~NexoModuleEventHandler() = default;
  virtual void OnEngineStart(const std::string& app_id) = 0;
  virtual void OnEngineStarted() = 0;
  virtual void OnManagerCreate(const NexoUserId& uid) = 0;
  // The module calls `on_done` once when the account is ready (on any thread). The engine's
  // flags and device id are informative.
  virtual void OnManagerInit(const NexoUserId& uid, const std::function<void()>& on_done,
                             int32_t flags, const std::string& device_id) = 0;
  // The module calls the listener's OnSuccess (or OnFailure) once when the account is ready.
  virtual void OnManagerInitAsync(const NexoUserId& uid,
                                  const std::shared_ptr<NexoResultListener>& listener) = 0;
  virtual void OnManagerCreated(const NexoUserId& uid) = 0;
  virtual void OnManagerRelease(const NexoUserId& uid) = 0;
  virtual void OnEnterBackground() = 0;
  virtual void OnEnterForeground() = 0;
  virtual void OnEngineReleased() = 0;
  // Module-specific extension object; may be empty.
  virtual std::shared_ptr<void> GetExtension() = 0;
  virtual std::vector<NexoModuleDescriptor> GetDescriptors() = 0;
};

}  // namespace nexo
}  // namespace vanta
