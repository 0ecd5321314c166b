// The one send path of every adaptor request, for both layers: a response handler around the
// caller's two callbacks, the account's request channel from the engine, a request for the URI
// with the header "dt" = "p" and the MessagePack body, and the send.
//
// The callbacks' contract is the handler's: at most one runs, once, on the engine thread that
// answers. When the engine yields no channel the request is not sent and neither runs.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "tessel/base/error_result.h"
#include "tessel/idl/model.h"
#include "tessel/idl/request_handler.h"
#include "tessel/mlink/idl_context.h"
#include "tessel/mlink/request.h"
#include "vanta/nexo/mlink_request_channel.h"
#include "vanta/nexo/nexo_user_id.h"

namespace vanta {
namespace network {

// Engine -> account manager -> mlink service -> request channel. A missing engine, manager or
// mlink service is logged at severity 1 under `log_file`; an empty channel is not.
std::shared_ptr<nexo::MlinkRequestChannel> GetRequestChannel(const nexo::NexoUserId& uid,
                                                             const char* log_file);

// Builds requests; stateless, one per process.
class RequestStub {
 public:
  static const RequestStub& Instance();
  // A request for `uri` with the header "dt" = "p" and `body` encoded; the body is sent
  // whatever the encoder reported.
  template <typename Model>
  std::shared_ptr<tessel::mlink::Request> Build(std::string uri, const Model& body) const {
    auto request = NewRequest(std::move(uri));
    tessel::idl::Packb(body, &request->body);
    return request;
  }

 private:
  std::shared_ptr<tessel::mlink::Request> NewRequest(std::string uri) const;
};

// `ReqModel` is the generated request model: its encode knows every field's type.
template <typename RspModel, typename ReqModel>
void SendIdlRequest(const nexo::NexoUserId& uid, std::string uri, const ReqModel& request_model,
                    std::function<void(const RspModel&)> on_success,
                    std::function<void(const tessel::base::ErrorResult&)> on_failure,
                    const char* log_file) {
  auto handler = std::make_shared<tessel::mlink::RequestHandler<RspModel>>(std::move(on_success),
                                                                           std::move(on_failure));
  handler->idl_request = true;
  tessel::mlink::IdlContext idl(handler, GetRequestChannel(uid, log_file));
  auto request = RequestStub::Instance().Build(std::move(uri), request_model);
  if (idl.channel) idl.channel->SendRequest(std::move(request), idl.handler);
}

}  // namespace network
}  // namespace vanta
