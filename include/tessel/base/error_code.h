// The framework's numeric error codes. An ErrorResult carries one of them as decimal text in
// its `code` when the error was produced by the framework or the engine rather than a server.
#pragma once

#include <string>

namespace tessel {
namespace base {

enum ErrorCode : int {
  kNoError = 0,
  kInvalidParam = -1,
  kInvalidOperation = -2,
  kTimeout = -3,
  kNetworkBrokenError = -4,
  kNoAuthToken = -5,
  kNoConnect = -6,
  kIsAuthing = -7,
  kIsAuthed = -8,
  kTokenIsEmpty = -9,
  kUnknownError = -10,
  kUnpackbException = -11,
  kCodeReasonNotSet = -12,
  // -13 is not assigned.
  kSendRequestError = -14,
  kNetworkUnavailableError = -15,
  kNetworkTimeoutError = -16,
};

// The name of `code` ("timeout" for -3, "unkown_error" for -10, ...); empty for -13 and for any
// code that is not listed above. Thread-safe. Not part of the exported interface: every binary
// that links the framework has its own.
std::string ErrorCodeName(int code);

}  // namespace base
}  // namespace tessel
