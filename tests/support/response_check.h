// The response-handler check shared by the fuzz target and the corpus replay test: drives the
// handler of every adaptor response model with an arbitrary answer (success and failure
// notifications, server error bodies and local failures, every logger set-up) and checks that
// exactly one callback runs (none when the chosen one is empty), that it gets what an
// independent decode of the body says it should, and that the framework's log lines match.
//
// Input: byte 0 picks the response model (operation tables, in order), byte 1 the way it is
// answered (bits 0-1 outcome, 2-3 logger, 4 and 5 empty success / failure callback), bytes 2-3
// the response code of a failure, the rest is the body (for a local failure: the error's
// reason, developer message and scope, split at the first two 0x00 bytes).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "classScene/class_scene_models.h"
#include "rtc/rtc_models.h"
#include "tessel/idl/request_handler.h"
#include "tessel/idl/service_exception.h"
#include "tessel/mlink/log_registry.h"

namespace fuzz_check {
namespace response_detail {

using tessel::base::ErrorResult;

enum Outcome { kSuccess, kSuccessAcceptUndecodable, kServerFailure, kLocalFailure };

struct Line {
  int level;
  std::string text;
};

class CollectingSink : public tessel::mlink::LogSink {
 public:
  void Write(int level, int64_t, int32_t, const std::string&, int, const std::string&,
             const std::string& text) override {
    lines.push_back({level, text});
  }
  std::vector<Line> lines;
};

// Reverses the handler's base64 (standard alphabet, "=" padding); false on anything else.
inline bool Base64Decode(const std::string& text, std::string* out) {
  static const std::string kAlphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  if (text.size() % 4 != 0) return false;
  const size_t end = text.find_last_not_of('=') + 1;
  if (text.size() - end > 2) return false;
  uint32_t bits = 0;
  int held = 0;
  for (size_t i = 0; i < end; ++i) {
    const size_t v = kAlphabet.find(text[i]);
    if (v == std::string::npos) return false;
    bits = bits << 6 | static_cast<uint32_t>(v);
    held += 6;
    if (held >= 8) {
      held -= 8;
      out->push_back(static_cast<char>(bits >> held));
      bits &= (1u << held) - 1;
    }
  }
  return true;
}

inline std::string Text(const ErrorResult& e) {
  return std::to_string(e.status()) + "|" + e.scope() + "|" + e.code() + "|" + e.reason() + "|" +
         e.developer_message() + "|" + e.more_info() + "|" + (e.local_error() ? "local" : "");
}

// What the failure callback must receive for a server failure: the error body's fields, or the
// decode-failure record when the body is not an error model.
inline std::string ExpectedServerError(int32_t code, const std::string& body) {
  tessel::idl::ServiceException body_model;
  if (!body_model.Unpackb(body, nullptr)) return "500|AppNet|-11||unpackb_exception||";
  return std::to_string(code) + "|" + body_model.scope.value + "|" + body_model.code.value + "|" +
         body_model.reason.value + "|" + body_model.developer_message.value + "|" +
         body_model.more_info.value + "|";
}

template <class RspModel>
std::string Drive(const std::string& uri, uint8_t mode, int32_t code, const std::string& body) {
  const std::string name = std::string(RspModel::QualifiedName()) + ": ";
  const auto outcome = static_cast<Outcome>(mode & 3);
  static const int kMinLevel[] = {0, 2, 4, 7};
  const int logger_kind = mode >> 2 & 3;
  const bool empty_success = mode & 0x10, empty_failure = mode & 0x20;

  int successes = 0, failures = 0;
  std::string success_bytes;
  ErrorResult failure;
  using Handler = tessel::mlink::RequestHandler<RspModel>;
  typename Handler::SuccessCallback on_success;
  typename Handler::FailureCallback on_failure;
  if (!empty_success) {
    on_success = [&](const RspModel& m) {
      ++successes;
      success_bytes = tessel::idl::Packb(m);
    };
  }
  if (!empty_failure) {
    on_failure = [&](const ErrorResult& e) {
      ++failures;
      failure = e;
    };
  }
  auto handler = std::make_shared<Handler>(on_success, on_failure);
  auto sink = std::make_shared<CollectingSink>();
  if (logger_kind != 0) {
    handler->logger = tessel::mlink::Logger({"tessel.mlink", {sink}, kMinLevel[logger_kind]});
  }
  handler->accept_undecodable = outcome == kSuccessAcceptUndecodable;

  auto request = std::make_shared<tessel::mlink::Request>(uri);
  auto response = std::make_shared<tessel::mlink::Message>();
  response->body = body;
  response->code = outcome == kLocalFailure ? -1 : outcome == kServerFailure ? code : 200;
  ErrorResult local;
  if (outcome == kLocalFailure) {
    const size_t a = body.find('\0'), b = a == std::string::npos ? a : body.find('\0', a + 1);
    local = ErrorResult(code, "local", body.substr(0, a));
    if (a != std::string::npos) local.set_developer_message(body.substr(a + 1, b - a - 1));
    if (b != std::string::npos) local.set_scope(body.substr(b + 1));
    local.set_local_error(true);
    response->local_error_result = local;
  }

  // What an independent decode says.
  RspModel reference;
  bool unknown_seen = false;
  const bool decodes = reference.Unpackb(body, &unknown_seen);
  const bool notified_success = outcome == kSuccess || outcome == kSuccessAcceptUndecodable;
  const bool expect_success = notified_success && (decodes || handler->accept_undecodable);
  std::string expected_error;
  if (!expect_success) {
    // A failure notification with code -1 is a local failure whatever the body holds.
    expected_error = notified_success       ? "500|AppNet|-11||unpackb_exception||"
                     : response->code == -1 ? Text(response->local_error_result)
                                            : ExpectedServerError(code, body);
  }

  if (notified_success) {
    handler->OnSuccess(request, response);
  } else {
    handler->OnFailure(request, response);
  }

  if (successes + failures > 1) return name + "more than one callback";
  if (expect_success) {
    if (failures != 0) return name + "failure callback for a body that decodes";
    if (successes != (empty_success ? 0 : 1)) return name + "no success callback";
    if (!empty_success && success_bytes != tessel::idl::Packb(reference)) {
      return name + "success callback got another model than the body holds";
    }
    if (handler->decode_status != 0) return name + "decode status set on success";
  } else {
    if (successes != 0) return name + "success callback for a failure";
    if (failures != (empty_failure ? 0 : 1)) return name + "no failure callback";
    if (!empty_failure && Text(failure) != expected_error) {
      return name + "failure callback got " + Text(failure) + ", expected " + expected_error;
    }
    if (Text(handler->error_result) != expected_error) return name + "stored error differs";
    if (notified_success && handler->decode_status != -1) return name + "decode status not -1";
  }
  if (notified_success && handler->unknown_seen != unknown_seen) {
    return name + "unknown-key flag differs";
  }

  // The lines each path writes, by the logger's minimum level (none without a sink).
  const int min = logger_kind == 0 ? 99 : kMinLevel[logger_kind];
  const std::string prefix = "tessel.mlink| [idl] ";
  std::vector<std::string> expected;
  if (expect_success && !empty_success && min <= 2) {
    expected.push_back("2 " + prefix + "success, uri=" + uri);
  }
  if (notified_success && !expect_success) {
    if (min <= 2) expected.push_back("6 " + prefix + "unpackb response.body failed, uri=" + uri);
    if (min > 2 && min <= 6) {
      expected.push_back("6 " + prefix + "unpackb response.body failed, uri=" + uri +
                         ", body.size=" + std::to_string(body.size()));
    }
    if (min <= 3) expected.push_back("3 " + prefix + "unpackb_exception, uri=" + uri);
  }
  if (!notified_success && min <= 3) {
    expected.push_back("3 " + prefix + "service_exception, uri=" + uri);
  }
  if (sink->lines.size() != expected.size()) return name + "wrong number of log lines";
  for (size_t i = 0; i < expected.size(); ++i) {
    const Line& line = sink->lines[i];
    const std::string got = std::to_string(line.level) + " " + line.text;
    if (got.compare(0, expected[i].size(), expected[i]) != 0) return name + "log line: " + got;
  }
  // With a minimum level of 2 the decode failure's first line carries the whole body.
  if (notified_success && !expect_success && min <= 2) {
    const std::string rest = sink->lines[0].text.substr(expected[0].size() - 2);
    const std::string marker = ", body-base64=";
    std::string decoded;
    if (rest.compare(0, marker.size(), marker) != 0 ||
        !Base64Decode(rest.substr(marker.size()), &decoded) || decoded != body) {
      return name + "body-base64 does not give the body back";
    }
  }
  return "";
}

using Driver = std::string (*)(const std::string&, uint8_t, int32_t, const std::string&);
struct Row {
  Driver drive;
  const char* uri;
};

#define RESPONSE_FUZZ_RTC_ROW(Op, REQ, RSP, uri, ...) \
  {&Drive<::rtc::Op##RspModel>, "/r/Adaptor/RtcMlink/" uri},
#define RESPONSE_FUZZ_SCENE_ROW(Op, REQ, RSP, uri, ...) \
  {&Drive<::classScene::Op##RspModel>, "/r/Adaptor/ClassScene/" uri},
inline const Row kRows[] = {VANTA_RTC_OPERATIONS(RESPONSE_FUZZ_RTC_ROW)
                                VANTA_SCENECLASS_OPERATIONS(RESPONSE_FUZZ_SCENE_ROW)};
#undef RESPONSE_FUZZ_RTC_ROW
#undef RESPONSE_FUZZ_SCENE_ROW

}  // namespace response_detail

// The whole check of one input; "" when every rule held, otherwise what broke.
inline std::string CheckResponseHandling(const uint8_t* data, size_t size) {
  using response_detail::kRows;
  if (size < 4) return "";
  const response_detail::Row& row = kRows[data[0] % (sizeof(kRows) / sizeof(kRows[0]))];
  const int32_t code = static_cast<int16_t>(data[2] << 8 | data[3]);
  return row.drive(row.uri, data[1], code,
                   std::string(reinterpret_cast<const char*>(data) + 4, size - 4));
}

}  // namespace fuzz_check
