#include "tessel/mlink/request.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <random>
#include <utility>

#if defined(_WIN32)
#include <process.h>
#else
#include <unistd.h>
#endif

namespace tessel {
namespace mlink {
namespace {

unsigned long ProcessValue() {
#if defined(_WIN32)
  return static_cast<unsigned long>(_getpid());
#else
  return static_cast<unsigned long>(getpid());
#endif
}

// Distinguishes processes that happen to reuse a process id.
unsigned RandomPart() {
  static const unsigned value = [] {
    std::random_device device;
    return static_cast<unsigned>(device() & 0xffffu);
  }();
  return value;
}

std::atomic<uint32_t> g_request_counter{0};

std::string NextMidPrefix() {
  const unsigned count = g_request_counter.fetch_add(1, std::memory_order_relaxed) & 0xffffu;
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%lx_%04x%04x", ProcessValue(), RandomPart(), count);
  return buffer;
}

}  // namespace

Request::Request(std::string uri) : uri(std::move(uri)) {
  mid.prefix = NextMidPrefix();
  code = 1;
}

Request::Request(const Request& other) = default;
Request& Request::operator=(const Request& other) = default;
Request::~Request() = default;

std::string Request::startline() const {
  return "MLINK " + uri;
}

std::string Request::ToString() const {
  return uri + ", mid=" + mid.ToString() + ", len=" + std::to_string(body.size());
}

}  // namespace mlink
}  // namespace tessel
