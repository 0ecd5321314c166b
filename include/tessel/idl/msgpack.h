// MessagePack primitives used by the model values. Writers produce only the forms the adaptors
// expect: the smallest integer form, 0xa0/0xda/0xdb string headers (never 0xd9), float32 for
// `float`, and no nil. Readers take one object header at a time and apply each target type's
// acceptance rules; they never allocate more than the bytes actually left in a BufferSource
// can back, and never form a pointer past its end.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "tessel/idl/msgpack_context.h"

namespace tessel {
namespace idl {
namespace msgpack {

// ---- writing --------------------------------------------------------------------------------

namespace detail {
// Any sink, through the context's write callback.
bool WriteMapHeaderGeneric(MsgpackContext* ctx, uint32_t n);
bool WriteArrayHeaderGeneric(MsgpackContext* ctx, uint32_t n);
bool WriteIntGeneric(MsgpackContext* ctx, int64_t v);
bool WriteBoolGeneric(MsgpackContext* ctx, bool v);
bool WriteFloatGeneric(MsgpackContext* ctx, float v);
bool WriteStringGeneric(MsgpackContext* ctx, const std::string& s);

TESSEL_INLINE BufferSink* FastSink(MsgpackContext* ctx) {
  return ctx->write == &BufferSinkWrite ? static_cast<BufferSink*>(ctx->buffer) : nullptr;
}

TESSEL_INLINE char* PutBe16(char* p, uint32_t v) {
  p[0] = static_cast<char>(v >> 8);
  p[1] = static_cast<char>(v);
  return p + 2;
}

TESSEL_INLINE char* PutBe32(char* p, uint32_t v) {
  p[0] = static_cast<char>(v >> 24);
  p[1] = static_cast<char>(v >> 16);
  p[2] = static_cast<char>(v >> 8);
  p[3] = static_cast<char>(v);
  return p + 4;
}

TESSEL_INLINE char* PutBe64(char* p, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<char>(v >> (56 - 8 * i));
  return p + 8;
}

// The smallest integer form; returns the end of what was written (at most 9 bytes).
TESSEL_INLINE char* PutInt(char* p, int64_t v) {
  if (v >= 0) {
    const uint64_t u = static_cast<uint64_t>(v);
    if (u <= 0x7f) {
      *p = static_cast<char>(u);
      return p + 1;
    }
    if (u < 0x100) {
      p[0] = static_cast<char>(0xcc);
      p[1] = static_cast<char>(u);
      return p + 2;
    }
    if (u < 0x10000) {
      *p = static_cast<char>(0xcd);
      return PutBe16(p + 1, static_cast<uint32_t>(u));
    }
    if (u < 0x100000000ull) {
      *p = static_cast<char>(0xce);
      return PutBe32(p + 1, static_cast<uint32_t>(u));
    }
    *p = static_cast<char>(0xcf);
    return PutBe64(p + 1, u);
  }
  if (v >= -32) {
    *p = static_cast<char>(static_cast<int8_t>(v));
    return p + 1;
  }
  if (v >= -128) {
    p[0] = static_cast<char>(0xd0);
    p[1] = static_cast<char>(static_cast<int8_t>(v));
    return p + 2;
  }
  if (v >= -32768) {
    *p = static_cast<char>(0xd1);
    return PutBe16(p + 1, static_cast<uint16_t>(static_cast<int16_t>(v)));
  }
  if (v >= INT64_C(-2147483648)) {
    *p = static_cast<char>(0xd2);
    return PutBe32(p + 1, static_cast<uint32_t>(static_cast<int32_t>(v)));
  }
  *p = static_cast<char>(0xd3);
  return PutBe64(p + 1, static_cast<uint64_t>(v));
}

TESSEL_INLINE char* PutContainerHeader(char* p, uint32_t n, uint8_t fix, uint8_t m16, uint8_t m32) {
  if (n < 16) {
    *p = static_cast<char>(fix + n);
    return p + 1;
  }
  if (n <= 0xFFFF) {
    *p = static_cast<char>(m16);
    return PutBe16(p + 1, n);
  }
  *p = static_cast<char>(m32);
  return PutBe32(p + 1, n);
}

// Encoded sizes, so that a sink reserves exactly what a value takes.
TESSEL_INLINE size_t IntSize(int64_t v) {
  if (v >= 0) {
    const uint64_t u = static_cast<uint64_t>(v);
    return u <= 0x7f ? 1 : u < 0x100 ? 2 : u < 0x10000 ? 3 : u < 0x100000000ull ? 5 : 9;
  }
  return v >= -32 ? 1 : v >= -128 ? 2 : v >= -32768 ? 3 : v >= INT64_C(-2147483648) ? 5 : 9;
}
TESSEL_INLINE size_t ContainerHeaderSize(uint32_t n) {
  return n < 16 ? 1 : n <= 0xFFFF ? 3 : 5;
}
TESSEL_INLINE size_t StringHeaderSize(size_t n) {
  return n < 32 ? 1 : n < 65536 ? 3 : 5;
}

TESSEL_INLINE void Commit(BufferSink* sink, const char* begin, const char* end) {
  sink->used += static_cast<size_t>(end - begin);
}
}  // namespace detail

TESSEL_INLINE bool WriteMapHeader(MsgpackContext* ctx, uint32_t n) {
  if (BufferSink* sink = detail::FastSink(ctx)) {
    char* p = sink->Reserve(detail::ContainerHeaderSize(n));
    detail::Commit(sink, p, detail::PutContainerHeader(p, n, 0x80, 0xde, 0xdf));
    return true;
  }
  return detail::WriteMapHeaderGeneric(ctx, n);
}

TESSEL_INLINE bool WriteArrayHeader(MsgpackContext* ctx, uint32_t n) {
  if (BufferSink* sink = detail::FastSink(ctx)) {
    char* p = sink->Reserve(detail::ContainerHeaderSize(n));
    detail::Commit(sink, p, detail::PutContainerHeader(p, n, 0x90, 0xdc, 0xdd));
    return true;
  }
  return detail::WriteArrayHeaderGeneric(ctx, n);
}

TESSEL_INLINE bool WriteInt(MsgpackContext* ctx, int64_t v) {
  if (BufferSink* sink = detail::FastSink(ctx)) {
    char* p = sink->Reserve(detail::IntSize(v));
    detail::Commit(sink, p, detail::PutInt(p, v));
    return true;
  }
  return detail::WriteIntGeneric(ctx, v);
}

TESSEL_INLINE bool WriteBool(MsgpackContext* ctx, bool v) {
  if (BufferSink* sink = detail::FastSink(ctx)) {
    *sink->Reserve(1) = static_cast<char>(v ? 0xc3 : 0xc2);
    sink->used += 1;
    return true;
  }
  return detail::WriteBoolGeneric(ctx, v);
}

TESSEL_INLINE bool WriteFloat(MsgpackContext* ctx, float v) {
  if (BufferSink* sink = detail::FastSink(ctx)) {
    uint32_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    char* p = sink->Reserve(5);
    *p = static_cast<char>(0xca);
    detail::Commit(sink, p, detail::PutBe32(p + 1, bits));
    return true;
  }
  return detail::WriteFloatGeneric(ctx, v);
}

// length < 32: 0xa0 + length; < 65536: 0xda + 16 bits; else 0xdb + 32 bits. Never 0xd9.
TESSEL_INLINE bool WriteString(MsgpackContext* ctx, const std::string& s) {
  BufferSink* sink = detail::FastSink(ctx);
  const size_t n = s.size();
  if (sink == nullptr || n > 0xFFFFFFFFu) return detail::WriteStringGeneric(ctx, s);
  char* p = sink->Reserve(detail::StringHeaderSize(n) + n);
  char* q;
  if (n < 32) {
    *p = static_cast<char>(0xa0 + n);
    q = p + 1;
  } else if (n < 65536) {
    *p = static_cast<char>(0xda);
    q = detail::PutBe16(p + 1, static_cast<uint32_t>(n));
  } else {
    *p = static_cast<char>(0xdb);
    q = detail::PutBe32(p + 1, static_cast<uint32_t>(n));
  }
  if (n != 0) std::memcpy(q, s.data(), n);
  detail::Commit(sink, p, q + n);
  return true;
}

// ---- reading --------------------------------------------------------------------------------

enum class Kind : uint8_t {
  kNil,
  kBool,
  kUint,  // positive fixint, uint8/16/32/64
  kInt,   // negative fixint, int8/16/32/64
  kFloat32,
  kFloat64,
  kStr,
  kBin,
  kArray,
  kMap,
  kExt,
};

// One object header. For strings, bins and exts `length` is the payload size still to be read;
// for arrays and maps it is the element count. Scalars are complete after the header.
struct Header {
  Kind kind = Kind::kNil;
  uint8_t marker = 0;
  bool boolean = false;
  uint64_t uint_value = 0;
  int64_t int_value = 0;
  float f32 = 0;
  double f64 = 0;
  uint32_t length = 0;
};

// Reads one header (and the fixed-width payload of scalars). Fails on 0xc1 and on truncation.
bool ReadHeader(MsgpackContext* ctx, Header* h);

// Interpretations of a header that was already read; each returns false when the header is not
// one of the forms the target accepts.
bool HeaderToInt32(const Header& h, int* out);
bool HeaderToInt64(const Header& h, int64_t* out);

// Reads `h.length` string bytes into `out` (replacing its contents). Fails, without allocating,
// when the source holds fewer bytes than declared.
bool ReadStringPayload(MsgpackContext* ctx, const Header& h, std::string* out);

// Skips one complete value, however deeply nested, without recursion. Bin and ext values
// cannot be skipped and fail.
bool SkipValue(MsgpackContext* ctx);
// Skips the rest of a value whose header was already read.
bool SkipAfterHeader(MsgpackContext* ctx, const Header& h);

// An upper bound for reserving `count` elements: never more than the bytes left in a
// BufferSource could encode (one byte per element at least), so a lying header cannot make
// us allocate.
uint32_t ReservableElements(MsgpackContext* ctx, uint32_t count);

}  // namespace msgpack
}  // namespace idl
}  // namespace tessel
