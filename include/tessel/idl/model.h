// IDL models: typed fields with presence flags, carried on the wire as MessagePack maps keyed by
// field position (key = index + 1), and convertible to and from JSON objects keyed by the
// decimal index.
//
// Models and values are plain objects without locks; one thread at a time builds, encodes or
// decodes a given object. Nothing here throws: failures are false results, and a failed decode
// keeps what it decoded before the failure.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "tessel/idl/json_context.h"
#include "tessel/idl/msgpack.h"
#include "tessel/idl/msgpack_context.h"

namespace tessel {
namespace idl {

class BaseModel;

// Every model collects its field pointers into a fixed array of this size on the stack.
constexpr int kMaxModelFields = 100;

// One model field. Slot order is fixed: destructor, Clear, MergeFrom, Pack, Unpack, FromJson,
// ToJson, UnpackField.
class BaseModelValue {
 public:
  virtual ~BaseModelValue() = default;
  // has_value := false and the value reset (a nested model: each field cleared, valid := false).
  virtual void Clear() = 0;
  // `other` has the same dynamic type. Copies the value only when this field has none.
  virtual void MergeFrom(const BaseModelValue& other) = 0;
  virtual bool Pack(MsgpackContext* ctx) const = 0;
  // Reads one value. Nil sets *is_nil and leaves the value untouched.
  virtual bool Unpack(MsgpackContext* ctx, bool* is_nil, bool* unknown_seen) = 0;
  virtual bool FromJson(const JsonDeSerializeContext& in) = 0;
  // Adds a member named `key` to the object in `out`.
  virtual bool ToJson(const std::string& key, JsonSerializeContext* out) const = 0;
  // Unpack, then has_value := !*is_nil on success; on failure has_value is left as it was.
  virtual bool UnpackField(MsgpackContext* ctx, bool* is_nil, bool* unknown_seen);

  bool has_value = false;
};

// Abstract base of every model. Slot order: destructor, FieldCount, GetFields.
class BaseModel {
 public:
  BaseModel() = default;
  BaseModel(const BaseModel&) = default;
  BaseModel& operator=(const BaseModel&) = default;
  virtual ~BaseModel() = default;
  virtual int FieldCount() const = 0;
  // Writes pointers to the fields in key order (entry 0 is key 1). An entry may be null: that
  // key is then unknown to the model.
  virtual void GetFields(BaseModelValue** out) = 0;

  bool Pack(MsgpackContext* ctx) const;
  bool Unpack(MsgpackContext* ctx, bool* is_nil, bool* unknown_seen);
  // Decodes a whole body. An empty body fails; a single nil succeeds with valid := false.
  // Bytes after the map are ignored. `unknown_seen` may be null.
  bool Unpackb(const std::string& body, bool* unknown_seen);
  bool ToJsonObject(JsonSerializeContext* out) const;
  bool FromJsonObject(const JsonDeSerializeContext& in);
  // Clears every field and marks the model invalid (what clearing a nested-model field does).
  void ClearFields();

