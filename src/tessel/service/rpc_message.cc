#include "tessel/service/rpc_message.h"

#include "../base/header_map_ops.h"

namespace tessel {
namespace service {

BaseMessage::BaseMessage() = default;
BaseMessage::BaseMessage(const BaseMessage& other) = default;
BaseMessage& BaseMessage::operator=(const BaseMessage& other) = default;
BaseMessage::~BaseMessage() = default;

RpcMessage::RpcMessage() = default;
RpcMessage::RpcMessage(const RpcMessage& other) = default;
RpcMessage& RpcMessage::operator=(const RpcMessage& other) = default;
RpcMessage::~RpcMessage() = default;

std::string RpcMessage::startline() const {
  return startline_;
}

void RpcMessage::set_startline(const std::string& startline) {
  startline_ = startline;
}

bool RpcMessage::HasHeader(const std::string& key) const {
  return internal::HasHeader(headers_, key);
}

std::string RpcMessage::GetHeader(const std::string& key) const {
  return internal::FirstHeader(headers_, key);
}

void RpcMessage::AddHeader(const std::string& key, const std::string& value) {
  internal::AddHeader(&headers_, key, value);
}

void RpcMessage::SetHeader(const std::string& key, const std::string& value) {
  headers_.erase(key);
  AddHeader(key, value);
}

void RpcMessage::RemoveHeader(const std::string& key) {
  headers_.erase(key);
}

std::set<std::string> RpcMessage::HeaderKeys() const {
  return internal::HeaderKeys(headers_);
}

std::vector<std::string> RpcMessage::GetHeaders(const std::string& key) const {
  return internal::AllHeaders(headers_, key);
}

const HeaderMap& RpcMessage::headers() const {
  return headers_;
}

void RpcMessage::set_headers(const HeaderMap& headers) {
  headers_ = headers;
}

void RpcMessage::set_body(const std::string& body) {
  body_ = body;
}

RpcRequest::RpcRequest() = default;
RpcRequest::RpcRequest(const RpcRequest& other) = default;
RpcRequest& RpcRequest::operator=(const RpcRequest& other) = default;
RpcRequest::~RpcRequest() = default;

std::string RpcRequest::uri() const {
  return uri_;
}

void RpcRequest::set_uri(const std::string& uri) {
  uri_ = uri;
}

RpcResponse::RpcResponse() = default;
RpcResponse::RpcResponse(const RpcResponse& other) = default;
RpcResponse& RpcResponse::operator=(const RpcResponse& other) = default;
RpcResponse::~RpcResponse() = default;

int32_t RpcResponse::code() const {
  return code_;
}

void RpcResponse::set_code(int32_t code) {
  code_ = code;
}

const base::ErrorResult& RpcResponse::local_error_result() const {
  return local_error_result_;
}

void RpcResponse::set_local_error_result(const base::ErrorResult& error) {
  local_error_result_ = error;
}

}  // namespace service
}  // namespace tessel
