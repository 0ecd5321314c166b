#include "tessel/base/error_code.h"

namespace tessel {
namespace base {

std::string ErrorCodeName(int code) {
  switch (code) {
    case kNoError:
      return "no_error";
    case kInvalidParam:
      return "invalid_param";
    case kInvalidOperation:
      return "invalid_operation";
    case kTimeout:
      return "timeout";
    case kNetworkBrokenError:
      return "network_broken_error";
    case kNoAuthToken:
      return "no_auth_token";
    case kNoConnect:
      return "no_connect";
    case kIsAuthing:
      return "is_authing";
    case kIsAuthed:
      return "is_authed";
    case kTokenIsEmpty:
      return "token_is_empty";
    case kUnknownError:
      // The spelling is what servers and log readers match on; do not correct it.
      return "unkown_error";
    case kUnpackbException:
      return "unpackb_exception";
    case kCodeReasonNotSet:
      return "code_reason_not_set";
    case kSendRequestError:
      return "send_request_error";
    case kNetworkUnavailableError:
      return "network_unavailable_error";
    case kNetworkTimeoutError:
      return "network_timeout_error";
    default:
      return std::string();
  }
}

}  // namespace base
}  // namespace tessel
