// Generic RPC message records exported for hosts. The module itself exchanges
// tessel::mlink::Message and Request with the engine; these are the protocol-neutral shapes a
// host may build on.
//
// Plain values: copyable, no locks; one thread at a time uses a given object. The order of the
// virtual functions is part of the exported interface.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tessel/base/error_result.h"
#include "tessel/base/export.h"

namespace tessel {
namespace service {

using HeaderMap = std::multimap<std::string, std::string>;

class TESSEL_EXPORT BaseMessage {
 public:
  BaseMessage();
  BaseMessage(const BaseMessage& other);
  BaseMessage& operator=(const BaseMessage& other);
  virtual ~BaseMessage();
};

class TESSEL_EXPORT RpcMessage : public BaseMessage {
 public:
  RpcMessage();
  RpcMessage(const RpcMessage& other);
  RpcMessage& operator=(const RpcMessage& other);
  ~RpcMessage() override;

  virtual std::string startline() const;
  virtual void set_startline(const std::string& startline);
  virtual bool HasHeader(const std::string& key) const;
  // The first value stored under `key`, or "" when there is none.
  virtual std::string GetHeader(const std::string& key) const;
  // An empty value is ignored.
  virtual void AddHeader(const std::string& key, const std::string& value);
  // Removes every value of `key`, then adds `value` (which may then be ignored when empty).
  virtual void SetHeader(const std::string& key, const std::string& value);
  virtual void RemoveHeader(const std::string& key);
  virtual std::set<std::string> HeaderKeys() const;
  virtual std::vector<std::string> GetHeaders(const std::string& key) const;
  virtual const HeaderMap& headers() const;
  virtual void set_headers(const HeaderMap& headers);

  const std::string& body() const { return body_; }
  void set_body(const std::string& body);

 private:
  std::string startline_;
  HeaderMap headers_;
  std::string body_;
};

class TESSEL_EXPORT RpcRequest : public RpcMessage {
 public:
  RpcRequest();
  RpcRequest(const RpcRequest& other);
  RpcRequest& operator=(const RpcRequest& other);
  ~RpcRequest() override;

  virtual std::string uri() const;
  virtual void set_uri(const std::string& uri);

 private:
  std::string uri_;
};

class TESSEL_EXPORT RpcResponse : public RpcMessage {
 public:
  RpcResponse();
  RpcResponse(const RpcResponse& other);
  RpcResponse& operator=(const RpcResponse& other);
  ~RpcResponse() override;

  int32_t code() const;
  void set_code(int32_t code);
  const base::ErrorResult& local_error_result() const;
  void set_local_error_result(const base::ErrorResult& error);

 private:
  int32_t code_ = 0;
  base::ErrorResult local_error_result_;
};

}  // namespace service
}  // namespace tessel
