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

// ---- writing into memory --------------------------------------------------------------------
//
// The Put writers pick a value's form by arithmetic instead of branches: field values and
// string lengths are data that the branch predictor cannot learn, and a wrong guess costs more
// than the few instructions of a selection. Each assembles a value's bytes in one word, stores
// the whole word and returns the end of the real bytes. A store may reach up to kOverstore bytes
// past the value's largest encoding; the bytes after the real ones are scratch that the next
// write covers, so a buffer holds the largest encodings of its values plus kOverstore.
constexpr size_t kOverstore = 16;
// Largest encodings (marker included).
constexpr size_t kMaxIntSize = 9;
constexpr size_t kMaxHeaderSize = 5;

#if defined(__GNUC__) || defined(__clang__)
TESSEL_INLINE uint32_t Bswap16(uint32_t v) {
  return __builtin_bswap16(static_cast<uint16_t>(v));
}
TESSEL_INLINE uint32_t Bswap32(uint32_t v) {
  return __builtin_bswap32(v);
}
TESSEL_INLINE uint64_t Bswap64(uint64_t v) {
  return __builtin_bswap64(v);
}
#else
TESSEL_INLINE uint32_t Bswap16(uint32_t v) {
  return ((v & 0xff) << 8) | ((v >> 8) & 0xff);
}
TESSEL_INLINE uint32_t Bswap32(uint32_t v) {
  return (v << 24) | ((v & 0xff00) << 8) | ((v >> 8) & 0xff00) | (v >> 24);
}
TESSEL_INLINE uint64_t Bswap64(uint64_t v) {
  return (uint64_t{Bswap32(static_cast<uint32_t>(v))} << 32) |
         Bswap32(static_cast<uint32_t>(v >> 32));
}
#endif

// Stores the low `bytes` bytes of `w`, lowest first: words are assembled in wire order.
template <size_t bytes>
TESSEL_INLINE void StoreWire(char* p, uint64_t w) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  std::memcpy(p, &w, bytes);
#else
  for (size_t i = 0; i < bytes; ++i) p[i] = static_cast<char>(w >> (8 * i));
#endif
}

// `n` when `c`, else 0.
TESSEL_INLINE size_t SizeIf(size_t n, bool c) {
  return n & (0 - static_cast<size_t>(c));
}

// `a` when `c`, else `b`. Written as a mask: compilers turn a conditional expression into a
// branch when they guess it predictable, and these conditions are data.
template <typename T>
TESSEL_INLINE T Select(bool c, T a, T b) {
  return b ^ ((a ^ b) & (T{0} - static_cast<T>(c)));
}

// The header of a container of `n` entries: `fix | n` below 16, else `m16` with 16 bits, else
// `m16 + 1` with 32 bits (0xdc and 0xdd for arrays, 0xde and 0xdf for maps). List lengths and
// field counts repeat from body to body; a branch on them is learnt.
TESSEL_INLINE char* PutContainerHeader(char* p, uint32_t n, uint32_t fix, uint32_t m16) {
  if (n < 16) {
    *p = static_cast<char>(fix | n);
    return p + 1;
  }
  if (n <= 0xFFFF) {
    StoreWire<4>(p, m16 | (uint64_t{Bswap16(n)} << 8));
    return p + 3;
  }
  StoreWire<8>(p, (m16 + 1) | (uint64_t{Bswap32(n)} << 8));
  return p + 5;
}

// The index of the highest set bit of `x` (0 for 0 and 1).
TESSEL_INLINE uint32_t HighBit(uint64_t x) {
#if defined(__GNUC__) || defined(__clang__)
  return 63u ^ static_cast<uint32_t>(__builtin_clzll(x | 1));
#else
  uint32_t n = 0;
  while (n < 63 && (x >> (n + 1)) != 0) ++n;
  return n;
#endif
}

// The smallest integer form of a value, looked up by its sign and the highest bit of its
// magnitude (v, or ~v when negative): the left shift that brings the payload to the top of 64
// bits, the marker, where the payload starts and the size of the whole encoding. A fixint is a
// one-byte payload that starts at the marker's place and replaces it.
struct IntForm {
  uint8_t shift;
  uint8_t marker;
  uint8_t offset;
  uint8_t size;
};

