// What one send of an IDL request keeps together: the request's response handler and the
// account's request channel, both shared so that neither goes away while the send runs.
#pragma once

#include <memory>

namespace vanta {
namespace nexo {
class MlinkRequestChannel;
}  // namespace nexo
}  // namespace vanta

namespace tessel {
namespace mlink {

class RequestContext;

class IdlContext {
 public:
  IdlContext();
  IdlContext(std::shared_ptr<RequestContext> handler,
             std::shared_ptr<vanta::nexo::MlinkRequestChannel> channel);
  virtual ~IdlContext();

  std::shared_ptr<RequestContext> handler;
  std::shared_ptr<vanta::nexo::MlinkRequestChannel> channel;
};

}  // namespace mlink
}  // namespace tessel
