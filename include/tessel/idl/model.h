// IDL models: typed fields with presence flags, carried on the wire as MessagePack maps keyed by
// field position (key = index + 1), and convertible to and from JSON objects keyed by the
// decimal index.
//
// Models and values are plain objects without locks; one thread at a time builds, encodes or
// decodes a given object. Nothing here throws: failures are false results, and a failed decode
// keeps what it decoded before the failure.
#pragma once

#include <cstdint>
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

// Per-type codec of the value held by a ModelValue<T>.
template <typename T, typename Enable = void>
struct ValueTraits;

bool PackString(MsgpackContext* ctx, const std::string& v);
bool UnpackString(MsgpackContext* ctx, bool* is_nil, std::string* v);
bool UnpackInt32(MsgpackContext* ctx, bool* is_nil, int* v);
bool UnpackInt64(MsgpackContext* ctx, bool* is_nil, int64_t* v);
bool UnpackBool(MsgpackContext* ctx, bool* is_nil, bool* v);
bool UnpackFloat(MsgpackContext* ctx, bool* is_nil, float* v);
// Reads a vector header: nil sets *is_nil; otherwise *count and a reservation hint.
bool UnpackArrayHeader(MsgpackContext* ctx, bool* is_nil, uint32_t* count, uint32_t* reserve);

bool JsonToString(const rapidjson::Value& v, std::string* out);
bool JsonToInt32(const rapidjson::Value& v, int* out);
bool JsonToInt64(const rapidjson::Value& v, int64_t* out);
bool JsonToFloat(const rapidjson::Value& v, float* out);
bool JsonToBool(const rapidjson::Value& v, bool* out);

template <>
struct ValueTraits<std::string> {
  static void Reset(std::string* v) { v->clear(); }
  static bool Pack(MsgpackContext* ctx, const std::string& v) { return PackString(ctx, v); }
  static bool Unpack(MsgpackContext* ctx, bool* is_nil, bool*, std::string* v) {
    return UnpackString(ctx, is_nil, v);
  }
  static bool ToJson(const std::string& v, rapidjson::Value* out,
                     rapidjson::Document::AllocatorType& a) {
    out->SetString(v.data(), static_cast<rapidjson::SizeType>(v.size()), a);
    return true;
  }
  static bool FromJson(const rapidjson::Value& in, std::string* v) { return JsonToString(in, v); }
};

template <>
struct ValueTraits<int> {
  static void Reset(int* v) { *v = 0; }
  static bool Pack(MsgpackContext* ctx, int v) { return msgpack::WriteInt(ctx, v); }
  static bool Unpack(MsgpackContext* ctx, bool* is_nil, bool*, int* v) {
    return UnpackInt32(ctx, is_nil, v);
  }
  static bool ToJson(int v, rapidjson::Value* out, rapidjson::Document::AllocatorType&) {
    out->SetInt(v);
    return true;
  }
  static bool FromJson(const rapidjson::Value& in, int* v) { return JsonToInt32(in, v); }
};

template <>
struct ValueTraits<int64_t> {
  static void Reset(int64_t* v) { *v = 0; }
  static bool Pack(MsgpackContext* ctx, int64_t v) { return msgpack::WriteInt(ctx, v); }
  static bool Unpack(MsgpackContext* ctx, bool* is_nil, bool*, int64_t* v) {
    return UnpackInt64(ctx, is_nil, v);
  }
  static bool ToJson(int64_t v, rapidjson::Value* out, rapidjson::Document::AllocatorType&) {
    out->SetInt64(v);
    return true;
  }
  static bool FromJson(const rapidjson::Value& in, int64_t* v) { return JsonToInt64(in, v); }
};

template <>
struct ValueTraits<bool> {
  static void Reset(bool* v) { *v = false; }
  static bool Pack(MsgpackContext* ctx, bool v) { return msgpack::WriteBool(ctx, v); }
  static bool Unpack(MsgpackContext* ctx, bool* is_nil, bool*, bool* v) {
    return UnpackBool(ctx, is_nil, v);
  }
  static bool ToJson(bool v, rapidjson::Value* out, rapidjson::Document::AllocatorType&) {
    out->SetBool(v);
    return true;
  }
  static bool FromJson(const rapidjson::Value& in, bool* v) { return JsonToBool(in, v); }
};

