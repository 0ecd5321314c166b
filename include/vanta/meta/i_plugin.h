// The plug-in as the host sees it: the object the exported entry point returns, and the services
// it makes, one per host context.
//
// The plug-in object is process-wide: the entry point returns a plain pointer that stays valid
// until the process's static objects are destroyed; the host never deletes it. Init, Uninit and
// CreateService may be called from any host thread. A service is owned by the shared pointer
// CreateService returns (the plug-in keeps no reference); the host may convert it to IRtcService.
// When creating a process-wide object fails (std::bad_alloc, say), GetIPlugin or Init throws
// that exception to the host and nothing is kept: a later call tries again.
#pragma once

#include <memory>
#include <string>

#include "vanta/meta/export.h"

namespace vanta {
namespace meta {

class ServiceContext;

class VANTA_INTERFACE IPluginService {
 public:
  virtual ~IPluginService() = default;
  virtual std::string GetServiceName() = 0;  // 1
};

class VANTA_INTERFACE IPlugin {
 public:
  virtual ~IPlugin() = default;
  virtual void Init() = 0;    // 1: once the messaging engine is up
  virtual void Uninit() = 0;  // 2
  virtual std::shared_ptr<IPluginService> CreateService(
      const std::shared_ptr<ServiceContext>& context) = 0;  // 3
};

// The plug-in's one exported function, under this plain name: takes nothing, returns the
// process-wide plug-in.
using GetIPluginFunc = IPlugin* (*)();
inline constexpr const char kGetIPluginSymbol[] = "GetIPlugin";

}  // namespace meta
}  // namespace vanta
