// Typed codec of the adaptor bodies, the operation table and the JSON rendering of bodies.
#include "rtc_sim/codec.h"

#include <cstdio>
#include <cstdlib>
#include <unordered_map>

#include "json_writer.h"
#include "operations.h"
#include "tessel/idl/model_macros.h"

namespace rtc_sim {
namespace detail {

const std::vector<Operation>& Operations() {
  static const std::vector<Operation> operations = [] {
    std::vector<Operation> ops;
#define RTC_SIM_RTC_OP(Op, REQ, RSP, suffix, failure, missing)                                 \
  ops.push_back(Operation{ops.size(), std::string(kRtcUriPrefix) + suffix, suffix, "RtcMlink", \
                          &RenderBody<::rtc::Op##ReqModel>, &RenderBody<::rtc::Op##RspModel>});
#define RTC_SIM_CLASS_OP(Op, REQ, RSP, suffix, failure)                                   \
  ops.push_back(Operation{ops.size(), std::string(kClassSceneUriPrefix) + suffix, suffix, \
                          "ClassScene", &RenderBody<::classScene::Op##ReqModel>,          \
                          &RenderBody<::classScene::Op##RspModel>});
    VANTA_RTC_OPERATIONS(RTC_SIM_RTC_OP)
    VANTA_SCENECLASS_OPERATIONS(RTC_SIM_CLASS_OP)
#undef RTC_SIM_RTC_OP
#undef RTC_SIM_CLASS_OP
    return ops;
  }();
  return operations;
}

const Operation* FindOperation(const std::string& uri) {
  static const std::unordered_map<std::string, const Operation*> by_uri = [] {
    std::unordered_map<std::string, const Operation*> map;
    for (const Operation& op : Operations()) map.emplace(op.uri, &op);
    return map;
  }();
  auto it = by_uri.find(uri);
  return it == by_uri.end() ? nullptr : it->second;
}

void WriteFloat(JsonWriter& w, float f) {
  char text[32];
  for (int precision = 6; precision <= 9; ++precision) {
    std::snprintf(text, sizeof text, "%.*g", precision, static_cast<double>(f));
    if (std::strtof(text, nullptr) == f) break;
  }
  w.Double(std::strtod(text, nullptr));
}

}  // namespace detail

const std::vector<std::string>& AdaptorUris() {
  static const std::vector<std::string> uris = [] {
    std::vector<std::string> all;
    for (const detail::Operation& op : detail::Operations()) all.push_back(op.uri);
    return all;
  }();
  return uris;
}

std::string ResolveUri(const std::string& uri_or_suffix) {
  if (detail::FindOperation(uri_or_suffix) != nullptr) return uri_or_suffix;
  for (const detail::Operation& op : detail::Operations()) {
    if (uri_or_suffix == op.suffix) return op.uri;
  }
  return {};
}

#define RTC_SIM_DEFINE_CODEC(Ns, ModelNs, Op)                \
  std::string Encode(const Ns::Op##Req& record) {            \
    return tessel::idl::Packb(tessel::idl::ToModel(record)); \
  }                                                          \
  std::string Encode(const Ns::Op##Rsp& record) {            \
    return tessel::idl::Packb(tessel::idl::ToModel(record)); \
  }                                                          \
  bool Decode(const std::string& body, Ns::Op##Req* out) {   \
    ::ModelNs::Op##ReqModel model;                           \
    const bool ok = model.Unpackb(body, nullptr);            \
    *out = tessel::idl::ToRecord(model);                     \
    return ok;                                               \
  }                                                          \
  bool Decode(const std::string& body, Ns::Op##Rsp* out) {   \
    ::ModelNs::Op##RspModel model;                           \
    const bool ok = model.Unpackb(body, nullptr);            \
    *out = tessel::idl::ToRecord(model);                     \
    return ok;                                               \
  }
#define X RTC_SIM_DEFINE_CODEC
RTC_SIM_FOR_EACH_OPERATION()
#undef X
#undef RTC_SIM_DEFINE_CODEC

std::string EncodeError(const ErrorBody& error) {
  tessel::idl::ServiceException model;
  model.code.Set(error.code);
  model.reason.Set(error.reason);
  model.developer_message.Set(error.developer_message);
  model.more_info.Set(error.more_info);
  model.scope.Set(error.scope);
  return tessel::idl::Packb(model);
}

bool DecodeError(const std::string& body, ErrorBody* out) {
  tessel::idl::ServiceException model;
  const bool ok = model.Unpackb(body, nullptr);
  *out = ErrorBody{model.code.value, model.reason.value, model.developer_message.value,
                   model.more_info.value, model.scope.value};
  return ok;
}

namespace {

bool Undecodable(const std::string& body, std::string* json) {
  rapidjson::StringBuffer buffer;
  detail::JsonWriter writer(buffer);
  writer.StartObject();
  writer.Key("undecodable");
  writer.String(ToHex(body).c_str());
  writer.EndObject();
  json->assign(buffer.GetString(), buffer.GetSize());
  return false;
}

}  // namespace

bool RequestJson(const std::string& uri, const std::string& body, std::string* json) {
  const detail::Operation* op = detail::FindOperation(uri);
  if (op != nullptr && op->request_json(body, json)) return true;
  return Undecodable(body, json);
}

bool AnswerJson(const std::string& uri, int32_t code, const std::string& body, std::string* json) {
  const bool success = code >= 200 && code < 300;
  if (!success && detail::RenderBody<tessel::idl::ServiceException>(body, json)) return true;
  const detail::Operation* op = detail::FindOperation(uri);
  if (success && op != nullptr && op->answer_json(body, json)) return true;
  return Undecodable(body, json);
}

std::string ToHex(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (unsigned char c : bytes) {
    hex += kDigits[c >> 4];
    hex += kDigits[c & 15];
  }
  return hex;
}

bool FromHex(const std::string& hex, std::string* bytes) {
  auto digit = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  if (hex.size() % 2 != 0) return false;
  std::string out;
  out.reserve(hex.size() / 2);
  for (size_t i = 0; i < hex.size(); i += 2) {
    const int hi = digit(hex[i]);
    const int lo = digit(hex[i + 1]);
    if (hi < 0 || lo < 0) return false;
    out += static_cast<char>(hi * 16 + lo);
  }
  *bytes = std::move(out);
  return true;
}

}  // namespace rtc_sim
