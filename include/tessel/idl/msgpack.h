// MessagePack primitives used by the model values. Writers produce only the forms the adaptors
// expect: the smallest integer form, 0xa0/0xda/0xdb string headers (never 0xd9), float32 for
// `float`, and no nil. Readers take one object header at a time and apply each target type's
// acceptance rules; they never allocate more than the bytes actually left in a BufferSource
// can back, and never form a pointer past its end.
#pragma once

#include <cstdint>
#include <string>

#include "tessel/idl/msgpack_context.h"

namespace tessel {
namespace idl {
namespace msgpack {

// ---- writing --------------------------------------------------------------------------------

bool WriteMapHeader(MsgpackContext* ctx, uint32_t n);
bool WriteArrayHeader(MsgpackContext* ctx, uint32_t n);
bool WriteInt(MsgpackContext* ctx, int64_t v);
bool WriteBool(MsgpackContext* ctx, bool v);
bool WriteFloat(MsgpackContext* ctx, float v);
bool WriteString(MsgpackContext* ctx, const std::string& s);

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
