// A module's description, registered with the engine once per process (again on every
// plug-in initialisation; the engine keeps one module per name).
#pragma once

#include <memory>
#include <string>

#include "vanta/nexo/nexo_module_event_handler.h"

namespace vanta {
namespace nexo {

class NexoModuleInfo {
 public:
  virtual ~NexoModuleInfo() = default;
  virtual std::string GetModuleName() = 0;
  virtual std::shared_ptr<NexoModuleEventHandler> GetEventHandler() = 0;
};

}  // namespace nexo
}  // namespace vanta
