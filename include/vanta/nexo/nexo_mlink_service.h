// An account's mlink service: where its request channel comes from.
#pragma once

#include <memory>

#include "vanta/nexo/mlink_request_channel.h"

namespace vanta {
namespace nexo {

class NexoMlinkService {
 public:
  virtual ~NexoMlinkService() = default;
  // May be empty when the account has no connection.
  virtual std::shared_ptr<MlinkRequestChannel> GetRequestChannel() = 0;
};

}  // namespace nexo
}  // namespace vanta
