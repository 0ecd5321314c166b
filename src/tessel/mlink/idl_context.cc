#include "tessel/mlink/idl_context.h"

#include <utility>

namespace tessel {
namespace mlink {

IdlContext::IdlContext() = default;

IdlContext::IdlContext(std::shared_ptr<RequestContext> handler,
                       std::shared_ptr<vanta::nexo::MlinkRequestChannel> channel)
    : handler(std::move(handler)), channel(std::move(channel)) {}

IdlContext::~IdlContext() = default;

}  // namespace mlink
}  // namespace tessel
