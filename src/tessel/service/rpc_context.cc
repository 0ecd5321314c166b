#include "tessel/service/rpc_context.h"

namespace tessel {
namespace service {

RpcContext::RpcContext() = default;
RpcContext::RpcContext(const RpcContext& other) = default;
RpcContext& RpcContext::operator=(const RpcContext& other) = default;
RpcContext::~RpcContext() = default;

RpcContext::SuccessCallback RpcContext::on_success() const {
  return on_success_;
}

RpcContext::FailureCallback RpcContext::on_failure() const {
  return on_failure_;
}

void RpcContext::set_success(const SuccessCallback& callback) {
  on_success_ = callback;
}

void RpcContext::set_failure(const FailureCallback& callback) {
  on_failure_ = callback;
}

}  // namespace service
}  // namespace tessel
