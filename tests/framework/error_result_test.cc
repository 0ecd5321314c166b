// The error record's text form, the error-code names and the conversion into the host's error.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "tessel/base/error_code.h"
#include "tessel/base/error_result.h"
#include "vanta/nexo/nexo_error.h"

namespace {

using tessel::base::ErrorCodeName;
using tessel::base::ErrorResult;
using vanta::nexo::NexoError;

TEST(ErrorResultTest, DefaultTextShowsEveryLabelWithEmptyValues) {
  EXPECT_EQ(ErrorResult().ToString(), "(status=0, scope=, code=, reason=, developMessage=)");
}

TEST(ErrorResultTest, TextShowsFiveFieldsInOrderAndHidesTheRest) {
  ErrorResult error(500, "-11", "bad body");
  error.set_scope("AppNet");
  error.set_developer_message("unpackb_exception");
  error.set_more_info("not shown");
  error.set_local_error(true);
  EXPECT_EQ(error.ToString(),
            "(status=500, scope=AppNet, code=-11, reason=bad body, "
            "developMessage=unpackb_exception)");
  error.set_status(-2147483647 - 1);
  EXPECT_EQ(error.ToString().substr(0, 20), "(status=-2147483648,");
}

TEST(ErrorResultTest, ThreeArgumentConstructorLeavesTheRestEmpty) {
  const ErrorResult error(404, "E404", "missing");
  EXPECT_EQ(error.status(), 404);
  EXPECT_EQ(error.code(), "E404");
  EXPECT_EQ(error.reason(), "missing");
  EXPECT_EQ(error.scope(), "");
  EXPECT_EQ(error.developer_message(), "");
  EXPECT_EQ(error.more_info(), "");
  EXPECT_FALSE(error.local_error());
}

TEST(ErrorCodeNameTest, EveryCodeAndTheGaps) {
  const struct {
    int code;
    const char* name;
  } cases[] = {
      {0, "no_error"},
      {-1, "invalid_param"},
      {-2, "invalid_operation"},
      {-3, "timeout"},
      {-4, "network_broken_error"},
      {-5, "no_auth_token"},
      {-6, "no_connect"},
      {-7, "is_authing"},
      {-8, "is_authed"},
      {-9, "token_is_empty"},
      {-10, "unkown_error"},  // sic
      {-11, "unpackb_exception"},
      {-12, "code_reason_not_set"},
      {-13, ""},  // unassigned
      {-14, "send_request_error"},
      {-15, "network_unavailable_error"},
      {-16, "network_timeout_error"},
      {-17, ""},
      {1, ""},
      {200, ""},
      {INT_MIN, ""},
      {INT_MAX, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ErrorCodeName(c.code), c.name) << "code " << c.code;
}

TEST(NexoErrorTest, DefaultIsAllZeroAndEmpty) {
  const NexoError error;
  EXPECT_EQ(error.domain, 0);
  EXPECT_EQ(error.code, 0);
  EXPECT_EQ(error.developer_message, "");
  EXPECT_EQ(error.reason, "");
  EXPECT_EQ(error.more_info, "");
  EXPECT_EQ(error.scope, "");
}

TEST(NexoErrorTest, FromErrorResultParsesTheCodeTextOrKeepsZero) {
  const struct {
    const char* code_text;
    int32_t code;
  } cases[] = {
      {"-11", -11},
      {"-3", -3},
      {"0", 0},
      {"404", 404},
      {"+7", 7},
      {"abc", 0},
      {"", 0},
      {"12abc", 0},
      {" 12", 0},
      {"12 ", 0},
      {"2147483647", INT_MAX},
      {"-2147483648", INT_MIN},
      {"2147483648", 0},
      {"-", 0},
      {"+", 0},
      {"+-1", 0},
      {"0x10", 0},
  };
  for (const auto& c : cases) {
    ErrorResult result(503, c.code_text, "reason");
    const NexoError error(result);
    EXPECT_EQ(error.code, c.code) << "code text \"" << c.code_text << "\"";
    EXPECT_EQ(error.domain, 1);
  }
}

TEST(NexoErrorTest, FromErrorResultCopiesTheSameNamedTextsButNotTheStatus) {
  ErrorResult result(500, "-11", "the reason");
  result.set_scope("AppNet");
  result.set_developer_message("unpackb_exception");
  result.set_more_info("more");
  const NexoError error(result);
  EXPECT_EQ(error.domain, 1);
  EXPECT_EQ(error.code, -11);
  EXPECT_EQ(error.reason, "the reason");
  EXPECT_EQ(error.scope, "AppNet");
  EXPECT_EQ(error.developer_message, "unpackb_exception");
  EXPECT_EQ(error.more_info, "more");
}

}  // namespace
