// The request context every adaptor request carries: decodes the response into RspModel and
// calls exactly one of two callbacks, with one framework log line per outcome.
//
// Callback contract: at most one of on_success / on_failure runs, once, on the engine thread
// that notifies the handler (never both; neither when the chosen one is empty). The model
// passed to on_success lives only for the call: copy what you keep. Callbacks must not block.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "tessel/base/error_result.h"
#include "tessel/idl/model.h"
#include "tessel/idl/service_exception.h"
#include "tessel/mlink/message.h"
#include "tessel/mlink/request.h"
#include "tessel/mlink/request_context.h"

namespace tessel {
namespace idl {
namespace detail {

// Standard base64 with "=" padding.
std::string Base64Encode(const std::string& bytes);
// Milliseconds on a steady clock.
int64_t SteadyMillis();

inline constexpr char kHandlerSource[] = "include/tessel/idl/request_handler";

}  // namespace detail
}  // namespace idl

namespace mlink {

template <typename RspModel>
class RequestHandler : public RequestContext {
 public:
  using SuccessCallback = std::function<void(const RspModel&)>;
  using FailureCallback = std::function<void(const base::ErrorResult&)>;

  RequestHandler(SuccessCallback success, FailureCallback failure)
      : on_success(std::move(success)), on_failure(std::move(failure)) {}

  void OnSuccess(std::shared_ptr<Request> request, std::shared_ptr<Message> response) override {
    RspModel model;
    decode_started = idl::detail::SteadyMillis();
    idl::BufferSource source{response->body.data(), response->body.size(), 0};
    idl::MsgpackContext ctx = idl::MakeReadContext(&source);
    bool is_nil = false;
    const bool decoded = model.Unpack(&ctx, &is_nil, &unknown_seen);
    decode_millis = idl::detail::SteadyMillis() - decode_started;

    if (decoded || accept_undecodable) {
      if (!on_success) return;
      on_success(model);
      if (ShouldForm(2)) {
        Log(2, 181, "OnSuccess",
            "[idl] success, uri=" + request->uri + ", mid=" + request->mid.ToString() +
                ", siteId=" + std::to_string(request->code) +
                ", code=" + std::to_string(response->code));
      }
      return;
    }

    decode_status = -1;
    if (ShouldForm(2)) {
      Log(6, 162, "OnSuccess",
          "[idl] unpackb response.body failed, uri=" + request->uri +
              ", body-base64=" + idl::detail::Base64Encode(response->body));
    } else if (ShouldForm(6)) {
      Log(6, 166, "OnSuccess",
          "[idl] unpackb response.body failed, uri=" + request->uri +
              ", body.size=" + std::to_string(response->body.size()));
    }
    error_result = idl::DecodeFailureResult();
    if (on_failure) on_failure(error_result);
    if (ShouldForm(3)) {
      Log(3, 174, "OnSuccess",
          "[idl] unpackb_exception, uri=" + request->uri + ", mid=" + request->mid.ToString() +
              ", siteId=" + std::to_string(request->code));
    }
  }

  void OnFailure(std::shared_ptr<Request> request, std::shared_ptr<Message> response) override {
    error_result = idl::ErrorResultFromResponse(*response);
    if (on_failure) on_failure(error_result);
    if (ShouldForm(3)) {
      Log(3, 192, "OnFailure",
          "[idl] service_exception, uri=" + request->uri + ", mid=" + request->mid.ToString() +
              ", siteId=" + std::to_string(request->code) + ", error=" + error_result.ToString());
    }
  }

  SuccessCallback on_success;
  FailureCallback on_failure;

 private:
  // A line is due when the logger's minimum level admits `gate`. With no sink to receive it the
  // text would go nowhere, so it is not built at all.
  bool ShouldForm(int gate) const { return logger.min_level() <= gate && !logger.sinks().empty(); }

  void Log(int level, int line, const char* method, const std::string& message) const {
    RequestContext::Log(level, idl::detail::kHandlerSource, line,
                        std::string("tessel::mlink::RequestHandler<class ") +
                            RspModel::QualifiedName() + ">::" + method,
                        message);
  }
};

}  // namespace mlink
}  // namespace tessel
