// A request to a server-side adaptor, addressed by its uri.
//
// Each request gets a process-unique mid prefix at construction: the process id in hex, "_",
// a random 16-bit value chosen once per process and a 16-bit counter, four hex digits each. The
// counter is atomic, so requests may be built on any thread.
#pragma once

#include <memory>
#include <string>

#include "tessel/mlink/message.h"

namespace tessel {
namespace mlink {

class RequestContext;

class Request : public Message {
 public:
  explicit Request(std::string uri);
  Request(const Request& other);
  Request& operator=(const Request& other);
  ~Request() override;

  // "MLINK " + uri.
  std::string startline() const override;
  // uri + ", mid=" + mid + ", len=" + body length.
  std::string ToString() const override;

  std::string uri;
  // The receiver of the outcome, when the engine chooses to keep it with the request.
  std::shared_ptr<RequestContext> context;
};

}  // namespace mlink
}  // namespace tessel
