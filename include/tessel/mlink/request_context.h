// The receiver of one request's outcome. The engine holds it until it has called exactly one of
// OnSuccess or OnFailure, on one of its own threads; the base does nothing there. The fields
// are written by that one notification (and by the sender before sending), so no locks.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "tessel/base/error_result.h"
#include "tessel/base/trace_context.h"
#include "tessel/mlink/log_registry.h"
#include "tessel/mlink/message.h"
#include "tessel/service/base_context.h"

namespace tessel {
namespace mlink {

class Request;

// The name under which request contexts ask the log registry for their logger.
inline constexpr char kMlinkLoggerName[] = "tessel.mlink";

class RequestContext : public service::BaseContext {
 public:
  RequestContext();
  RequestContext(const RequestContext&) = delete;
  RequestContext& operator=(const RequestContext&) = delete;
  ~RequestContext() override;

  virtual void OnSuccess(std::shared_ptr<Request> request, std::shared_ptr<Message> response);
  virtual void OnNotify(std::shared_ptr<Request> request, std::shared_ptr<Message> response);
  virtual void OnFailure(std::shared_ptr<Request> request, std::shared_ptr<Message> response);

  // Logs through `logger` (see Logger::Log).
  void Log(int level, const std::string& source, int line, const std::string& function,
           const std::string& message) const {
    logger.Log(level, source, line, function, message);
  }

  // Configured from the log registry for kMlinkLoggerName at construction.
  Logger logger;
  // Set by a decode that met keys the response model does not know.
  bool unknown_seen = false;
  // Milliseconds on a steady clock before decoding a response body, and the decode's duration.
  int64_t decode_started = 0;
  int64_t decode_millis = 0;
  // -1 after a response body failed to decode.
  int32_t decode_status = 0;
  // Set by the module's request senders.
  bool idl_request = false;
  // When set, a body that fails to decode still counts as success.
  bool accept_undecodable = false;
  // The last failure delivered.
  base::ErrorResult error_result;

  // Engine-side state, carried without interpretation by the module.
  // Per-request timeout in milliseconds; 0 leaves it to the engine.
  int32_t timeout_millis = 0;
  int32_t retry_count = 0;
  base::TraceContext trace_context;
  HeaderMap extra_headers;
};

}  // namespace mlink
}  // namespace tessel
