// The body of an adaptor's error response, and the rule that turns a failed response into the
// framework's ErrorResult.
#pragma once

#include <string>

#include "tessel/base/error_result.h"
#include "tessel/idl/model.h"
#include "tessel/mlink/message.h"

namespace tessel {
namespace idl {

// Six string fields. The members are declared in key order 1, 2, 4, 3, 5, 6 (key 3 is decoded
// but carried nowhere); GetFields reports them in key order, which is what the wire follows.
class ServiceException : public BaseModel {
 public:
  ModelValue<std::string> code;               // key 1
  ModelValue<std::string> reason;             // key 2
  ModelValue<std::string> developer_message;  // key 4
  ModelValue<std::string> unused3;            // key 3
  ModelValue<std::string> more_info;          // key 5
  ModelValue<std::string> scope;              // key 6

  static const char* QualifiedName() { return "tessel::idl::ServiceException"; }
  int FieldCount() const override { return 6; }
  void GetFields(BaseModelValue** out) override {
    out[0] = &code;
    out[1] = &reason;
    out[2] = &unused3;
    out[3] = &developer_message;
    out[4] = &more_info;
    out[5] = &scope;
  }
};

// The record of a body that did not decode: scope "AppNet", status 500, code "-11",
// developer_message "unpackb_exception".
base::ErrorResult DecodeFailureResult();

// A failed response as an ErrorResult: code -1 gives the response's local error result as it
// is; otherwise the body is decoded as a ServiceException (status = the response's code), or,
// when it does not decode, the decode-failure record.
base::ErrorResult ErrorResultFromResponse(const mlink::Message& response);

}  // namespace idl
}  // namespace tessel
