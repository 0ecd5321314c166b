// The engine's account key. Lookups in the module's per-account registries match on user_id
// alone; tag names the account's flavour (device, environment) and is carried along.
#pragma once

#include <string>

namespace vanta {
namespace nexo {

struct NexoUserId {
  std::string user_id;
  std::string tag;
};

}  // namespace nexo
}  // namespace vanta
