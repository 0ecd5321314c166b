// Control of the messaging engine library, for hosts, demos and tests that run the module
// without a real engine.
//
// Module events: the functions below act as the engine and call every registered module's
// handler on the calling thread, in registration order. Modules are kept one per name; a later
// registration under the same name replaces the earlier one.
//
// Requests: every request sent through an account's channel is recorded and handed to the
// installed transport as a PendingRequest. The transport answers it (Respond or Fail) at once
// or later from any thread, or never. The engine then notifies the request's context exactly
// once: OnSuccess for a response code from 200 to 299, OnFailure for any other code and for a
// local failure (code -1). Notifications run on the engine's delivery threads, never on the
// thread that answered, unless synchronous delivery is on: then they run inside the answering
// call (for an inline transport, on the sender's thread).
//
// A request that is not answered within the request timeout (30 s unless set; a context's own
// timeout_millis, when positive, takes precedence) fails locally with code "-3", reason
// "timeout". With the timeout off, an unanswered request is kept until Reset or process exit,
// which drop it: its context is released without a notification.
//
// Every function is thread-safe.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tessel/base/error_result.h"
#include "tessel/mlink/message.h"
#include "tessel/mlink/request.h"
#include "vanta/nexo/export.h"
#include "vanta/nexo/nexo_error.h"
#include "vanta/nexo/nexo_module_event_handler.h"
#include "vanta/nexo/nexo_module_info.h"
#include "vanta/nexo/nexo_user_id.h"

namespace nexo_standin {

using tessel::base::ErrorResult;
using tessel::mlink::HeaderMap;
using vanta::nexo::NexoError;
using vanta::nexo::NexoModuleDescriptor;
using vanta::nexo::NexoModuleInfo;
using vanta::nexo::NexoUserId;

constexpr int32_t kOk = 200;

struct Response {
  int32_t code = kOk;
  std::string body;
  HeaderMap headers;
};

// A request the engine has accepted. Holding it keeps the request alive, not its context.
class PendingRequest {
 public:
  virtual ~PendingRequest() = default;
  virtual const std::string& user_id() const = 0;
  virtual const tessel::mlink::Request& request() const = 0;
  // Completes the request with `response` (its mid is the request's). False, and nothing
  // happens, when the request was already completed (answered, failed or timed out).
  virtual bool Respond(const Response& response) = 0;
  // Completes the request with a local failure: a response with code -1 carrying `error`.
  virtual bool Fail(const ErrorResult& error) = 0;
  virtual bool completed() const = 0;
};

using Transport = std::function<void(const std::shared_ptr<PendingRequest>& request)>;

// A transport that answers every request at once with `response`.
inline Transport RespondWith(Response response) {
  return [response](const std::shared_ptr<PendingRequest>& request) { request->Respond(response); };
}

// A transport that fails every request at once with `error`.
inline Transport FailWith(ErrorResult error) {
  return [error](const std::shared_ptr<PendingRequest>& request) { request->Fail(error); };
}

struct SentRequest {
  std::string user_id;
  std::string uri;
  HeaderMap headers;
  std::string body;
  std::string mid;
};

struct AsyncInitOutcome {
  // Every module answered within the wait.
  bool complete = false;
  int successes = 0;
  int failures = 0;
  std::vector<NexoError> errors;
};

// --- engine and modules ---
// Whether the engine is up (initially true). When it is not, both GetNexoEngine entry points
// return empty.
NEXO_EXPORT void SetEngineAvailable(bool available);
// The modules the engine drives, one per name, in first-registration order.
NEXO_EXPORT std::vector<std::shared_ptr<NexoModuleInfo>> RegisteredModules();
// The argument of every RegisterModule call, in call order.
NEXO_EXPORT std::vector<std::shared_ptr<NexoModuleInfo>> RegistrationCalls();

// OnEngineStart(app_id), then OnEngineStarted.
NEXO_EXPORT void StartEngine(const std::string& app_id);
NEXO_EXPORT void EnterBackground();
NEXO_EXPORT void EnterForeground();
NEXO_EXPORT void ReleaseEngine();
NEXO_EXPORT std::vector<std::shared_ptr<void>> QueryExtensions();
NEXO_EXPORT std::vector<NexoModuleDescriptor> QueryDescriptors();

// --- accounts ---
// Creates the account's manager (found by GetNexoManagerEx from now on), then OnManagerCreate
// and OnManagerCreated to every module.
NEXO_EXPORT void AddAccount(const NexoUserId& uid);
// OnManagerInit to every module; waits up to `wait` for all of them to call their completion.
// True when all did.
NEXO_EXPORT bool InitAccount(const NexoUserId& uid,
                             std::chrono::milliseconds wait = std::chrono::seconds(5));
// OnManagerInitAsync to every module; waits up to `wait` for their listeners.
NEXO_EXPORT AsyncInitOutcome
InitAccountAsync(const NexoUserId& uid, std::chrono::milliseconds wait = std::chrono::seconds(5));
// OnManagerRelease to every module, then the account's manager is gone.
NEXO_EXPORT void ReleaseAccount(const NexoUserId& uid);
// Whether the account's manager hands out an mlink service, and that service a request channel
// (both initially true).
NEXO_EXPORT void SetAccountServices(const std::string& user_id, bool mlink_service,
                                    bool request_channel);

// --- requests ---
// Empty: requests wait for their timeout.
NEXO_EXPORT void SetTransport(Transport transport);
NEXO_EXPORT void SetSynchronousDelivery(bool synchronous);
// Zero turns the timeout off.
NEXO_EXPORT void SetRequestTimeout(std::chrono::milliseconds timeout);
NEXO_EXPORT std::vector<SentRequest> SentRequests();
NEXO_EXPORT void ClearSentRequests();
// Requests accepted and not yet completed.
NEXO_EXPORT std::size_t PendingRequestCount();
// Waits until every accepted request has been completed and its notification has run.
NEXO_EXPORT bool WaitUntilIdle(std::chrono::milliseconds wait = std::chrono::seconds(5));

// Drops unanswered requests (without notification), modules, accounts and records, and
// restores the defaults: engine available, no transport, delivery on engine threads, 30 s
// timeout. Notifications already under way still run.
NEXO_EXPORT void Reset();

}  // namespace nexo_standin
