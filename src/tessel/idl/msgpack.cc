#include "tessel/idl/msgpack.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace tessel {
namespace idl {

bool BufferSourceRead(MsgpackContext* ctx, void* dst, size_t n) {
  auto* src = static_cast<BufferSource*>(ctx->buffer);
  if (src->remaining() < n) return false;
  if (n != 0) std::memcpy(dst, src->data + src->position, n);
  src->position += n;
  return true;
}

size_t StringSinkWrite(MsgpackContext* ctx, const void* src, size_t n) {
  auto* sink = static_cast<StringSink*>(ctx->buffer);
  sink->out->append(static_cast<const char*>(src), n);
  return n;
}

void BufferSink::Grow(size_t n) {
  const size_t need = used + n;
  // Most request bodies fit the first step.
  size_t size = out->size() < 256 ? 256 : out->size();
  while (size < need) size *= 2;
  out->resize(size);
}

size_t BufferSinkWrite(MsgpackContext* ctx, const void* src, size_t n) {
  auto* sink = static_cast<BufferSink*>(ctx->buffer);
  if (n != 0) std::memcpy(sink->Reserve(n), src, n);
  sink->used += n;
  return n;
}

namespace msgpack {
namespace {

// ---- low-level I/O --------------------------------------------------------------------------

// Most streams are a StringSink or a BufferSource; those are served inline, everything else
// through the context's callbacks with the same success rules.
inline bool IsBufferSource(const MsgpackContext* ctx) {
  return ctx->read == &BufferSourceRead;
}

inline bool Fail(MsgpackContext* ctx, uint8_t kind) {
  if (ctx->error == kMsgpackOk) ctx->error = kind;
  return false;
}

inline bool ReadBytes(MsgpackContext* ctx, void* dst, size_t n) {
  if (IsBufferSource(ctx)) {
    auto* src = static_cast<BufferSource*>(ctx->buffer);
    if (src->remaining() < n) return Fail(ctx, kMsgpackReadFailed);
    if (n != 0) std::memcpy(dst, src->data + src->position, n);
    src->position += n;
    return true;
  }
  if (ctx->read == nullptr || !ctx->read(ctx, dst, n)) return Fail(ctx, kMsgpackReadFailed);
  return true;
}

// A marker write succeeds only when exactly one byte was taken.
inline bool WriteMarker(MsgpackContext* ctx, uint8_t b) {
  if (ctx->write == &StringSinkWrite) {
    static_cast<StringSink*>(ctx->buffer)->out->push_back(static_cast<char>(b));
    return true;
  }
  if (ctx->write == nullptr || ctx->write(ctx, &b, 1) != 1) return Fail(ctx, kMsgpackWriteFailed);
  return true;
}

// A payload write succeeds when any byte was taken.
inline bool WritePayload(MsgpackContext* ctx, const void* p, size_t n) {
  if (n == 0) return true;
  if (ctx->write == &StringSinkWrite) {
    static_cast<StringSink*>(ctx->buffer)->out->append(static_cast<const char*>(p), n);
    return true;
  }
  if (ctx->write == nullptr || ctx->write(ctx, p, n) == 0) return Fail(ctx, kMsgpackWriteFailed);
  return true;
}

inline bool WriteMarkerBe16(MsgpackContext* ctx, uint8_t marker, uint16_t v) {
  const unsigned char b[2] = {static_cast<unsigned char>(v >> 8), static_cast<unsigned char>(v)};
  return WriteMarker(ctx, marker) && WritePayload(ctx, b, 2);
}

inline bool WriteMarkerBe32(MsgpackContext* ctx, uint8_t marker, uint32_t v) {
  const unsigned char b[4] = {static_cast<unsigned char>(v >> 24),
                              static_cast<unsigned char>(v >> 16),
                              static_cast<unsigned char>(v >> 8), static_cast<unsigned char>(v)};
  return WriteMarker(ctx, marker) && WritePayload(ctx, b, 4);
}

inline bool WriteMarkerBe64(MsgpackContext* ctx, uint8_t marker, uint64_t v) {
  unsigned char b[8];
  for (int i = 0; i < 8; ++i) b[i] = static_cast<unsigned char>(v >> (56 - 8 * i));
  return WriteMarker(ctx, marker) && WritePayload(ctx, b, 8);
}

inline bool WriteContainerHeader(MsgpackContext* ctx, uint32_t n, uint8_t fix, uint8_t m16,
                                 uint8_t m32) {
  if (n < 16) return WriteMarker(ctx, static_cast<uint8_t>(fix + n));
  if (n <= 0xFFFF) return WriteMarkerBe16(ctx, m16, static_cast<uint16_t>(n));
  return WriteMarkerBe32(ctx, m32, n);
}

inline uint64_t LoadBe(const unsigned char* p, int n) {
  uint64_t v = 0;
  for (int i = 0; i < n; ++i) v = (v << 8) | p[i];
  return v;
}

inline bool ReadBe(MsgpackContext* ctx, int n, uint64_t* out) {
  unsigned char b[8];
  if (!ReadBytes(ctx, b, static_cast<size_t>(n))) return false;
  *out = LoadBe(b, n);
  return true;
}

}  // namespace

// ---- writing --------------------------------------------------------------------------------

namespace detail {

bool WriteMapHeaderGeneric(MsgpackContext* ctx, uint32_t n) {
  return WriteContainerHeader(ctx, n, 0x80, 0xde, 0xdf);
}

bool WriteArrayHeaderGeneric(MsgpackContext* ctx, uint32_t n) {
  return WriteContainerHeader(ctx, n, 0x90, 0xdc, 0xdd);
}

bool WriteIntGeneric(MsgpackContext* ctx, int64_t v) {
  if (v >= 0) {
    const uint64_t u = static_cast<uint64_t>(v);
    if (u <= 0x7f) return WriteMarker(ctx, static_cast<uint8_t>(u));
    if (u < 0x100) {
      const unsigned char b = static_cast<unsigned char>(u);
      return WriteMarker(ctx, 0xcc) && WritePayload(ctx, &b, 1);
    }
    if (u < 0x10000) return WriteMarkerBe16(ctx, 0xcd, static_cast<uint16_t>(u));
    if (u < 0x100000000ull) return WriteMarkerBe32(ctx, 0xce, static_cast<uint32_t>(u));
    return WriteMarkerBe64(ctx, 0xcf, u);
  }
  if (v >= -32) return WriteMarker(ctx, static_cast<uint8_t>(static_cast<int8_t>(v)));
  if (v >= -128) {
    const unsigned char b = static_cast<unsigned char>(static_cast<int8_t>(v));
    return WriteMarker(ctx, 0xd0) && WritePayload(ctx, &b, 1);
  }
  if (v >= -32768) {
    return WriteMarkerBe16(ctx, 0xd1, static_cast<uint16_t>(static_cast<int16_t>(v)));
  }
  if (v >= INT64_C(-2147483648)) {
    return WriteMarkerBe32(ctx, 0xd2, static_cast<uint32_t>(static_cast<int32_t>(v)));
  }
  return WriteMarkerBe64(ctx, 0xd3, static_cast<uint64_t>(v));
}

bool WriteBoolGeneric(MsgpackContext* ctx, bool v) {
  return WriteMarker(ctx, v ? 0xc3 : 0xc2);
}

bool WriteFloatGeneric(MsgpackContext* ctx, float v) {
  uint32_t bits = 0;
  std::memcpy(&bits, &v, sizeof bits);
  return WriteMarkerBe32(ctx, 0xca, bits);
}

char* PutLongString(char* p, const std::string& s) {
  const uint32_t n = static_cast<uint32_t>(s.size());
  StoreWire<8>(p, 0xdb | (uint64_t{Bswap32(n)} << 8));
  std::memcpy(p + 5, s.data(), n);
  return p + 5 + n;
}

bool WriteStringGeneric(MsgpackContext* ctx, const std::string& s) {
  const size_t n = s.size();
  if (ctx->write == &StringSinkWrite) {
    // One append for header and bytes: the common case of every request body.
    std::string* out = static_cast<StringSink*>(ctx->buffer)->out;
    if (n < 32) {
      out->push_back(static_cast<char>(0xa0 + n));
    } else if (n < 65536) {
      const char h[3] = {static_cast<char>(0xda), static_cast<char>(n >> 8), static_cast<char>(n)};
      out->append(h, 3);
    } else if (n <= 0xFFFFFFFFu) {
      const char h[5] = {static_cast<char>(0xdb), static_cast<char>(n >> 24),
                         static_cast<char>(n >> 16), static_cast<char>(n >> 8),
                         static_cast<char>(n)};
      out->append(h, 5);
    } else {
      return Fail(ctx, kMsgpackWriteFailed);
    }
    out->append(s.data(), n);
    return true;
  }
  bool ok;
  if (n < 32) {
    ok = WriteMarker(ctx, static_cast<uint8_t>(0xa0 + n));
  } else if (n < 65536) {
    ok = WriteMarkerBe16(ctx, 0xda, static_cast<uint16_t>(n));
  } else if (n <= 0xFFFFFFFFu) {
    ok = WriteMarkerBe32(ctx, 0xdb, static_cast<uint32_t>(n));
  } else {
    return Fail(ctx, kMsgpackWriteFailed);
  }
  return ok && WritePayload(ctx, s.data(), n);
}

}  // namespace detail

// ---- reading --------------------------------------------------------------------------------

bool ReadHeader(MsgpackContext* ctx, Header* h) {
  unsigned char m = 0;
  if (!ReadBytes(ctx, &m, 1)) return false;
  h->marker = m;
  uint64_t v = 0;
  if (m <= 0x7f) {
    h->kind = Kind::kUint;
    h->uint_value = m;
    return true;
  }
  if (m >= 0xe0) {
    h->kind = Kind::kInt;
    h->int_value = static_cast<int8_t>(m);
    return true;
  }
  if (m >= 0x80 && m <= 0x8f) {
    h->kind = Kind::kMap;
    h->length = m & 0x0f;
    return true;
  }
  if (m >= 0x90 && m <= 0x9f) {
    h->kind = Kind::kArray;
    h->length = m & 0x0f;
    return true;
  }
  if (m >= 0xa0 && m <= 0xbf) {
    h->kind = Kind::kStr;
    h->length = m & 0x1f;
    return true;
  }
  switch (m) {
    case 0xc0:
      h->kind = Kind::kNil;
      return true;
    case 0xc2:
    case 0xc3:
      h->kind = Kind::kBool;
      h->boolean = (m == 0xc3);
      return true;
    case 0xc4:
    case 0xc5:
    case 0xc6:
      if (!ReadBe(ctx, 1 << (m - 0xc4), &v)) return false;
      h->kind = Kind::kBin;
      h->length = static_cast<uint32_t>(v);
      return true;
    case 0xc7:
    case 0xc8:
    case 0xc9: {
      if (!ReadBe(ctx, 1 << (m - 0xc7), &v)) return false;
      unsigned char type = 0;
      if (!ReadBytes(ctx, &type, 1)) return false;
      h->kind = Kind::kExt;
      h->length = static_cast<uint32_t>(v);
      return true;
    }
    case 0xca: {
      if (!ReadBe(ctx, 4, &v)) return false;
      const uint32_t bits = static_cast<uint32_t>(v);
      std::memcpy(&h->f32, &bits, sizeof bits);
      h->kind = Kind::kFloat32;
      return true;
    }
    case 0xcb:
      if (!ReadBe(ctx, 8, &v)) return false;
      std::memcpy(&h->f64, &v, sizeof v);
      h->kind = Kind::kFloat64;
      return true;
    case 0xcc:
    case 0xcd:
    case 0xce:
    case 0xcf:
      if (!ReadBe(ctx, 1 << (m - 0xcc), &v)) return false;
      h->kind = Kind::kUint;
      h->uint_value = v;
      return true;
    case 0xd0:
      if (!ReadBe(ctx, 1, &v)) return false;
      h->kind = Kind::kInt;
      h->int_value = static_cast<int8_t>(v);
      return true;
    case 0xd1:
      if (!ReadBe(ctx, 2, &v)) return false;
      h->kind = Kind::kInt;
      h->int_value = static_cast<int16_t>(v);
      return true;
    case 0xd2:
      if (!ReadBe(ctx, 4, &v)) return false;
      h->kind = Kind::kInt;
      h->int_value = static_cast<int32_t>(v);
      return true;
    case 0xd3:
      if (!ReadBe(ctx, 8, &v)) return false;
      h->kind = Kind::kInt;
      h->int_value = static_cast<int64_t>(v);
      return true;
    case 0xd4:
    case 0xd5:
    case 0xd6:
    case 0xd7:
    case 0xd8: {
      unsigned char type = 0;
      if (!ReadBytes(ctx, &type, 1)) return false;
      h->kind = Kind::kExt;
      h->length = 1u << (m - 0xd4);
      return true;
    }
    case 0xd9:
    case 0xda:
    case 0xdb:
      if (!ReadBe(ctx, 1 << (m - 0xd9), &v)) return false;
      h->kind = Kind::kStr;
      h->length = static_cast<uint32_t>(v);
      return true;
    case 0xdc:
    case 0xdd:
      if (!ReadBe(ctx, m == 0xdc ? 2 : 4, &v)) return false;
      h->kind = Kind::kArray;
      h->length = static_cast<uint32_t>(v);
      return true;
    case 0xde:
    case 0xdf:
      if (!ReadBe(ctx, m == 0xde ? 2 : 4, &v)) return false;
      h->kind = Kind::kMap;
      h->length = static_cast<uint32_t>(v);
      return true;
    default:  // 0xc1: never used
      return Fail(ctx, kMsgpackInvalid);
  }
}

bool HeaderToInt32(const Header& h, int* out) {
  const uint8_t m = h.marker;
  if (h.kind == Kind::kUint) {
    if (m == 0xcf) return false;
    if (h.uint_value > 0x7FFFFFFFu) return false;
    *out = static_cast<int>(h.uint_value);
    return true;
  }
  if (h.kind == Kind::kInt) {
    if (m == 0xd3) return false;
    *out = static_cast<int>(h.int_value);
    return true;
  }
  return false;
}

bool HeaderToInt64(const Header& h, int64_t* out) {
  if (h.kind == Kind::kUint) {
    if (h.uint_value > static_cast<uint64_t>(INT64_MAX)) return false;
    *out = static_cast<int64_t>(h.uint_value);
    return true;
  }
  if (h.kind == Kind::kInt) {
    *out = h.int_value;
    return true;
  }
  return false;
}

bool ReadStringPayload(MsgpackContext* ctx, const Header& h, std::string* out) {
  const uint32_t n = h.length;
  if (IsBufferSource(ctx)) {
    // Straight from the body into the string: no temporary, and nothing allocated for a
    // length the body cannot back.
    auto* src = static_cast<BufferSource*>(ctx->buffer);
    if (src->remaining() < n) return Fail(ctx, kMsgpackReadFailed);
    out->assign(src->data + src->position, n);
    src->position += n;
    return true;
  }
  // Unknown source size: grow in bounded steps so a lying length costs at most one step
  // beyond the bytes actually delivered. The bytes go to a buffer of their own: a read that
  // fails must leave the field's earlier value as it was.
  constexpr uint32_t kStep = 64 * 1024;
  std::string buffer;
  uint32_t done = 0;
  while (done < n) {
    const uint32_t chunk = std::min(kStep, n - done);
    buffer.resize(done + chunk);
    if (!ReadBytes(ctx, &buffer[done], chunk)) return false;
    done += chunk;
  }
  *out = std::move(buffer);
  return true;
}

namespace {

bool SkipBytes(MsgpackContext* ctx, uint32_t n) {
  if (IsBufferSource(ctx)) {
    auto* src = static_cast<BufferSource*>(ctx->buffer);
    if (src->remaining() < n) return Fail(ctx, kMsgpackReadFailed);
    src->position += n;
    return true;
  }
  char scratch[4096];
  while (n > 0) {
    const uint32_t chunk = std::min<uint32_t>(n, sizeof scratch);
    if (!ReadBytes(ctx, scratch, chunk)) return false;
    n -= chunk;
  }
  return true;
}

// How many more values a header brings into the skip: its elements (maps: keys and values).
bool ConsumeHeader(MsgpackContext* ctx, const Header& h, uint64_t* pending) {
  switch (h.kind) {
    case Kind::kStr:
      return SkipBytes(ctx, h.length);
    case Kind::kArray:
      *pending += h.length;
      return true;
    case Kind::kMap:
      *pending += 2ull * h.length;
      return true;
    case Kind::kBin:
    case Kind::kExt:
      return Fail(ctx, kMsgpackInvalid);
    default:
      return true;
  }
}

}  // namespace

bool SkipAfterHeader(MsgpackContext* ctx, const Header& first) {
  // Iterative: a count of values still to skip, so nesting depth costs no stack.
  uint64_t pending = 0;
  if (!ConsumeHeader(ctx, first, &pending)) return false;
  while (pending > 0) {
    Header h;
    if (!ReadHeader(ctx, &h)) return false;
    --pending;
    if (!ConsumeHeader(ctx, h, &pending)) return false;
  }
  return true;
}

bool SkipValue(MsgpackContext* ctx) {
  Header h;
  if (!ReadHeader(ctx, &h)) return false;
  return SkipAfterHeader(ctx, h);
}

uint32_t ReservableElements(MsgpackContext* ctx, uint32_t count) {
  if (IsBufferSource(ctx)) {
    const uint64_t left = static_cast<BufferSource*>(ctx->buffer)->remaining();
    return static_cast<uint32_t>(std::min<uint64_t>(count, left));
  }
  return std::min<uint32_t>(count, 1024);
}

}  // namespace msgpack
}  // namespace idl
}  // namespace tessel
