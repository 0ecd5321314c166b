// Common base of every per-request context (the mlink request context and the generic
// RpcContext). It only gives them a shared virtual destructor.
#pragma once

#include "tessel/base/export.h"

namespace tessel {
namespace service {

class TESSEL_EXPORT BaseContext {
 public:
  BaseContext();
  BaseContext(const BaseContext& other);
  BaseContext& operator=(const BaseContext& other);
  virtual ~BaseContext();
};

}  // namespace service
}  // namespace tessel
