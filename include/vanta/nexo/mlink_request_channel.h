// An account's channel for mlink requests. SendRequest returns at once; the engine later calls
// the context exactly once (OnSuccess or OnFailure) on one of its threads and holds the context
// until then. Placeholder slots keep SendRequest at its place in the engine's table.
#pragma once

#include <memory>

#include "tessel/mlink/request.h"
#include "tessel/mlink/request_context.h"

namespace vanta {
namespace nexo {

class MlinkRequestChannel {
 public:
  virtual ~MlinkRequestChannel() = default;
  virtual void Reserved1() {}
  virtual void Reserved2() {}
  virtual void Reserved3() {}
  virtual void Reserved4() {}
  virtual void Reserved5() {}
  virtual void Reserved6() {}
  virtual void Reserved7() {}
  virtual void Reserved8() {}
  virtual void Reserved9() {}
  virtual void Reserved10() {}
  virtual void Reserved11() {}
  virtual void Reserved12() {}
  virtual void Reserved13() {}
  virtual void Reserved14() {}
  virtual void Reserved15() {}
  virtual void SendRequest(std::shared_ptr<tessel::mlink::Request> request,
                           std::shared_ptr<tessel::mlink::RequestContext> context) = 0;
};

}  // namespace nexo
}  // namespace vanta