constexpr IntForm MakeIntForm(uint32_t negative, uint32_t bits) {
  // Magnitude limits per class: fixint (7 bits, or 5 below zero), 8, 16, 32, 64 bits (one
  // less each below zero, where the sign takes a bit).
  const uint32_t fix_bits = negative != 0 ? 5 : 7;
  const uint32_t k = bits <= fix_bits        ? 0
                     : bits <= 8 - negative  ? 1
                     : bits <= 16 - negative ? 2
                     : bits <= 32 - negative ? 3
                                             : 4;
  const uint32_t payload = k == 0 ? 1 : 1u << (k - 1);
  return IntForm{static_cast<uint8_t>(64 - 8 * payload),
                 static_cast<uint8_t>(k == 0 ? 0 : (negative != 0 ? 0xcf : 0xcb) + k),
                 static_cast<uint8_t>(k == 0 ? 0 : 1),
                 static_cast<uint8_t>(k == 0 ? 1 : 1 + payload)};
}

// Entry 64 * negative + highest bit.
struct IntForms {
  IntForm forms[128];
};
constexpr IntForms MakeIntForms() {
  IntForms table{};
  for (uint32_t negative = 0; negative < 2; ++negative) {
    for (uint32_t top = 0; top < 64; ++top)
      table.forms[64 * negative + top] = MakeIntForm(negative, top + 1);
  }
  return table;
}
inline constexpr IntForms kIntForms = MakeIntForms();

// An integer of any size in its smallest form: the marker, then 8 bytes of which the payload
// is the start (a fixint: 8 bytes of which the first is the value).
TESSEL_INLINE char* PutIntForm(char* p, uint64_t u) {
  const uint64_t sign = uint64_t{0} - (u >> 63);
  const IntForm form = kIntForms.forms[HighBit(u ^ sign) | static_cast<uint32_t>(sign & 64)];
  *p = static_cast<char>(form.marker);
  StoreWire<8>(p + form.offset, Bswap64(u << form.shift));
  return p + form.size;
}

// Small non-negative values, what most integer fields of control requests hold, take a branch
// of their own: each field has its own copy of it, so the predictor learns it per field, and
// the output position then does not wait for the form's lookup. Fields whose values straddle
// 128 mispredict at times; measured on bodies with such fields it is still no slower.
TESSEL_INLINE char* PutInt(char* p, int64_t v) {
  const uint64_t u = static_cast<uint64_t>(v);
  if (u < 128) {
    *p = static_cast<char>(u);
    return p + 1;
  }
  return PutIntForm(p, u);
}

// A model key (one byte) and an integer. The key shares the store of a small value.
TESSEL_INLINE char* PutKeyAndInt(char* p, uint32_t key, int64_t v) {
  const uint64_t u = static_cast<uint64_t>(v);
  if (u < 128) {
    StoreWire<2>(p, key | (u << 8));
    return p + 2;
  }
  *p = static_cast<char>(key);
  return PutIntForm(p + 1, u);
}

TESSEL_INLINE char* PutBool(char* p, bool v) {
  *p = static_cast<char>(0xc2 + v);
  return p + 1;
}

TESSEL_INLINE char* PutFloat(char* p, float v) {
  uint32_t bits = 0;
  std::memcpy(&bits, &v, sizeof bits);
  StoreWire<8>(p, 0xca | (uint64_t{Bswap32(bits)} << 8));
  return p + 5;
}

// Strings of 64 KiB and more (0xdb): rare enough for a call.
char* PutLongString(char* p, const std::string& s);

// Whether a std::string owns at least 16 readable bytes at data(), whatever its size: true of
// libstdc++, whose strings keep up to 15 characters and the terminator in a 16-byte buffer of
// their own and longer ones in a heap block of more than 16 bytes. Short strings are then
// copied in whole 16-byte moves, without a call and without a branch on their length.
#if defined(__GLIBCXX__) && defined(_GLIBCXX_USE_CXX11_ABI) && _GLIBCXX_USE_CXX11_ABI
constexpr bool kStringOwns16 = true;
#else
constexpr bool kStringOwns16 = false;
#endif

// Copies `n` (at most 32) bytes from `s`, which may be read up to max(n, 16): the first 16
// and the last 16, overlapping. Stores 16 bytes at least (see kOverstore).
TESSEL_INLINE void CopyUpTo32(char* p, const char* s, size_t n) {
  const size_t tail = (n > 16 ? n : 16) - 16;
  std::memcpy(p, s, 16);
  std::memcpy(p + tail, s + tail, 16);
}

// Copies `n` (32 to 64) bytes: the first 32 and the last 32, overlapping.
TESSEL_INLINE void Copy32To64(char* p, const char* s, size_t n) {
  std::memcpy(p, s, 32);
  std::memcpy(p + n - 32, s + n - 32, 32);
}

