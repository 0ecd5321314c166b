// The exported generic RPC records: what a host stores in them comes back unchanged, and
// copies are independent.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tessel/service/rpc_context.h"
#include "tessel/service/rpc_message.h"

namespace {

using tessel::base::ErrorResult;
using tessel::service::RpcContext;
using tessel::service::RpcMessage;
using tessel::service::RpcRequest;
using tessel::service::RpcResponse;

TEST(RpcRecordsTest, RequestCarriesStartlineUriAndBodyThroughCopies) {
  RpcRequest request;
  EXPECT_EQ(request.uri(), "");
  EXPECT_EQ(request.startline(), "");
  request.set_uri("/r/Adaptor/RtcMlink/getToken");
  request.set_startline("MLINK /r/Adaptor/RtcMlink/getToken");
  request.set_body(std::string("\x81\x01\xa1x", 4));
  request.AddHeader("dt", "p");

  RpcRequest copy(request);
  request.set_uri("/changed");
  request.set_body("changed");
  EXPECT_EQ(copy.uri(), "/r/Adaptor/RtcMlink/getToken");
  EXPECT_EQ(copy.startline(), "MLINK /r/Adaptor/RtcMlink/getToken");
  EXPECT_EQ(copy.body(), std::string("\x81\x01\xa1x", 4));
  EXPECT_EQ(copy.GetHeader("dt"), "p");

  // Through the base, as a host holding an RpcMessage sees it.
  RpcMessage& base = copy;
  base.set_startline("other");
  EXPECT_EQ(copy.startline(), "other");
}

TEST(RpcRecordsTest, ResponseCarriesCodeAndLocalError) {
  RpcResponse response;
  EXPECT_EQ(response.code(), 0);
  EXPECT_EQ(response.local_error_result().ToString(),
            "(status=0, scope=, code=, reason=, developMessage=)");

  ErrorResult error(-3, "-3", "timeout");
  error.set_local_error(true);
  response.set_code(-1);
  response.set_local_error_result(error);
  RpcResponse assigned;
  assigned = response;
  error.set_reason("changed");
  response.set_code(200);

  EXPECT_EQ(assigned.code(), -1);
  EXPECT_EQ(assigned.local_error_result().reason(), "timeout");
  EXPECT_TRUE(assigned.local_error_result().local_error());
}

TEST(RpcRecordsTest, ContextHandsOutCopiesOfItsCallbacks) {
  RpcContext context;
  EXPECT_FALSE(context.on_success());
  EXPECT_FALSE(context.on_failure());

  int successes = 0;
  std::string failure_reason;
  context.set_success([&successes](std::shared_ptr<RpcResponse> response) {
    successes += response ? response->code() : -100;
  });
  context.set_failure([&failure_reason](std::shared_ptr<RpcResponse>, const ErrorResult& e) {
    failure_reason = e.reason();
  });

  RpcContext copy(context);
  context.set_success(nullptr);  // the copy keeps its own
  auto response = std::make_shared<RpcResponse>();
  response->set_code(200);
  copy.on_success()(response);
  copy.on_failure()(response, ErrorResult(500, "-11", "bad"));
  EXPECT_EQ(successes, 200);
  EXPECT_EQ(failure_reason, "bad");
  EXPECT_FALSE(context.on_success());
  EXPECT_TRUE(context.on_failure());
}

}  // namespace
