// The plug-in object the host gets from GetIPlugin: one per process, created on first use and
// kept until the process ends.
#pragma once

#include <atomic>
#include <memory>

#include "vanta/meta/i_plugin.h"

namespace vanta {
namespace meta {

class RtcPlugin : public IPlugin {
 public:
  // Registers the "rtc" and "class_scene" engine modules. Without an engine it does nothing;
  // a later call registers both. Every call registers the same two descriptions again.
  void Init() override;
  void Uninit() override;
  // A new service for `context`; the plug-in keeps no reference to it.
  std::shared_ptr<IPluginService> CreateService(
      const std::shared_ptr<ServiceContext>& context) override;

 private:
  // Written by Init only; nothing reads it.
  std::atomic<bool> initialized_{false};
};

// The process-wide plug-in (created on the first call; a creator's exception reaches the
// caller and the next call tries again).
IPlugin* GetPluginInstance();

}  // namespace meta
}  // namespace vanta
