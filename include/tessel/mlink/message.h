// Messages of the mlink protocol, shared between the module and the messaging engine: a request
// travels from the module to the engine, a response comes back to the request's context.
//
// Plain values without locks: one thread at a time uses a given object. The order of the virtual
// functions is shared with the engine and must not change.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tessel/base/error_result.h"
#include "tessel/base/trace_context.h"

namespace tessel {
namespace mlink {

using HeaderMap = std::multimap<std::string, std::string>;

// Identity of a request; a response carries the mid of its request.
struct MessageId {
  std::string prefix;
  uint64_t number = 0;

  // prefix, one blank, number in decimal: "3e8_9a2b0001 0".
  std::string ToString() const;
};

class Message {
 public:
  Message();
  Message(const Message& other);
  Message& operator=(const Message& other);
  virtual ~Message();

  virtual bool HasHeader(const std::string& key) const;
  // The first value of `key`, or "" when there is none.
  virtual std::string GetHeader(const std::string& key) const;
  // An empty value adds nothing.
  virtual void AddHeader(const std::string& key, const std::string& value);
  // Replaces every value of `key` (through AddHeader, so an empty value removes the key). The
  // key "mid" is owned by the engine and left untouched.
  virtual void SetHeader(const std::string& key, const std::string& value);
  virtual void RemoveHeader(const std::string& key);
  virtual std::set<std::string> HeaderKeys() const;
  virtual std::vector<std::string> GetHeaders(const std::string& key) const;
  virtual const HeaderMap& headers() const;
  virtual void set_headers(const HeaderMap& headers);
  // Empty for a plain message.
  virtual std::string startline() const;
  // startline + ", mid=" + mid + ", len=" + body length.
  virtual std::string ToString() const;

  MessageId mid;
  std::string body;
  // A response's outcome (-1: failed locally, see local_error_result). A request has 1, its
  // site id.
  int32_t code = 0;
  base::ErrorResult local_error_result;
  base::TraceContext trace_context;

 private:
  HeaderMap headers_;
};

}  // namespace mlink
}  // namespace tessel
