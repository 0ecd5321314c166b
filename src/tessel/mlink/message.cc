#include "tessel/mlink/message.h"

#include "../base/header_map_ops.h"

namespace tessel {
namespace mlink {

std::string MessageId::ToString() const {
  return prefix + " " + std::to_string(number);
}

Message::Message() = default;
Message::Message(const Message& other) = default;
Message& Message::operator=(const Message& other) = default;
Message::~Message() = default;

bool Message::HasHeader(const std::string& key) const {
  return internal::HasHeader(headers_, key);
}

std::string Message::GetHeader(const std::string& key) const {
  return internal::FirstHeader(headers_, key);
}

void Message::AddHeader(const std::string& key, const std::string& value) {
  internal::AddHeader(&headers_, key, value);
}

void Message::SetHeader(const std::string& key, const std::string& value) {
  if (key == "mid") return;
  headers_.erase(key);
  AddHeader(key, value);
}

void Message::RemoveHeader(const std::string& key) {
  headers_.erase(key);
}

std::set<std::string> Message::HeaderKeys() const {
  return internal::HeaderKeys(headers_);
}

std::vector<std::string> Message::GetHeaders(const std::string& key) const {
  return internal::AllHeaders(headers_, key);
}

const HeaderMap& Message::headers() const {
  return headers_;
}

void Message::set_headers(const HeaderMap& headers) {
  headers_ = headers;
}

std::string Message::startline() const {
  return std::string();
}

std::string Message::ToString() const {
  return startline() + ", mid=" + mid.ToString() + ", len=" + std::to_string(body.size());
}

}  // namespace mlink
}  // namespace tessel
