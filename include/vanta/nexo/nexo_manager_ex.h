// An account's manager inside the engine. The module only asks it for the mlink service;
// placeholder slots keep that at its place in the engine's table.
#pragma once

#include <memory>

#include "vanta/nexo/nexo_mlink_service.h"

namespace vanta {
namespace nexo {

class NexoManagerEx {
 public:
  virtual ~NexoManagerEx() = default;
  virtual void Reserved1() {}
  virtual void Reserved2() {}
  virtual void Reserved3() {}
  virtual void Reserved4() {}
  virtual void Reserved5() {}
  virtual void Reserved6() {}
  virtual void Reserved7() {}
  // May be empty.
  virtual std::shared_ptr<NexoMlinkService> GetMlinkService() = 0;
};

}  // namespace nexo
}  // namespace vanta
