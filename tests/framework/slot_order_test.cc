// The virtual-table layout of the records and interfaces shared with the engine, the
// monitoring library and hosts: each operation in its slot and nothing after the last one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/vtable_index.h"
#include "tessel/base/error_result.h"
#include "tessel/mlink/message.h"
#include "tessel/mlink/request.h"
#include "tessel/mlink/request_context.h"
#include "tessel/service/rpc_context.h"
#include "tessel/service/rpc_message.h"
#include "vanta/metrix/metrix_module.h"
#include "vanta/nexo/nexo_engine.h"

namespace {

// Each named function must sit in slots 1, 2, ... in the order given (or from `first`), and
// `probe`, a virtual a derived class adds, must come right after the last of `slots`.
void ExpectLayout(const char* what, const std::vector<std::ptrdiff_t>& indexes, int first,
                  int slots, std::ptrdiff_t probe) {
  for (size_t i = 0; i < indexes.size(); ++i) {
    EXPECT_EQ(indexes[i], vtable::IndexForSlot(first + static_cast<int>(i)))
        << what << ": entry " << i << " should be slot " << first + static_cast<int>(i);
  }
  EXPECT_EQ(probe, slots + 1) << what << ": unexpected entries after the last slot";
}

#define IDX(Class, fn) vtable::IndexOf(&Class::fn)
#define PROBE(Class)                       \
  [] {                                     \
    struct P : Class {                     \
      virtual void ProbeSlot() = 0;        \
    };                                     \
    return vtable::IndexOf(&P::ProbeSlot); \
  }()
#define LAYOUT(Class, first, slots, ...) \
  ExpectLayout(#Class, std::vector<std::ptrdiff_t>{__VA_ARGS__}, first, slots, PROBE(Class))

using tessel::mlink::Message;
using tessel::mlink::Request;
using tessel::mlink::RequestContext;
namespace svc = tessel::service;
namespace nx = vanta::nexo;
using H = nx::NexoModuleEventHandler;
using M = svc::RpcMessage;

TEST(SlotOrder, RequestRecords) {
  if (!vtable::kSupported) GTEST_SKIP() << "layout is read through the Itanium member pointer";
  LAYOUT(tessel::base::ErrorResult, 1, 1);
  LAYOUT(Message, 1, 12, IDX(Message, HasHeader), IDX(Message, GetHeader), IDX(Message, AddHeader),
         IDX(Message, SetHeader), IDX(Message, RemoveHeader), IDX(Message, HeaderKeys),
         IDX(Message, GetHeaders), IDX(Message, headers), IDX(Message, set_headers),
         IDX(Message, startline), IDX(Message, ToString));
  // The request overrides in place and adds nothing.
  LAYOUT(Request, 10, 12, IDX(Request, startline), IDX(Request, ToString));
  LAYOUT(RequestContext, 1, 4, IDX(RequestContext, OnSuccess), IDX(RequestContext, OnNotify),
         IDX(RequestContext, OnFailure));
  LAYOUT(M, 1, 12, IDX(M, startline), IDX(M, set_startline), IDX(M, HasHeader), IDX(M, GetHeader),
         IDX(M, AddHeader), IDX(M, SetHeader), IDX(M, RemoveHeader), IDX(M, HeaderKeys),
         IDX(M, GetHeaders), IDX(M, headers), IDX(M, set_headers));
  LAYOUT(svc::RpcRequest, 12, 14, IDX(svc::RpcRequest, uri), IDX(svc::RpcRequest, set_uri));
  LAYOUT(svc::RpcResponse, 1, 12);
  LAYOUT(svc::BaseMessage, 1, 1);
  LAYOUT(svc::RpcContext, 1, 1);
}

TEST(SlotOrder, EngineAndMonitoringInterfaces) {
  if (!vtable::kSupported) GTEST_SKIP() << "layout is read through the Itanium member pointer";
  LAYOUT(H, 1, 13, IDX(H, OnEngineStart), IDX(H, OnEngineStarted), IDX(H, OnManagerCreate),
         IDX(H, OnManagerInit), IDX(H, OnManagerInitAsync), IDX(H, OnManagerCreated),
         IDX(H, OnManagerRelease), IDX(H, OnEnterBackground), IDX(H, OnEnterForeground),
         IDX(H, OnEngineReleased), IDX(H, GetExtension), IDX(H, GetDescriptors));
  LAYOUT(nx::NexoModuleInfo, 1, 3, IDX(nx::NexoModuleInfo, GetModuleName),
         IDX(nx::NexoModuleInfo, GetEventHandler));
  LAYOUT(nx::NexoResultListener, 1, 3, IDX(nx::NexoResultListener, OnSuccess),
         IDX(nx::NexoResultListener, OnFailure));
  LAYOUT(nx::NexoEngine, 1, 2, IDX(nx::NexoEngine, RegisterModule));
  LAYOUT(nx::NexoEngineEx, 1, 2, IDX(nx::NexoEngineEx, GetNexoManagerEx));
  LAYOUT(nx::NexoManagerEx, 8, 9, IDX(nx::NexoManagerEx, GetMlinkService));
  LAYOUT(nx::NexoMlinkService, 1, 2, IDX(nx::NexoMlinkService, GetRequestChannel));
  LAYOUT(nx::MlinkRequestChannel, 16, 17, IDX(nx::MlinkRequestChannel, SendRequest));
  LAYOUT(vanta::metrix::MetrixModule, 5, 6, IDX(vanta::metrix::MetrixModule, Report));
}

}  // namespace
