// Generic RPC context exported for hosts: a success and a failure callback for one request.
// Copyable; the callbacks are copied with the context. No locks: set the callbacks before the
// context is shared with another thread.
#pragma once

#include <functional>
#include <memory>

#include "tessel/base/error_result.h"
#include "tessel/base/export.h"
#include "tessel/service/base_context.h"
#include "tessel/service/rpc_message.h"

namespace tessel {
namespace service {

class TESSEL_EXPORT RpcContext : public BaseContext {
 public:
  using SuccessCallback = std::function<void(std::shared_ptr<RpcResponse>)>;
  using FailureCallback =
      std::function<void(std::shared_ptr<RpcResponse>, const base::ErrorResult&)>;

  RpcContext();
  RpcContext(const RpcContext& other);
  RpcContext& operator=(const RpcContext& other);
  ~RpcContext() override;

  SuccessCallback on_success() const;
  FailureCallback on_failure() const;
  void set_success(const SuccessCallback& callback);
  void set_failure(const FailureCallback& callback);

 private:
  SuccessCallback on_success_;
  FailureCallback on_failure_;
};

}  // namespace service
}  // namespace tessel
