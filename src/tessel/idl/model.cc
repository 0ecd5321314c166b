#include "tessel/idl/model.h"

#include <cerrno>
#include <cstdlib>

namespace tessel {
namespace idl {

using msgpack::Header;
using msgpack::Kind;

bool BaseModelValue::UnpackField(MsgpackContext* ctx, bool* is_nil, bool* unknown_seen) {
  if (!Unpack(ctx, is_nil, unknown_seen)) return false;
  has_value = !*is_nil;
  return true;
}

// ---- models ---------------------------------------------------------------------------------

bool BaseModel::Pack(MsgpackContext* ctx) const {
  BaseModelValue* fields[kMaxModelFields];
  auto* self = const_cast<BaseModel*>(this);
  const int count = FieldCount();
  if (count < 0 || count > kMaxModelFields) return false;
  self->GetFields(fields);
  uint32_t present = 0;
  for (int i = 0; i < count; ++i) {
    if (fields[i] != nullptr && fields[i]->has_value) ++present;
  }
  if (!msgpack::WriteMapHeader(ctx, present)) return false;
  for (int i = 0; i < count; ++i) {
    if (fields[i] == nullptr || !fields[i]->has_value) continue;
    if (!msgpack::WriteKey(ctx, static_cast<uint32_t>(i + 1))) return false;
    if (!fields[i]->Pack(ctx)) return false;
  }
  return true;
}

bool BaseModel::Unpack(MsgpackContext* ctx, bool* is_nil, bool* unknown_seen) {
  BaseModelValue* fields[kMaxModelFields];
  int count = FieldCount();
  if (count < 0 || count > kMaxModelFields) count = 0;
  if (count > 0) GetFields(fields);
  const auto no_order = [](uint32_t, uint32_t*) { return true; };
  return detail::UnpackModelMap(
      ctx, is_nil, unknown_seen, &valid, no_order, [&](int64_t key, bool* known) {
        if (key > count || fields[key - 1] == nullptr) return true;
        *known = true;
        bool field_is_nil = false;
        return fields[key - 1]->UnpackField(ctx, &field_is_nil, unknown_seen);
      });
}

bool BaseModel::Unpackb(const std::string& body, bool* unknown_seen) {
  BufferSource source{body.data(), body.size(), 0};
  MsgpackContext ctx = MakeReadContext(&source);
  bool is_nil = false;
  return Unpack(&ctx, &is_nil, unknown_seen);
}

void BaseModel::ClearFields() {
  BaseModelValue* fields[kMaxModelFields];
  const int count = FieldCount();
  if (count > 0 && count <= kMaxModelFields) {
    GetFields(fields);
    for (int i = 0; i < count; ++i) {
      if (fields[i] != nullptr) fields[i]->Clear();
    }
  }
  valid = false;
}

bool Packb(const BaseModel& model, std::string* out) {
  return detail::PackInto(out, [&](MsgpackContext* ctx) { return model.Pack(ctx); });
}

std::string Packb(const BaseModel& model) {
  std::string body;
  Packb(model, &body);
  return body;
}

// ---- JSON -----------------------------------------------------------------------------------

bool BaseModel::ToJsonObject(JsonSerializeContext* out) const {
  if (out == nullptr || out->object == nullptr || out->allocator == nullptr) return false;
  if (!out->object->IsObject()) out->object->SetObject();
  BaseModelValue* fields[kMaxModelFields];
  const int count = FieldCount();
  if (count < 0 || count > kMaxModelFields) return false;
  const_cast<BaseModel*>(this)->GetFields(fields);
  for (int i = 0; i < count; ++i) {
    if (fields[i] == nullptr || !fields[i]->has_value) continue;
    if (!fields[i]->ToJson(std::to_string(i), out)) return false;
  }
  return true;
}

bool BaseModel::FromJsonObject(const JsonDeSerializeContext& in) {
  if (in.value == nullptr || !in.value->IsObject()) {
    valid = false;
    return false;
  }
  BaseModelValue* fields[kMaxModelFields];
  const int count = FieldCount();
  if (count < 0 || count > kMaxModelFields) {
    valid = false;
    return false;
  }
  GetFields(fields);
  for (int i = 0; i < count; ++i) {
    if (fields[i] == nullptr) continue;
    const std::string name = std::to_string(i);
    auto member = in.value->FindMember(name.c_str());
    if (member == in.value->MemberEnd()) continue;
    if (!fields[i]->FromJson(JsonDeSerializeContext{&member->value})) {
      valid = false;
      return false;
    }
    fields[i]->has_value = true;
  }
  return true;
}

namespace detail {

bool AddJsonMember(const std::string& key, rapidjson::Value* value, JsonSerializeContext* out) {
  rapidjson::Value name(key.data(), static_cast<rapidjson::SizeType>(key.size()), *out->allocator);
  out->object->AddMember(name, *value, *out->allocator);
  return true;
}

namespace {

inline bool Mismatch(MsgpackContext* ctx) {
  if (ctx->error == kMsgpackOk) ctx->error = kMsgpackTypeMismatch;
  return false;
}

}  // namespace

bool UnpackString(MsgpackContext* ctx, bool* is_nil, std::string* v) {
  Header h;
  if (!msgpack::ReadHeader(ctx, &h)) return false;
  if (h.kind == Kind::kNil) {
    *is_nil = true;
    return true;
  }
  if (h.kind != Kind::kStr) return Mismatch(ctx);
  *is_nil = false;
  return msgpack::ReadStringPayload(ctx, h, v);
}

bool UnpackInt32(MsgpackContext* ctx, bool* is_nil, int* v) {
  Header h;
  if (!msgpack::ReadHeader(ctx, &h)) return false;
  if (h.kind == Kind::kNil) {
    *is_nil = true;
    return true;
  }
  if (!msgpack::HeaderToInt32(h, v)) return Mismatch(ctx);
  *is_nil = false;
  return true;
}

bool UnpackInt64(MsgpackContext* ctx, bool* is_nil, int64_t* v) {
  Header h;
  if (!msgpack::ReadHeader(ctx, &h)) return false;
  if (h.kind == Kind::kNil) {
    *is_nil = true;
    return true;
  }
  if (!msgpack::HeaderToInt64(h, v)) return Mismatch(ctx);
  *is_nil = false;
  return true;
}

bool UnpackBool(MsgpackContext* ctx, bool* is_nil, bool* v) {
  Header h;
  if (!msgpack::ReadHeader(ctx, &h)) return false;
  if (h.kind == Kind::kNil) {
    *is_nil = true;
    return true;
  }
  if (h.kind != Kind::kBool) return Mismatch(ctx);
  *v = h.boolean;
  *is_nil = false;
  return true;
}

bool UnpackFloat(MsgpackContext* ctx, bool* is_nil, float* v) {
  Header h;
  if (!msgpack::ReadHeader(ctx, &h)) return false;
  if (h.kind == Kind::kNil) {
    *is_nil = true;
    return true;
  }
  if (h.kind != Kind::kFloat32) return Mismatch(ctx);
  *v = h.f32;
  *is_nil = false;
  return true;
}

bool UnpackArrayHeader(MsgpackContext* ctx, bool* is_nil, uint32_t* count, uint32_t* reserve) {
  Header h;
  if (!msgpack::ReadHeader(ctx, &h)) return false;
  if (h.kind == Kind::kNil) {
    *is_nil = true;
    return true;
  }
  if (h.kind != Kind::kArray) return Mismatch(ctx);
  *is_nil = false;
  *count = h.length;
  *reserve = msgpack::ReservableElements(ctx, h.length);
  return true;
}

bool JsonToString(const rapidjson::Value& v, std::string* out) {
  if (!v.IsString()) return false;
  out->assign(v.GetString(), v.GetStringLength());
  return true;
}

namespace {

// Decimal text as the numeric fields accept it: leading digits are taken, anything else gives 0.
int64_t TextToInt64(const rapidjson::Value& v) {
  const std::string text(v.GetString(), v.GetStringLength());
  errno = 0;
  const long long n = std::strtoll(text.c_str(), nullptr, 10);
  return errno == 0 ? static_cast<int64_t>(n) : 0;
}

}  // namespace

bool JsonToInt32(const rapidjson::Value& v, int* out) {
  if (v.IsInt()) {
    *out = v.GetInt();
    return true;
  }
  if (v.IsString()) {
    *out = static_cast<int>(TextToInt64(v));
    return true;
  }
  return false;
}

bool JsonToInt64(const rapidjson::Value& v, int64_t* out) {
  if (v.IsInt64()) {
    *out = v.GetInt64();
    return true;
  }
  if (v.IsString()) {
    *out = TextToInt64(v);
    return true;
  }
  return false;
}

bool JsonToFloat(const rapidjson::Value& v, float* out) {
  if (v.IsNumber()) {
    *out = static_cast<float>(v.GetDouble());
    return true;
  }
  if (v.IsString()) {
    const std::string text(v.GetString(), v.GetStringLength());
    *out = std::strtof(text.c_str(), nullptr);
    return true;
  }
  return false;
}

bool JsonToBool(const rapidjson::Value& v, bool* out) {
  if (!v.IsBool()) return false;
  *out = v.GetBool();
  return true;
}

}  // namespace detail
}  // namespace idl
}  // namespace tessel
