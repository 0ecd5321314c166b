// The stream context of one MessagePack encode or decode, and the two buffer objects the
// module uses with it: BufferSource (decoding a body) and StringSink (encoding into a string).
//
// A context is used by one thread at a time. Nothing here throws: every failure is a false
// result, and `error` says which kind of failure stopped the stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The codec's hot helpers are small and called per field; the compiler's size heuristics would
// otherwise leave them as calls. Rare paths are kept out of the hot ones.
#if defined(__GNUC__) || defined(__clang__)
#define TESSEL_INLINE inline __attribute__((always_inline))
#define TESSEL_FLATTEN __attribute__((flatten))
#define TESSEL_NOINLINE __attribute__((noinline))
#else
#define TESSEL_INLINE inline
#define TESSEL_FLATTEN
#define TESSEL_NOINLINE
#endif

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

// Writes straight into the storage of `*out`, which it grows geometrically ahead of the bytes
// written; `used` counts the bytes that are real. Whoever made the sink trims `*out` to `used`
// when done (Packb does). The writers fill it without a call per byte run.
struct BufferSink {
  std::string* out = nullptr;
  size_t used = 0;

  // Room for `n` more bytes; the pointer is valid until the next Reserve.
  TESSEL_INLINE char* Reserve(size_t n) {
    if (out->size() - used < n) Grow(n);
    return &(*out)[used];
  }
  void Grow(size_t n);
};

bool BufferSourceRead(MsgpackContext* ctx, void* dst, size_t n);
size_t StringSinkWrite(MsgpackContext* ctx, const void* src, size_t n);
size_t BufferSinkWrite(MsgpackContext* ctx, const void* src, size_t n);

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

inline MsgpackContext MakeWriteContext(BufferSink* sink) {
  MsgpackContext ctx;
  ctx.buffer = sink;
  ctx.write = &BufferSinkWrite;
  return ctx;
}

}  // namespace idl
}  // namespace tessel
