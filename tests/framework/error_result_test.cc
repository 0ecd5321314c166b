// The error record's text form, the error-code names and the conversion into the host's error.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "tessel/base/error_code.h"
#include "tessel/base/error_result.h"
#include "vanta/nexo/nexo_error.h"

namespace {

using tessel::base::ErrorResult;
using vanta::nexo::NexoError;

TEST(ErrorResultTest, TextShowsFiveFieldsInOrderAndHidesTheRest) {
  EXPECT_EQ(ErrorResult().ToString(), "(status=0, scope=, code=, reason=, developMessage=)");
  ErrorResult error(-2147483647 - 1, "-11", "bad body");
  error.set_scope("AppNet");
  error.set_developer_message("unpackb_exception");
  error.set_more_info("not shown");
  error.set_local_error(true);
  EXPECT_EQ(error.ToString(),
            "(status=-2147483648, scope=AppNet, code=-11, reason=bad body, "
            "developMessage=unpackb_exception)");
}

TEST(ErrorCodeNameTest, EveryCodeAndTheGaps) {
  // clang-format off
  const char* names[] = {"no_error", "invalid_param", "invalid_operation", "timeout",
      "network_broken_error", "no_auth_token", "no_connect", "is_authing", "is_authed",
      "token_is_empty", "unkown_error", "unpackb_exception", "code_reason_not_set", "",
      "send_request_error", "network_unavailable_error", "network_timeout_error", ""};
  // clang-format on
  for (int i = 0; i < static_cast<int>(std::size(names)); ++i) {
    EXPECT_EQ(tessel::base::ErrorCodeName(-i), names[i]) << "code " << -i;
  }
  for (int code : {1, 200, INT_MIN, INT_MAX}) EXPECT_EQ(tessel::base::ErrorCodeName(code), "");
}

TEST(NexoErrorTest, TakesTheTextsAndParsesTheWholeCodeTextOrKeepsZero) {
  // clang-format off
  const struct { const char* text; int32_t code; } cases[] = {
      {"-11", -11}, {"+7", 7}, {"abc", 0}, {"", 0}, {"12abc", 0}, {" 12", 0}, {"12 ", 0},
      {"2147483647", INT_MAX}, {"-2147483648", INT_MIN}, {"2147483648", 0}, {"+-1", 0},
      {"0x10", 0}};
  // clang-format on
  for (const auto& c : cases) {
    EXPECT_EQ(NexoError(ErrorResult(503, c.text, "r")).code, c.code) << '"' << c.text << '"';
  }
  ErrorResult result(500, "-11", "the reason");
  result.set_scope("AppNet");
  result.set_developer_message("unpackb_exception");
  result.set_more_info("more");
  const NexoError error(result);
  EXPECT_EQ(error.domain, 1);
  EXPECT_EQ(error.reason, "the reason");
  EXPECT_EQ(error.scope, "AppNet");
  EXPECT_EQ(error.developer_message, "unpackb_exception");
  EXPECT_EQ(error.more_info, "more");
}

}  // namespace