template <>
struct ValueTraits<float> {
  static void Reset(float* v) { *v = 0.0f; }
  static bool Pack(MsgpackContext* ctx, float v) { return msgpack::WriteFloat(ctx, v); }
  static bool Unpack(MsgpackContext* ctx, bool* is_nil, bool*, float* v) {
    return UnpackFloat(ctx, is_nil, v);
  }
  static bool ToJson(float v, rapidjson::Value* out, rapidjson::Document::AllocatorType&) {
    out->SetDouble(static_cast<double>(v));
    return true;
  }
  static bool FromJson(const rapidjson::Value& in, float* v) { return JsonToFloat(in, v); }
};

// A nested model: a map on the wire, an object in JSON.
template <typename M>
struct ValueTraits<M, typename std::enable_if<kIsModel<M>>::type> {
  static void Reset(M* v) { v->ClearFields(); }
  static bool Pack(MsgpackContext* ctx, const M& v) { return v.Pack(ctx); }
  static bool Unpack(MsgpackContext* ctx, bool* is_nil, bool* unknown_seen, M* v) {
    return v->Unpack(ctx, is_nil, unknown_seen);
  }
  static bool ToJson(const M& v, rapidjson::Value* out, rapidjson::Document::AllocatorType& a) {
    out->SetObject();
    JsonSerializeContext ctx{out, &a};
    return v.ToJsonObject(&ctx);
  }
  static bool FromJson(const rapidjson::Value& in, M* v) {
    if (!in.IsObject()) return false;
    return v->FromJsonObject(JsonDeSerializeContext{&in});
  }
};

// A list of texts or of nested models.
template <typename E>
struct ValueTraits<std::vector<E>> {
  using Elem = ValueTraits<E>;
  static void Reset(std::vector<E>* v) { v->clear(); }
  static bool Pack(MsgpackContext* ctx, const std::vector<E>& v) {
    if (v.size() > 0xFFFFFFFFu) return false;
    if (!msgpack::WriteArrayHeader(ctx, static_cast<uint32_t>(v.size()))) return false;
    for (const E& e : v) {
      if (!Elem::Pack(ctx, e)) return false;
    }
    return true;
  }
  // Elements are appended to what the vector holds; a nil element is left out; a failing
  // element fails the whole value and keeps the elements appended before it.
  static bool Unpack(MsgpackContext* ctx, bool* is_nil, bool* unknown_seen, std::vector<E>* v) {
    uint32_t count = 0;
    uint32_t reserve = 0;
    if (!UnpackArrayHeader(ctx, is_nil, &count, &reserve)) return false;
    if (*is_nil) return true;
    v->reserve(v->size() + reserve);
    for (uint32_t i = 0; i < count; ++i) {
      E element{};
      bool element_nil = false;
      if (!Elem::Unpack(ctx, &element_nil, unknown_seen, &element)) return false;
      if (!element_nil) v->push_back(std::move(element));
    }
    return true;
  }
  static bool ToJson(const std::vector<E>& v, rapidjson::Value* out,
                     rapidjson::Document::AllocatorType& a) {
    out->SetArray();
    for (const E& e : v) {
      rapidjson::Value element;
      if (!Elem::ToJson(e, &element, a)) return false;
      out->PushBack(element, a);
    }
    return true;
  }
  static bool FromJson(const rapidjson::Value& in, std::vector<E>* v) {
    if (!in.IsArray()) return false;
    for (const auto& item : in.GetArray()) {
      E element{};
      if (!Elem::FromJson(item, &element)) return false;
      v->push_back(std::move(element));
    }
    return true;
  }
};

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

  void Clear() override {
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

}  // namespace idl
}  // namespace tessel
