// The error record of a failed adaptor request.
//
// A plain value: copyable and assignable, no locks; one thread at a time uses a given object.
// Exported from the module so that a host can receive it.
#pragma once

#include <cstdint>
#include <string>

#include "tessel/base/export.h"

namespace tessel {
namespace base {

class TESSEL_EXPORT ErrorResult {
 public:
  ErrorResult();
  ErrorResult(int status, const std::string& code, const std::string& reason);
  ErrorResult(const ErrorResult& other);
  ErrorResult& operator=(const ErrorResult& other);
  virtual ~ErrorResult();

  const std::string& scope() const { return scope_; }
  int32_t status() const { return status_; }
  const std::string& code() const { return code_; }
  const std::string& reason() const { return reason_; }
  const std::string& developer_message() const { return developer_message_; }
  const std::string& more_info() const { return more_info_; }
  bool local_error() const { return local_error_; }

  void set_scope(const std::string& scope) { scope_ = scope; }
  void set_status(int32_t status) { status_ = status; }
  void set_code(const std::string& code) { code_ = code; }
  void set_reason(const std::string& reason) { reason_ = reason; }
  void set_developer_message(const std::string& message) { developer_message_ = message; }
  void set_more_info(const std::string& more_info) { more_info_ = more_info; }
  void set_local_error(bool local_error) { local_error_ = local_error; }

  // The form used in log lines:
  // "(status=500, scope=AppNet, code=-11, reason=, developMessage=unpackb_exception)".
  // more_info and local_error are not shown.
  std::string ToString() const;

 private:
  std::string scope_;
  int32_t status_ = 0;
  std::string code_;
  std::string reason_;
  std::string developer_message_;
  std::string more_info_;
  bool local_error_ = false;
};

}  // namespace base
}  // namespace tessel
