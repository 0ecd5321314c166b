// The engine's per-module event handler, shared by the RTC and the class-scene layers. The
// engine drives it through the account life cycle: manager create makes the account's module
// (and, through the module, its request sender), manager init starts the module's worker
// thread, manager release stops the thread and forgets module and sender.
//
// Events arrive on engine threads. Every line is written at severity 1 and begins with the
// layer's tag.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/log_message.h"
#include "vanta/nexo/nexo_module_event_handler.h"

namespace vanta {
namespace network {

// Module: an AccountIsolatorInstance<Module>. Texts: a type with `static constexpr const char*`
// members kTag (the line prefix) and kLogFile (the source tag of the lines).
template <typename Module, typename Texts>
class ModuleEventHandler : public nexo::NexoModuleEventHandler {
 public:
  void OnEngineStart(const std::string& app) override {
    Log("before engine start, appid:" + app);
    app_id = app;
  }
  void OnEngineStarted() override { Log("engine started"); }
  void OnManagerCreate(const nexo::NexoUserId& uid) override {
    Log("before manager create, ");
    Module::GetOrCreate(uid);
  }
  // Completion is signalled whether or not the account has a module.
  void OnManagerInit(const nexo::NexoUserId& uid, const std::function<void()>& on_done, int32_t,
                     const std::string&) override {
    if (auto module = Module::Find(uid)) module->Start();
    if (on_done) on_done();
  }
  void OnManagerInitAsync(const nexo::NexoUserId& uid,
                          const std::shared_ptr<nexo::NexoResultListener>& listener) override {
    if (auto module = Module::Find(uid)) module->Start();
    if (listener) listener->OnSuccess();
  }
  void OnManagerCreated(const nexo::NexoUserId& uid) override {
    Log("manager create finished:" + uid.user_id + "@" + uid.tag);
  }
  void OnManagerRelease(const nexo::NexoUserId& uid) override {
    Log("release manager:" + uid.user_id + "@" + uid.tag);
    if (auto module = Module::Find(uid)) module->Stop();
    Module::Remove(uid);
  }
  void OnEnterBackground() override { Log("app did enter background"); }
  void OnEnterForeground() override { Log("app did enter foreground"); }
  void OnEngineReleased() override { Log("engine released"); }
  std::shared_ptr<void> GetExtension() override { return nullptr; }
  std::vector<nexo::NexoModuleDescriptor> GetDescriptors() override { return descriptors; }

  // Always empty: the modules describe no services to the engine.
  std::vector<nexo::NexoModuleDescriptor> descriptors;
  std::string app_id;

 private:
  static void Log(const std::string& text) { RTC_LOG(1, Texts::kLogFile) << Texts::kTag << text; }
};

}  // namespace network
}  // namespace vanta
