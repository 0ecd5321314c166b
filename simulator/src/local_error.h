// LocalError (the public mirror of the framework's ErrorResult) to and from ErrorResult.
#pragma once

#include "rtc_sim/exchange.h"
#include "tessel/base/error_result.h"

namespace rtc_sim {
namespace detail {

inline tessel::base::ErrorResult ToErrorResult(const LocalError& e) {
  tessel::base::ErrorResult result(e.status, e.code, e.reason);
  result.set_developer_message(e.developer_message);
  result.set_more_info(e.more_info);
  result.set_scope(e.scope);
  result.set_local_error(e.local_error);
  return result;
}

inline LocalError FromErrorResult(const tessel::base::ErrorResult& r) {
  return LocalError{r.status(),    r.code(),  r.reason(),     r.developer_message(),
                    r.more_info(), r.scope(), r.local_error()};
}

}  // namespace detail
}  // namespace rtc_sim