  // true after construction and after a successful decode; false after a failed or nil one.
  bool valid = true;
};

// Encodes a model into a request body. Callers send the result whatever Pack reported.
std::string Packb(const BaseModel& model);
// As Packb, also saying whether Pack succeeded.
bool Packb(const BaseModel& model, std::string* out);

namespace detail {

template <typename T>
struct IsVector : std::false_type {};
template <typename T>
struct IsVector<std::vector<T>> : std::true_type {};

template <typename T>
constexpr bool kIsModel = std::is_base_of<BaseModel, T>::value;

// A list decoded from memory reserves at most this many bytes of elements per body byte left,
// and never more than kMaxReserveBytes in all (beyond that it grows as elements arrive), so a
// lying count can neither amplify a body into a large allocation nor ask a 32-bit process for
// more than it can address.
constexpr uint64_t kReserveBytesPerBodyByte = 8;
constexpr uint64_t kMaxReserveBytes = 16u << 20;

// Per-type codec of the value held by a ModelValue<T>. Pack and Unpack work on a stream. The
// encode into memory is one pass: a field takes at most kBound + VarBound(value) bytes (key
// included), and PutKeyed writes the key and the value, or nothing when the field is absent
// (see msgpack::detail::kOverstore for what it may store past its end). List elements have
// ElementBound and PutElement.
template <typename T, typename Enable = void>
struct ValueTraits;

bool UnpackString(MsgpackContext* ctx, bool* is_nil, std::string* v);
bool UnpackInt32(MsgpackContext* ctx, bool* is_nil, int* v);
bool UnpackInt64(MsgpackContext* ctx, bool* is_nil, int64_t* v);
bool UnpackBool(MsgpackContext* ctx, bool* is_nil, bool* v);
bool UnpackFloat(MsgpackContext* ctx, bool* is_nil, float* v);
// Reads a vector header: nil sets *is_nil; otherwise *count and a reservation hint.
bool UnpackArrayHeader(MsgpackContext* ctx, bool* is_nil, uint32_t* count, uint32_t* reserve);

// Fast paths for a body in memory (BufferSource): the forms that real bodies use, read in
// place. Anything else, and every failure, goes to the generic reader above, which starts from
// the same position (a fast path consumes nothing unless it succeeds).
TESSEL_INLINE BufferSource* FastSource(MsgpackContext* ctx) {
  return ctx->read == &BufferSourceRead ? static_cast<BufferSource*>(ctx->buffer) : nullptr;
}

TESSEL_INLINE const unsigned char* Peek(const BufferSource* s, uint64_t* left) {
  *left = s->size - s->position;
  return reinterpret_cast<const unsigned char*>(s->data + s->position);
}

TESSEL_INLINE uint32_t LoadBe16(const unsigned char* p) {
  return (uint32_t{p[0]} << 8) | p[1];
}
TESSEL_INLINE uint32_t LoadBe32(const unsigned char* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// An integer in one of the forms `int64_t` accepts; `*wide` tells whether it came as
// uint64/int64 (which `int` refuses). False: not handled here.
TESSEL_INLINE bool PeekInt(const unsigned char* p, uint64_t left, int64_t* out, uint32_t* used,
                           bool* wide) {
  if (left == 0) return false;
  const unsigned char m = p[0];
  *wide = false;
  if (m <= 0x7f) {
    *out = m;
    *used = 1;
    return true;
  }
  if (m >= 0xe0) {
    *out = static_cast<int8_t>(m);
    *used = 1;
    return true;
  }
  switch (m) {
    case 0xcc:
      if (left < 2) return false;
      *out = p[1];
      *used = 2;
      return true;
    case 0xcd:
      if (left < 3) return false;
      *out = LoadBe16(p + 1);
      *used = 3;
      return true;
    case 0xce:
      if (left < 5) return false;
      *out = LoadBe32(p + 1);
      *used = 5;
      return true;
    case 0xd0:
      if (left < 2) return false;
      *out = static_cast<int8_t>(p[1]);
      *used = 2;
      return true;
    case 0xd1:
      if (left < 3) return false;
      *out = static_cast<int16_t>(LoadBe16(p + 1));
      *used = 3;
      return true;
    case 0xd2:
      if (left < 5) return false;
      *out = static_cast<int32_t>(LoadBe32(p + 1));
      *used = 5;
      return true;
    case 0xcf:
    case 0xd3: {
      if (left < 9) return false;
      const uint64_t u = (uint64_t{LoadBe32(p + 1)} << 32) | LoadBe32(p + 5);
      if (m == 0xcf && u > static_cast<uint64_t>(INT64_MAX)) return false;
      *out = static_cast<int64_t>(u);
      *used = 9;
      *wide = true;
      return true;
    }
    default:
      return false;
  }
}

TESSEL_INLINE bool UnpackStringFast(MsgpackContext* ctx, bool* is_nil, std::string* v) {
  if (BufferSource* s = FastSource(ctx)) {
    uint64_t left = 0;
    const unsigned char* p = Peek(s, &left);
    if (left != 0) {
      uint32_t n = 0, h = 0;
      if ((p[0] & 0xe0) == 0xa0) {
        n = p[0] & 0x1fu;
        h = 1;
      } else if (p[0] == 0xda && left >= 3) {
        n = LoadBe16(p + 1);
        h = 3;
      }
      if (h != 0 && left - h >= n) {
        const char* bytes = reinterpret_cast<const char*>(p + h);
        if (n < 16 || !v->empty()) {
          v->assign(bytes, n);
        } else {
          // A fresh string that outgrows the small-string buffer: allocating it at its exact
          // size by construction is cheaper than growing an empty one.
          *v = std::string(bytes, n);
        }
        s->position += h + n;
        *is_nil = false;
        return true;
      }
    }
  }
  return UnpackString(ctx, is_nil, v);
}

TESSEL_INLINE bool UnpackInt32Fast(MsgpackContext* ctx, bool* is_nil, int* v) {
  if (BufferSource* s = FastSource(ctx)) {
    uint64_t left = 0;
    const unsigned char* p = Peek(s, &left);
    int64_t n = 0;
    uint32_t used = 0;
    bool wide = false;
    if (PeekInt(p, left, &n, &used, &wide) && !wide && n <= INT32_MAX) {
      *v = static_cast<int>(n);
      s->position += used;
      *is_nil = false;
      return true;
    }
  }
  return UnpackInt32(ctx, is_nil, v);
}

TESSEL_INLINE bool UnpackInt64Fast(MsgpackContext* ctx, bool* is_nil, int64_t* v) {
  if (BufferSource* s = FastSource(ctx)) {
    uint64_t left = 0;
    const unsigned char* p = Peek(s, &left);
    uint32_t used = 0;
    bool wide = false;
    if (PeekInt(p, left, v, &used, &wide)) {
      s->position += used;
      *is_nil = false;
      return true;
    }
  }
  return UnpackInt64(ctx, is_nil, v);
}

TESSEL_INLINE bool UnpackBoolFast(MsgpackContext* ctx, bool* is_nil, bool* v) {
  if (BufferSource* s = FastSource(ctx)) {
    uint64_t left = 0;
    const unsigned char* p = Peek(s, &left);
    if (left != 0 && (p[0] == 0xc2 || p[0] == 0xc3)) {
      *v = p[0] == 0xc3;
      s->position += 1;
      *is_nil = false;
      return true;
    }
  }
  return UnpackBool(ctx, is_nil, v);
}

TESSEL_INLINE bool UnpackFloatFast(MsgpackContext* ctx, bool* is_nil, float* v) {
  if (BufferSource* s = FastSource(ctx)) {
    uint64_t left = 0;
    const unsigned char* p = Peek(s, &left);
    if (left >= 5 && p[0] == 0xca) {
      const uint32_t bits = LoadBe32(p + 1);
      std::memcpy(v, &bits, sizeof bits);
      s->position += 5;
      *is_nil = false;
      return true;
    }
  }
  return UnpackFloat(ctx, is_nil, v);
}

TESSEL_INLINE bool UnpackArrayHeaderFast(MsgpackContext* ctx, bool* is_nil, uint32_t* count,
                                         uint32_t* reserve) {
  if (BufferSource* s = FastSource(ctx)) {
    uint64_t left = 0;
    const unsigned char* p = Peek(s, &left);
    uint32_t h = 0;
    if (left != 0 && (p[0] & 0xf0) == 0x90) {
      *count = p[0] & 0x0fu;
      h = 1;
    } else if (left >= 3 && p[0] == 0xdc) {
      *count = LoadBe16(p + 1);
      h = 3;
    } else if (left >= 5 && p[0] == 0xdd) {
      *count = LoadBe32(p + 1);
      h = 5;
    }
    if (h != 0) {
      s->position += h;
      // Every element takes at least one byte: reserve no more than the rest can hold.
      *reserve = *count < left - h ? *count : static_cast<uint32_t>(left - h);
      *is_nil = false;
      return true;
    }
  }
  return UnpackArrayHeader(ctx, is_nil, count, reserve);
}

bool JsonToString(const rapidjson::Value& v, std::string* out);
bool JsonToInt32(const rapidjson::Value& v, int* out);
bool JsonToInt64(const rapidjson::Value& v, int64_t* out);
bool JsonToFloat(const rapidjson::Value& v, float* out);
bool JsonToBool(const rapidjson::Value& v, bool* out);

// A field was written from `p` to `end` (its key, 1 to kMaxModelFields, is one
// positive-fixint byte); an absent one is taken back without a branch, its bytes left as
// scratch for the next field.
TESSEL_INLINE char* KeepIf(char* p, const char* end, bool present) {
  return p + msgpack::detail::SizeIf(static_cast<size_t>(end - p), present);
}

template <>
struct ValueTraits<std::string> {
  TESSEL_INLINE static void Reset(std::string* v) { v->clear(); }
  TESSEL_INLINE static bool Pack(MsgpackContext* ctx, const std::string& v) {
    return msgpack::WriteString(ctx, v);
  }
  static constexpr uint64_t kBound = 1 + 5;
  TESSEL_INLINE static uint64_t VarBound(const std::string& v) { return v.size(); }
  TESSEL_INLINE static char* PutKeyed(char* p, uint32_t key, const std::string& v, bool present) {
    return KeepIf(p, msgpack::detail::PutKeyAndString(p, key, v), present);
  }
  TESSEL_INLINE static uint64_t ElementBound(const std::string& v) { return 5 + v.size(); }
  TESSEL_INLINE static char* PutElement(char* p, const std::string& v) {
    return msgpack::detail::PutString(p, v);
  }
  TESSEL_INLINE static bool Unpack(MsgpackContext* ctx, bool* is_nil, bool*, std::string* v) {
    return UnpackStringFast(ctx, is_nil, v);
  }
  TESSEL_INLINE static bool ToJson(const std::string& v, rapidjson::Value* out,
                                   rapidjson::Document::AllocatorType& a) {
    out->SetString(v.data(), static_cast<rapidjson::SizeType>(v.size()), a);
    return true;
  }
  TESSEL_INLINE static bool FromJson(const rapidjson::Value& in, std::string* v) {
    return JsonToString(in, v);
  }
};

template <>
struct ValueTraits<int> {
  TESSEL_INLINE static void Reset(int* v) { *v = 0; }
  TESSEL_INLINE static bool Pack(MsgpackContext* ctx, int v) { return msgpack::WriteInt(ctx, v); }
  // The key, then the int (5 bytes at most, 9 stored).
  static constexpr uint64_t kBound = 1 + 5;
  TESSEL_INLINE static uint64_t VarBound(int) { return 0; }
  TESSEL_INLINE static char* PutKeyed(char* p, uint32_t key, int v, bool present) {
    return KeepIf(p, msgpack::detail::PutKeyAndInt(p, key, v), present);
  }
  TESSEL_INLINE static bool Unpack(MsgpackContext* ctx, bool* is_nil, bool*, int* v) {
    return UnpackInt32Fast(ctx, is_nil, v);
  }
  TESSEL_INLINE static bool ToJson(int v, rapidjson::Value* out,
                                   rapidjson::Document::AllocatorType&) {
    out->SetInt(v);
    return true;
  }
  TESSEL_INLINE static bool FromJson(const rapidjson::Value& in, int* v) {
    return JsonToInt32(in, v);
  }
};

template <>
struct ValueTraits<int64_t> {
  TESSEL_INLINE static void Reset(int64_t* v) { *v = 0; }
  TESSEL_INLINE static bool Pack(MsgpackContext* ctx, int64_t v) {
    return msgpack::WriteInt(ctx, v);
  }
  static constexpr uint64_t kBound = 1 + 9;
  TESSEL_INLINE static uint64_t VarBound(int64_t) { return 0; }
  TESSEL_INLINE static char* PutKeyed(char* p, uint32_t key, int64_t v, bool present) {
    return KeepIf(p, msgpack::detail::PutKeyAndInt(p, key, v), present);
  }
  TESSEL_INLINE static bool Unpack(MsgpackContext* ctx, bool* is_nil, bool*, int64_t* v) {
    return UnpackInt64Fast(ctx, is_nil, v);
  }
  TESSEL_INLINE static bool ToJson(int64_t v, rapidjson::Value* out,
                                   rapidjson::Document::AllocatorType&) {
    out->SetInt64(v);
    return true;
  }
  TESSEL_INLINE static bool FromJson(const rapidjson::Value& in, int64_t* v) {
    return JsonToInt64(in, v);
  }
};

template <>
struct ValueTraits<bool> {
  TESSEL_INLINE static void Reset(bool* v) { *v = false; }
  TESSEL_INLINE static bool Pack(MsgpackContext* ctx, bool v) { return msgpack::WriteBool(ctx, v); }
  static constexpr uint64_t kBound = 1 + 1;
  TESSEL_INLINE static uint64_t VarBound(bool) { return 0; }
  TESSEL_INLINE static char* PutKeyed(char* p, uint32_t key, bool v, bool present) {
    msgpack::detail::StoreWire<2>(p, key | ((0xc2u + v) << 8));
    return KeepIf(p, p + 2, present);
  }
  TESSEL_INLINE static bool Unpack(MsgpackContext* ctx, bool* is_nil, bool*, bool* v) {
    return UnpackBoolFast(ctx, is_nil, v);
  }
  TESSEL_INLINE static bool ToJson(bool v, rapidjson::Value* out,
                                   rapidjson::Document::AllocatorType&) {
    out->SetBool(v);
    return true;
  }
  TESSEL_INLINE static bool FromJson(const rapidjson::Value& in, bool* v) {
    return JsonToBool(in, v);
  }
};

template <>
struct ValueTraits<float> {
  TESSEL_INLINE static void Reset(float* v) { *v = 0.0f; }
  TESSEL_INLINE static bool Pack(MsgpackContext* ctx, float v) {
    return msgpack::WriteFloat(ctx, v);
  }
  static constexpr uint64_t kBound = 1 + 5;
  TESSEL_INLINE static uint64_t VarBound(float) { return 0; }
  // The key and the marker in one store (a constant), the value in another.
  TESSEL_INLINE static char* PutKeyed(char* p, uint32_t key, float v, bool present) {
    uint32_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    msgpack::detail::StoreWire<2>(p, key | (0xca << 8));
    msgpack::detail::StoreWire<4>(p + 2, msgpack::detail::Bswap32(bits));
    return KeepIf(p, p + 6, present);
  }
  TESSEL_INLINE static bool Unpack(MsgpackContext* ctx, bool* is_nil, bool*, float* v) {
    return UnpackFloatFast(ctx, is_nil, v);
  }
  TESSEL_INLINE static bool ToJson(float v, rapidjson::Value* out,
                                   rapidjson::Document::AllocatorType&) {
    out->SetDouble(static_cast<double>(v));
    return true;
  }
  TESSEL_INLINE static bool FromJson(const rapidjson::Value& in, float* v) {
    return JsonToFloat(in, v);
  }
};

// A nested model: a map on the wire, an object in JSON.
template <typename M>
struct ValueTraits<M, typename std::enable_if<kIsModel<M>>::type> {
  TESSEL_INLINE static void Reset(M* v) { v->ClearFields(); }
  TESSEL_INLINE static bool Pack(MsgpackContext* ctx, const M& v) { return v.Pack(ctx); }
  // The key, then the model's map.
  static constexpr uint64_t kBound = 1;
  static uint64_t VarBound(const M& v) { return v.PackBound(); }
  static char* PutKeyed(char* p, uint32_t key, const M& v, bool present) {
    if (!present) return p;
    *p = static_cast<char>(key);
    return v.PackTo(p + 1);
  }
  static uint64_t ElementBound(const M& v) { return v.PackBound(); }
  static char* PutElement(char* p, const M& v) { return v.PackTo(p); }
  TESSEL_INLINE static bool Unpack(MsgpackContext* ctx, bool* is_nil, bool* unknown_seen, M* v) {
    return v->Unpack(ctx, is_nil, unknown_seen);
  }
  TESSEL_INLINE static bool ToJson(const M& v, rapidjson::Value* out,
                                   rapidjson::Document::AllocatorType& a) {
    out->SetObject();
    JsonSerializeContext ctx{out, &a};
    return v.ToJsonObject(&ctx);
  }
  TESSEL_INLINE static bool FromJson(const rapidjson::Value& in, M* v) {
    if (!in.IsObject()) return false;
    return v->FromJsonObject(JsonDeSerializeContext{&in});
  }
};

// A list of texts or of nested models.
template <typename E>
struct ValueTraits<std::vector<E>> {
  using Elem = ValueTraits<E>;
  TESSEL_INLINE static void Reset(std::vector<E>* v) { v->clear(); }
  TESSEL_INLINE static bool Pack(MsgpackContext* ctx, const std::vector<E>& v) {
    if (v.size() > 0xFFFFFFFFu) return false;
    if (!msgpack::WriteArrayHeader(ctx, static_cast<uint32_t>(v.size()))) return false;
    for (const E& e : v) {
      if (!Elem::Pack(ctx, e)) return false;
    }
    return true;
  }
  // The key, then the array header.
  static constexpr uint64_t kBound = 1 + 5;
  static uint64_t VarBound(const std::vector<E>& v) {
    uint64_t bound = 0;
    for (const E& e : v) bound += Elem::ElementBound(e);
    return bound;
  }
  static char* PutKeyed(char* p, uint32_t key, const std::vector<E>& v, bool present) {
    if (!present) return p;
    *p = static_cast<char>(key);
    p = msgpack::detail::PutContainerHeader(p + 1, static_cast<uint32_t>(v.size()), 0x90, 0xdc);
    for (const E& e : v) p = Elem::PutElement(p, e);
    return p;
  }
  // Elements are appended to what the vector holds; a nil element is left out; a failing
  // element fails the whole value and keeps the elements appended before it.
  TESSEL_INLINE static bool Unpack(MsgpackContext* ctx, bool* is_nil, bool* unknown_seen,
                                   std::vector<E>* v) {
    uint32_t count = 0;
    uint32_t reserve = 0;
    if (!UnpackArrayHeaderFast(ctx, is_nil, &count, &reserve)) return false;
    if (*is_nil) return true;
    if (BufferSource* s = FastSource(ctx)) {
      // No more memory than a small multiple of the body left: a header that lies about a
      // list of large models must not turn a small body into a large reservation.
      const uint64_t budget =
          std::min<uint64_t>(s->remaining() * kReserveBytesPerBodyByte, kMaxReserveBytes);
      const uint64_t by_memory = budget / sizeof(E) + 1;
      if (reserve > by_memory) reserve = static_cast<uint32_t>(by_memory);
    }
    v->reserve(v->size() + reserve);
    for (uint32_t i = 0; i < count; ++i) {
      // Decoded in place: a nil element, or one that fails, is taken back out.
      v->emplace_back();
      bool element_nil = false;
      if (!Elem::Unpack(ctx, &element_nil, unknown_seen, &v->back())) {
        v->pop_back();
        return false;
      }
      if (element_nil) v->pop_back();
    }
    return true;
  }
  TESSEL_INLINE static bool ToJson(const std::vector<E>& v, rapidjson::Value* out,
                                   rapidjson::Document::AllocatorType& a) {
    out->SetArray();
    for (const E& e : v) {
      rapidjson::Value element;
      if (!Elem::ToJson(e, &element, a)) return false;
      out->PushBack(element, a);
    }
    return true;
  }
  TESSEL_INLINE static bool FromJson(const rapidjson::Value& in, std::vector<E>* v) {
    if (!in.IsArray()) return false;
    for (const auto& item : in.GetArray()) {
      E element{};
      if (!Elem::FromJson(item, &element)) return false;
      v->push_back(std::move(element));
    }
    return true;
  }
};

// ---- the map every model is ------------------------------------------------------------------

// A model's map header: fixmap read in place from a body in memory, anything else generically.
TESSEL_INLINE bool ReadModelMapHeader(MsgpackContext* ctx, msgpack::Header* h) {
  if (BufferSource* s = FastSource(ctx)) {
    uint64_t left = 0;
    const unsigned char* p = Peek(s, &left);
    if (left != 0 && (p[0] & 0xf0) == 0x80) {
      h->kind = msgpack::Kind::kMap;
      h->marker = p[0];
      h->length = p[0] & 0x0fu;
      s->position += 1;
      return true;
    }
  }
  return msgpack::ReadHeader(ctx, h);
}

// A key, in any form int64_t accepts; keys 1 to 127 (all a model can have) are one byte.
TESSEL_INLINE bool ReadModelKey(MsgpackContext* ctx, int64_t* key) {
  if (BufferSource* s = FastSource(ctx)) {
    uint64_t left = 0;
    const unsigned char* p = Peek(s, &left);
    if (left != 0 && p[0] <= 0x7f) {
      *key = p[0];
      s->position += 1;
      return true;
    }
  }
  msgpack::Header h;
  return msgpack::ReadHeader(ctx, &h) && msgpack::HeaderToInt64(h, key);
}

inline bool Fail(MsgpackContext* ctx, uint8_t kind) {
  if (ctx->error == kMsgpackOk) ctx->error = kind;
  return false;
}

// Whether the next byte of a body in memory is the one-byte key `key`.
TESSEL_INLINE bool NextKeyIs(const BufferSource* s, int64_t key) {
  return s->position < s->size &&
         static_cast<unsigned char>(s->data[s->position]) == static_cast<unsigned char>(key);
}

// The decode of one model's map, shared by every model. `in_order(entries, &entry)` may first
// take the leading entries whose keys arrive in ascending order (the usual case) and advances
// `entry` past them; the remaining entries go one by one through `field(key, &known)`, which
// decodes the value of a key the model has (known := true) or consumes nothing (known :=
// false); unknown values are skipped. A key that occurs twice is decoded twice.
template <typename InOrderFn, typename FieldFn>
bool UnpackModelMap(MsgpackContext* ctx, bool* is_nil, bool* unknown_seen, bool* valid,
                    InOrderFn&& in_order, FieldFn&& field) {
  *is_nil = true;
  msgpack::Header h;
  if (!ReadModelMapHeader(ctx, &h)) {
    *valid = false;
    return false;
  }
  if (h.kind == msgpack::Kind::kNil) {
    *valid = false;
    return true;
  }
  if (h.kind != msgpack::Kind::kMap) {
    *valid = false;
    return Fail(ctx, kMsgpackTypeMismatch);
  }
  uint32_t entry = 0;
  if (!in_order(h.length, &entry)) {
    *valid = false;
    return false;
  }
  for (; entry < h.length; ++entry) {
    int64_t key = 0;
    if (!ReadModelKey(ctx, &key) || key <= 0) {
      *valid = false;
      return Fail(ctx, kMsgpackInvalid);
    }
    bool known = false;
    if (!field(key, &known)) {
      *valid = false;
      return false;
    }
    if (known) continue;
    if (!msgpack::SkipValue(ctx)) {
      *valid = false;
      return false;
    }
    if (unknown_seen != nullptr) *unknown_seen = true;
  }
  *is_nil = false;
  *valid = true;
  return true;
}

// Encodes into `*out` through a BufferSink: whatever capacity `out` already has is used first,
// so a caller that reserved enough pays a single allocation (or none).
template <typename PackFn>
bool PackInto(std::string* out, PackFn&& pack) {
  out->resize(out->capacity());
  BufferSink sink{out, 0};
  MsgpackContext ctx = MakeWriteContext(&sink);
  const bool ok = pack(&ctx);
  out->resize(sink.used);
  return ok;
}

// Bodies whose bound fits are written on the stack and copied into `*out` at their exact size:
// std::string (before C++23) cannot be given uninitialised room, so writing in place would mean
// zero-filling it first, and the copy costs what the zero-fill would. Requests stay far below.
constexpr size_t kStackBody = 8192;

// Beyond the stack buffer: written in place in `*out`, zero-filled first (amortised over many
// kilobytes of encoding), or through the stream writer when the bound says that no buffer
// should hold it (a value too long for MessagePack's 32-bit lengths has a bound beyond them).
template <typename M>
TESSEL_NOINLINE bool PackLarge(const M& model, uint64_t bound, std::string* out) {
  constexpr size_t kScratch = msgpack::detail::kOverstore;
  if (bound >= std::min<uint64_t>(0xFFFFFFFFu, out->max_size()) - kScratch) {
    return PackInto(out, [&](MsgpackContext* ctx) { return model.Pack(ctx); });
  }
  out->resize(static_cast<size_t>(bound) + kScratch);
  char* begin = &(*out)[0];
  out->resize(static_cast<size_t>(model.PackTo(begin) - begin));
  return true;
}

// The body in [begin, end) into `*out`.
TESSEL_INLINE void AssignBody(std::string* out, const char* begin, const char* end) {
  const size_t size = static_cast<size_t>(end - begin);
  if (out->capacity() >= size) {
    out->assign(begin, size);
  } else {
    // Built at its exact size: cheaper than growing the string that is there.
    *out = std::string(begin, size);
  }
}

// A model's map header: one byte for fewer than 16 fields, known at compile time; otherwise
// it depends on how many are present (a model has at most 100 fields, so never 32 bits).
template <int kFields>
TESSEL_INLINE char* PutMapHeader(char* p, uint32_t present) {
  if (kFields < 16) {
    *p = static_cast<char>(0x80 | present);
    return p + 1;
  }
  return msgpack::detail::PutContainerHeader(p, present, 0x80, 0xde);
}
constexpr uint64_t MapHeaderBound(int fields) {
  return fields < 16 ? 1 : 3;
}

bool AddJsonMember(const std::string& key, rapidjson::Value* value, JsonSerializeContext* out);

}  // namespace detail

// A field holding a T: std::string, int, int64_t, bool, float, std::vector<std::string>,
// std::vector<M> or a model M.
template <typename T>
class ModelValue : public BaseModelValue {
 public:
  using value_type = T;
  using Traits = detail::ValueTraits<T>;

