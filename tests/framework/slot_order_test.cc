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

struct Slot {
  std::string name;
  std::ptrdiff_t index;
  int slot;
};

// `probe` is the index of a virtual a derived class adds: the size of the table.
void ExpectLayout(const std::vector<Slot>& table, int slot_count, std::ptrdiff_t probe) {
  if (!vtable::kSupported) GTEST_SKIP() << "layout is read through the Itanium member pointer";
  for (const Slot& s : table) {
    EXPECT_EQ(s.index, vtable::IndexForSlot(s.slot)) << s.name << " should be slot " << s.slot;
  }
  EXPECT_EQ(probe, slot_count + 1) << "unexpected entries after the last slot";
}

#define SLOT(Class, fn, n)              \
  Slot {                                \
#fn, vtable::IndexOf(&Class::fn), n \
  }
#define PROBE(Class)                       \
  [] {                                     \
    struct P : Class {                     \
      virtual void ProbeSlot() = 0;        \
    };                                     \
    return vtable::IndexOf(&P::ProbeSlot); \
  }()

using tessel::mlink::Message;
using tessel::mlink::Request;
using tessel::mlink::RequestContext;
namespace svc = tessel::service;
namespace nx = vanta::nexo;

TEST(SlotOrder, ErrorResultHasOnlyItsDestructor) {
  ExpectLayout({}, 1, PROBE(tessel::base::ErrorResult));
}

TEST(SlotOrder, MlinkMessageAndRequest) {
  const std::vector<Slot> table = {
      SLOT(Message, HasHeader, 1),  SLOT(Message, GetHeader, 2),    SLOT(Message, AddHeader, 3),
      SLOT(Message, SetHeader, 4),  SLOT(Message, RemoveHeader, 5), SLOT(Message, HeaderKeys, 6),
      SLOT(Message, GetHeaders, 7), SLOT(Message, headers, 8),      SLOT(Message, set_headers, 9),
      SLOT(Message, startline, 10), SLOT(Message, ToString, 11),
  };
  ExpectLayout(table, 12, PROBE(Message));
  // The request overrides in place and adds nothing.
  ExpectLayout({SLOT(Request, startline, 10), SLOT(Request, ToString, 11)}, 12, PROBE(Request));
}

TEST(SlotOrder, RequestContext) {
  const std::vector<Slot> table = {
      SLOT(RequestContext, OnSuccess, 1),
      SLOT(RequestContext, OnNotify, 2),
      SLOT(RequestContext, OnFailure, 3),
  };
  ExpectLayout(table, 4, PROBE(RequestContext));
}

TEST(SlotOrder, GenericRpcRecords) {
  const std::vector<Slot> message = {
      SLOT(svc::RpcMessage, startline, 1),    SLOT(svc::RpcMessage, set_startline, 2),
      SLOT(svc::RpcMessage, HasHeader, 3),    SLOT(svc::RpcMessage, GetHeader, 4),
      SLOT(svc::RpcMessage, AddHeader, 5),    SLOT(svc::RpcMessage, SetHeader, 6),
      SLOT(svc::RpcMessage, RemoveHeader, 7), SLOT(svc::RpcMessage, HeaderKeys, 8),
      SLOT(svc::RpcMessage, GetHeaders, 9),   SLOT(svc::RpcMessage, headers, 10),
      SLOT(svc::RpcMessage, set_headers, 11),
  };
  ExpectLayout(message, 12, PROBE(svc::RpcMessage));
  ExpectLayout({SLOT(svc::RpcRequest, uri, 12), SLOT(svc::RpcRequest, set_uri, 13)}, 14,
               PROBE(svc::RpcRequest));
  ExpectLayout({}, 12, PROBE(svc::RpcResponse));
  ExpectLayout({}, 1, PROBE(svc::BaseMessage));
  ExpectLayout({}, 1, PROBE(svc::RpcContext));
}

TEST(SlotOrder, ModuleEventHandlerHasThirteenSlots) {
  using H = nx::NexoModuleEventHandler;
  const std::vector<Slot> table = {
      SLOT(H, OnEngineStart, 1),     SLOT(H, OnEngineStarted, 2),    SLOT(H, OnManagerCreate, 3),
      SLOT(H, OnManagerInit, 4),     SLOT(H, OnManagerInitAsync, 5), SLOT(H, OnManagerCreated, 6),
      SLOT(H, OnManagerRelease, 7),  SLOT(H, OnEnterBackground, 8),  SLOT(H, OnEnterForeground, 9),
      SLOT(H, OnEngineReleased, 10), SLOT(H, GetExtension, 11),      SLOT(H, GetDescriptors, 12),
  };
  ExpectLayout(table, 13, PROBE(H));
}

TEST(SlotOrder, EngineInterfaces) {
  ExpectLayout(
      {SLOT(nx::NexoModuleInfo, GetModuleName, 1), SLOT(nx::NexoModuleInfo, GetEventHandler, 2)}, 3,
      PROBE(nx::NexoModuleInfo));
  ExpectLayout(
      {SLOT(nx::NexoResultListener, OnSuccess, 1), SLOT(nx::NexoResultListener, OnFailure, 2)}, 3,
      PROBE(nx::NexoResultListener));
  ExpectLayout({SLOT(nx::NexoEngine, RegisterModule, 1)}, 2, PROBE(nx::NexoEngine));
  ExpectLayout({SLOT(nx::NexoEngineEx, GetNexoManagerEx, 1)}, 2, PROBE(nx::NexoEngineEx));
  ExpectLayout({SLOT(nx::NexoManagerEx, GetMlinkService, 8)}, 9, PROBE(nx::NexoManagerEx));
  ExpectLayout({SLOT(nx::NexoMlinkService, GetRequestChannel, 1)}, 2, PROBE(nx::NexoMlinkService));
  ExpectLayout({SLOT(nx::MlinkRequestChannel, SendRequest, 16)}, 17,
               PROBE(nx::MlinkRequestChannel));
}

TEST(SlotOrder, MonitoringModuleReportsInSlotFive) {
  ExpectLayout({SLOT(vanta::metrix::MetrixModule, Report, 5)}, 6,
               PROBE(vanta::metrix::MetrixModule));
}

}  // namespace
