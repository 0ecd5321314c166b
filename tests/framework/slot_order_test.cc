// The virtual-table layout of the records and interfaces shared with the engine, the
// monitoring library and hosts: each operation in its slot and nothing after the last one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/slot_layout.h"
#include "tessel/base/error_result.h"
#include "tessel/mlink/message.h"
#include "tessel/mlink/request.h"
#include "tessel/mlink/request_context.h"
#include "tessel/service/rpc_context.h"
#include "tessel/service/rpc_message.h"
#include "vanta/metrix/metrix_module.h"
#include "vanta/nexo/nexo_engine.h"

namespace {

// The class's table `slots` long, holding the given entries in slot order.
#define LAYOUT(Class, slots, ...)                  \
  {                                                \
    using T = Class;                               \
    vtable::ExpectLayout<T>({__VA_ARGS__}, slots); \
  }

using tessel::mlink::Message;
using tessel::mlink::Request;
using tessel::mlink::RequestContext;
namespace svc = tessel::service;
namespace nx = vanta::nexo;

TEST(SlotOrder, RequestRecords) {
  vtable::ExpectLayout<tessel::base::ErrorResult>({}, 1);
  LAYOUT(Message, 12, S(HasHeader), S(GetHeader), S(AddHeader), S(SetHeader), S(RemoveHeader),
         S(HeaderKeys), S(GetHeaders), S(headers), S(set_headers), S(startline), S(ToString));
  // The request overrides in place and adds nothing.
  LAYOUT(Request, 12, AT(startline, 10), S(ToString));
  LAYOUT(RequestContext, 4, S(OnSuccess), S(OnNotify), S(OnFailure));
  LAYOUT(svc::RpcMessage, 12, S(startline), S(set_startline), S(HasHeader), S(GetHeader),
         S(AddHeader), S(SetHeader), S(RemoveHeader), S(HeaderKeys), S(GetHeaders), S(headers),
         S(set_headers));
  LAYOUT(svc::RpcRequest, 14, AT(uri, 12), S(set_uri));
  vtable::ExpectLayout<svc::RpcResponse>({}, 12);
  vtable::ExpectLayout<svc::BaseMessage>({}, 1);
  vtable::ExpectLayout<svc::RpcContext>({}, 1);
}

TEST(SlotOrder, EngineAndMonitoringInterfaces) {
  LAYOUT(nx::NexoModuleEventHandler, 13, S(OnEngineStart), S(OnEngineStarted), S(OnManagerCreate),
         S(OnManagerInit), S(OnManagerInitAsync), S(OnManagerCreated), S(OnManagerRelease),
         S(OnEnterBackground), S(OnEnterForeground), S(OnEngineReleased), S(GetExtension),
         S(GetDescriptors));
  LAYOUT(nx::NexoModuleInfo, 3, S(GetModuleName), S(GetEventHandler));
  LAYOUT(nx::NexoResultListener, 3, S(OnSuccess), S(OnFailure));
  LAYOUT(nx::NexoEngine, 2, S(RegisterModule));
  LAYOUT(nx::NexoEngineEx, 2, S(GetNexoManagerEx));
  LAYOUT(nx::NexoManagerEx, 9, AT(GetMlinkService, 8));
  LAYOUT(nx::NexoMlinkService, 2, S(GetRequestChannel));
  LAYOUT(nx::MlinkRequestChannel, 17, AT(SendRequest, 16));
  LAYOUT(vanta::metrix::MetrixModule, 6, AT(Report, 5));
}

}  // namespace
