#include "tessel/mlink/request_context.h"

#include "tessel/mlink/request.h"

namespace tessel {
namespace mlink {

RequestContext::RequestContext() : logger(Logger::ForName(kMlinkLoggerName)) {}

RequestContext::~RequestContext() = default;

void RequestContext::OnSuccess(std::shared_ptr<Request>, std::shared_ptr<Message>) {}

void RequestContext::OnNotify(std::shared_ptr<Request>, std::shared_ptr<Message>) {}

void RequestContext::OnFailure(std::shared_ptr<Request>, std::shared_ptr<Message>) {}

}  // namespace mlink
}  // namespace tessel