// A string of at most 0xFFFFFFFF bytes. Below 32 bytes (one-byte header) and up to 64 the
// bytes are moved inline; longer strings go to memcpy, which is worth its call there.
TESSEL_INLINE char* PutString(char* p, const std::string& s) {
  const size_t n = s.size();
  if (kStringOwns16 && n < 32) {
    *p = static_cast<char>(0xa0 | n);
    CopyUpTo32(p + 1, s.data(), n);
    return p + 1 + n;
  }
  if (n > 0xFFFF) return PutLongString(p, s);
  const uint32_t n32 = static_cast<uint32_t>(n);
  const bool wide = n32 >= 32;
  StoreWire<4>(p, Select<uint32_t>(wide, 0xda | (Bswap16(n32) << 8), 0xa0 | n32));
  p += 1 + 2 * static_cast<size_t>(wide);
  if (kStringOwns16 && n <= 64) {
    Copy32To64(p, s.data(), n);
  } else {
    std::memcpy(p, s.data(), n);
  }
  return p + n;
}

// A model key (one byte) and a string. The key shares the store of a one-byte header.
TESSEL_INLINE char* PutKeyAndString(char* p, uint32_t key, const std::string& s) {
  const size_t n = s.size();
  if (kStringOwns16 && n < 32) {
    StoreWire<2>(p, key | ((0xa0 | n) << 8));
    CopyUpTo32(p + 2, s.data(), n);
    return p + 2 + n;
  }
  *p = static_cast<char>(key);
  return PutString(p + 1, s);
}

TESSEL_INLINE void Commit(BufferSink* sink, const char* begin, const char* end) {
  sink->used += static_cast<size_t>(end - begin);
}
}  // namespace detail

// The stream writers: a BufferSink is written in place by the Put writers, any other sink
// through its callback.
TESSEL_INLINE bool WriteMapHeader(MsgpackContext* ctx, uint32_t n) {
  if (BufferSink* sink = detail::FastSink(ctx)) {
    char* p = sink->Reserve(detail::kMaxHeaderSize + detail::kOverstore);
    detail::Commit(sink, p, detail::PutContainerHeader(p, n, 0x80, 0xde));
    return true;
  }
  return detail::WriteMapHeaderGeneric(ctx, n);
}

TESSEL_INLINE bool WriteArrayHeader(MsgpackContext* ctx, uint32_t n) {
  if (BufferSink* sink = detail::FastSink(ctx)) {
    char* p = sink->Reserve(detail::kMaxHeaderSize + detail::kOverstore);
    detail::Commit(sink, p, detail::PutContainerHeader(p, n, 0x90, 0xdc));
    return true;
  }
  return detail::WriteArrayHeaderGeneric(ctx, n);
}

TESSEL_INLINE bool WriteInt(MsgpackContext* ctx, int64_t v) {
  if (BufferSink* sink = detail::FastSink(ctx)) {
    char* p = sink->Reserve(detail::kMaxIntSize + detail::kOverstore);
    detail::Commit(sink, p, detail::PutInt(p, v));
    return true;
  }
  return detail::WriteIntGeneric(ctx, v);
}

// A model key, 1 to 127: one positive-fixint byte.
TESSEL_INLINE bool WriteKey(MsgpackContext* ctx, uint32_t key) {
  if (BufferSink* sink = detail::FastSink(ctx)) {
    *sink->Reserve(1) = static_cast<char>(key);
    sink->used += 1;
    return true;
  }
  return detail::WriteIntGeneric(ctx, key);
}

TESSEL_INLINE bool WriteBool(MsgpackContext* ctx, bool v) {
  if (BufferSink* sink = detail::FastSink(ctx)) {
    char* p = sink->Reserve(1);
    detail::Commit(sink, p, detail::PutBool(p, v));
    return true;
  }
  return detail::WriteBoolGeneric(ctx, v);
}

TESSEL_INLINE bool WriteFloat(MsgpackContext* ctx, float v) {
  if (BufferSink* sink = detail::FastSink(ctx)) {
    char* p = sink->Reserve(5 + detail::kOverstore);
    detail::Commit(sink, p, detail::PutFloat(p, v));
    return true;
  }
  return detail::WriteFloatGeneric(ctx, v);
}

// length < 32: 0xa0 + length; < 65536: 0xda + 16 bits; else 0xdb + 32 bits. Never 0xd9.
TESSEL_INLINE bool WriteString(MsgpackContext* ctx, const std::string& s) {
  BufferSink* sink = detail::FastSink(ctx);
  if (sink == nullptr || s.size() > 0xFFFFFFFFu) return detail::WriteStringGeneric(ctx, s);
  char* p = sink->Reserve(detail::kMaxHeaderSize + s.size() + detail::kOverstore);
  detail::Commit(sink, p, detail::PutString(p, s));
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
