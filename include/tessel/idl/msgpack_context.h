// The stream context of one MessagePack encode or decode, and the two buffer objects the
// module uses with it: BufferSource (decoding a body) and StringSink (encoding into a string).
//
// A context is used by one thread at a time. Nothing here throws: every failure is a false
// result, and `error` says which kind of failure stopped the stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tessel {
namespace idl {

enum MsgpackErrorKind : uint8_t {
  kMsgpackOk = 0,
  kMsgpackReadFailed = 1,    // fewer bytes left than a header or value needs
  kMsgpackWriteFailed = 2,   // the sink refused bytes
  kMsgpackTypeMismatch = 3,  // a value of a type the target does not accept
  kMsgpackInvalid = 4,       // 0xc1, a key of 0 or below, or a value that cannot be skipped
};

struct MsgpackContext;

// Delivers exactly `n` bytes into `dst` and returns true, or returns false and delivers nothing.
using MsgpackReadFn = bool (*)(MsgpackContext* ctx, void* dst, size_t n);
// Consumes up to `n` bytes and returns how many it took.
using MsgpackWriteFn = size_t (*)(MsgpackContext* ctx, const void* src, size_t n);

struct MsgpackContext {
  uint8_t error = kMsgpackOk;
  void* buffer = nullptr;
  MsgpackReadFn read = nullptr;
  MsgpackWriteFn write = nullptr;
};

// A body being decoded. The data must outlive the context; nothing is copied up front.
struct BufferSource {
  const char* data = nullptr;
  uint64_t size = 0;
  uint64_t position = 0;

  uint64_t remaining() const { return size - position; }
};

// Appends everything written to `*out`.
struct StringSink {
  std::string* out = nullptr;
};

bool BufferSourceRead(MsgpackContext* ctx, void* dst, size_t n);
size_t StringSinkWrite(MsgpackContext* ctx, const void* src, size_t n);

inline MsgpackContext MakeReadContext(BufferSource* source) {
  MsgpackContext ctx;
  ctx.buffer = source;
  ctx.read = &BufferSourceRead;
  return ctx;
}

inline MsgpackContext MakeWriteContext(StringSink* sink) {
  MsgpackContext ctx;
  ctx.buffer = sink;
  ctx.write = &StringSinkWrite;
  return ctx;
}

}  // namespace idl
}  // namespace tessel
