#include "tessel/idl/service_exception.h"

#include "tessel/base/error_code.h"

namespace tessel {
namespace idl {

base::ErrorResult DecodeFailureResult() {
  base::ErrorResult result;
  result.set_scope("AppNet");
  result.set_status(500);
  result.set_code(std::to_string(base::kUnpackbException));
  result.set_developer_message(base::ErrorCodeName(base::kUnpackbException));
  return result;
}

base::ErrorResult ErrorResultFromResponse(const mlink::Message& response) {
  if (response.code == -1) return response.local_error_result;
  ServiceException body;
  if (!body.Unpackb(response.body, nullptr)) return DecodeFailureResult();
  base::ErrorResult result;
  result.set_status(response.code);
  result.set_code(body.code.value);
  result.set_reason(body.reason.value);
  result.set_developer_message(body.developer_message.value);
  result.set_more_info(body.more_info.value);
  result.set_scope(body.scope.value);
  return result;
}

}  // namespace idl
}  // namespace tessel