  ModelValue() : value() {}

  // Assigns a value and marks the field present.
  void Set(const T& v) {
    value = v;
    has_value = true;
  }
  void Set(T&& v) {
    value = std::move(v);
    has_value = true;
  }

  void Clear() final {
    has_value = false;
    Traits::Reset(&value);
  }
  void MergeFrom(const BaseModelValue& other) override {
    const auto& o = static_cast<const ModelValue<T>&>(other);
    if (o.has_value && !has_value) {
      value = o.value;
      has_value = true;
    }
  }
  bool Pack(MsgpackContext* ctx) const override { return Traits::Pack(ctx, value); }
  bool Unpack(MsgpackContext* ctx, bool* is_nil, bool* unknown_seen) override {
    return Traits::Unpack(ctx, is_nil, unknown_seen, &value);
  }
  // The base's rule, with the read inlined: one virtual call per decoded field.
  bool UnpackField(MsgpackContext* ctx, bool* is_nil, bool* unknown_seen) final {
    if (!Traits::Unpack(ctx, is_nil, unknown_seen, &value)) return false;
    has_value = !*is_nil;
    return true;
  }
  bool FromJson(const JsonDeSerializeContext& in) override {
    has_value = true;
    return in.value != nullptr && Traits::FromJson(*in.value, &value);
  }
  bool ToJson(const std::string& key, JsonSerializeContext* out) const override {
    rapidjson::Value v;
    if (!Traits::ToJson(value, &v, *out->allocator)) return false;
    // An empty nested object is left out.
    if (detail::kIsModel<T> && v.IsObject() && v.MemberCount() == 0) return true;
    return detail::AddJsonMember(key, &v, out);
  }

