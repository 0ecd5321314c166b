// Entry points of the messaging engine library.
//
// NexoEngine::GetNexoEngine gives the engine for module registration (empty when the engine is
// not up); the exported GetNexoEngine gives the engine's per-account view, owned by the library
// (null when the engine is not up). Both may be called on any thread.
#pragma once

#include <memory>

#include "vanta/nexo/export.h"
#include "vanta/nexo/nexo_error.h"
#include "vanta/nexo/nexo_manager_ex.h"
#include "vanta/nexo/nexo_module_info.h"
#include "vanta/nexo/nexo_user_id.h"

namespace vanta {
namespace nexo {

class NexoEngine {
 public:
  NEXO_EXPORT static std::shared_ptr<NexoEngine> GetNexoEngine();

  virtual ~NexoEngine() = default;
  // The engine keeps `info` and drives its handler from now on; the result only informs.
  virtual NexoError RegisterModule(std::shared_ptr<NexoModuleInfo> info) = 0;
};

class NexoEngineEx {
 public:
  virtual ~NexoEngineEx() = default;
  // The manager of the account `uid.user_id`; empty when the engine has none.
  virtual std::shared_ptr<NexoManagerEx> GetNexoManagerEx(const NexoUserId& uid) = 0;
};

// Not owned by the caller; null when the engine is not up.
NEXO_EXPORT NexoEngineEx* GetNexoEngine();

}  // namespace nexo
}  // namespace vanta