  T value;
};

// A nested-model field that merges field by field instead of copying the whole model.
template <typename M>
class ObjectModelValue : public ModelValue<M> {
 public:
  void MergeFrom(const BaseModelValue& other) override {
    const auto& o = static_cast<const ObjectModelValue<M>&>(other);
    if (!o.has_value) return;
    M& mine = this->value;
    M& theirs = const_cast<M&>(o.value);
    const int count = mine.FieldCount();
    if (count == theirs.FieldCount() && count <= kMaxModelFields) {
      BaseModelValue* a[kMaxModelFields];
      BaseModelValue* b[kMaxModelFields];
      mine.GetFields(a);
      theirs.GetFields(b);
      for (int i = 0; i < count; ++i) {
        if (a[i] != nullptr && b[i] != nullptr) a[i]->MergeFrom(*b[i]);
      }
    }
    this->has_value = true;
  }
};

namespace detail {

// One field of a model whose type is known: no virtual call.
template <typename Field>
TESSEL_INLINE bool UnpackFieldDirect(Field& f, MsgpackContext* ctx, bool* unknown_seen) {
  bool is_nil = false;
  if (!Field::Traits::Unpack(ctx, &is_nil, unknown_seen, &f.value)) return false;
  f.has_value = !is_nil;
  return true;
}

template <typename Field>
TESSEL_INLINE bool PackFieldDirect(const Field& f, uint32_t key, MsgpackContext* ctx) {
  return !f.has_value || (msgpack::WriteKey(ctx, key) && Field::Traits::Pack(ctx, f.value));
}

// Every field counts, present or not: summing without a test is cheaper than the test.
template <typename Field>
TESSEL_INLINE uint64_t FieldBound(const Field& f) {
  return Field::Traits::kBound + Field::Traits::VarBound(f.value);
}

// Keys are 1 to kMaxModelFields: one positive-fixint byte.
// kAllPresent: the model has every field present, so no field's flag is read.
template <bool kAllPresent, typename Field>
TESSEL_INLINE char* PutField(char* p, const Field& f, uint32_t key) {
  return Field::Traits::PutKeyed(p, key, f.value, kAllPresent || f.has_value);
}

template <typename M>
using IfGeneratedModel = decltype(M::kFieldCount);

}  // namespace detail

// Packb for a generated model: the same bytes as Packb(const BaseModel&), in one pass with every
// field's type known. One allocation, of the exact size, or none when `out` has the capacity.
template <typename M, typename = detail::IfGeneratedModel<M>>
TESSEL_FLATTEN bool Packb(const M& model, std::string* out) {
  const uint64_t bound = model.PackBound();
  if (bound > detail::kStackBody - msgpack::detail::kOverstore) {
    return detail::PackLarge(model, bound, out);
  }
  char buffer[detail::kStackBody];
  detail::AssignBody(out, buffer, model.PackTo(buffer));
  return true;
}

// The same, building the body where the caller keeps it.
template <typename M, typename = detail::IfGeneratedModel<M>>
TESSEL_FLATTEN std::string Packb(const M& model) {
  const uint64_t bound = model.PackBound();
  if (bound > detail::kStackBody - msgpack::detail::kOverstore) {
    std::string body;
    detail::PackLarge(model, bound, &body);
    return body;
  }
  char buffer[detail::kStackBody];
  return std::string(buffer, model.PackTo(buffer));
}

}  // namespace idl
}  // namespace tessel
