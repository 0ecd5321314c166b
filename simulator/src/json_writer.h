// JSON rendering of models with the field names of their tables, written with rapidjson.
#pragma once

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <string>

#include "classScene/class_scene_models.h"
#include "rtc/rtc_models.h"
#include "tessel/idl/service_exception.h"

namespace rtc_sim {
namespace detail {

using JsonWriter = rapidjson::Writer<rapidjson::StringBuffer>;

// VisitFields(model, visitor): visitor(name, field) for every field of the model's table, wire-only
// fields included, in key order.
#define RTC_SIM_VISIT_FIELD(type, name) v(#name, m.name);
#define RTC_SIM_DECLARE_VISITOR(Model, FIELDS)       \
  template <typename V>                              \
  void VisitFields(const Model& m, V& v) {           \
    (void)m;                                         \
    (void)v;                                         \
    FIELDS(RTC_SIM_VISIT_FIELD, RTC_SIM_VISIT_FIELD) \
  }
#define RTC_SIM_NESTED_VISITOR(Name, FIELDS) RTC_SIM_DECLARE_VISITOR(::rtc::Name##Model, FIELDS)
VANTA_RTC_NESTED_RECORDS(RTC_SIM_NESTED_VISITOR)
#define RTC_SIM_RTC_VISITORS(Op, REQ, RSP, suffix, failure, missing) \
  RTC_SIM_DECLARE_VISITOR(::rtc::Op##ReqModel, REQ)                  \
  RTC_SIM_DECLARE_VISITOR(::rtc::Op##RspModel, RSP)
VANTA_RTC_OPERATIONS(RTC_SIM_RTC_VISITORS)
#define RTC_SIM_CLASS_VISITORS(Op, REQ, RSP, suffix, failure) \
  RTC_SIM_DECLARE_VISITOR(::classScene::Op##ReqModel, REQ)    \
  RTC_SIM_DECLARE_VISITOR(::classScene::Op##RspModel, RSP)
VANTA_SCENECLASS_OPERATIONS(RTC_SIM_CLASS_VISITORS)
#undef RTC_SIM_CLASS_VISITORS
#undef RTC_SIM_RTC_VISITORS
#undef RTC_SIM_NESTED_VISITOR
#undef RTC_SIM_DECLARE_VISITOR
#undef RTC_SIM_VISIT_FIELD

// The error body, in key order (key 3 is carried by no record).
template <typename V>
void VisitFields(const tessel::idl::ServiceException& m, V& v) {
  v("code", m.code);
  v("reason", m.reason);
  v("unused3", m.unused3);
  v("developer_message", m.developer_message);
  v("more_info", m.more_info);
  v("scope", m.scope);
}

// A float in the fewest digits that read back as the same float (0.1f is 0.1, not
// 0.10000000149011612).
void WriteFloat(JsonWriter& w, float f);

// Writes the present fields of a model as one JSON object.
class FieldWriter {
 public:
  explicit FieldWriter(JsonWriter& w) : w_(w) {}

  template <typename M>
  void Object(const M& model) {
    w_.StartObject();
    VisitFields(model, *this);
    w_.EndObject();
  }

  void operator()(const char* name, const tessel::idl::ModelValue<std::string>& f) {
    if (Key(name, f)) w_.String(f.value.data(), static_cast<rapidjson::SizeType>(f.value.size()));
  }
  void operator()(const char* name, const tessel::idl::ModelValue<int>& f) {
    if (Key(name, f)) w_.Int(f.value);
  }
  void operator()(const char* name, const tessel::idl::ModelValue<int64_t>& f) {
    if (Key(name, f)) w_.Int64(f.value);
  }
  void operator()(const char* name, const tessel::idl::ModelValue<bool>& f) {
    if (Key(name, f)) w_.Bool(f.value);
  }
  void operator()(const char* name, const tessel::idl::ModelValue<float>& f) {
    if (Key(name, f)) WriteFloat(w_, f.value);
  }
  void operator()(const char* name, const tessel::idl::ModelValue<std::vector<std::string>>& f) {
    if (!Key(name, f)) return;
    w_.StartArray();
    for (const std::string& s : f.value)
      w_.String(s.data(), static_cast<rapidjson::SizeType>(s.size()));
    w_.EndArray();
  }
  template <typename M>
  void operator()(const char* name, const tessel::idl::ModelValue<std::vector<M>>& f) {
    if (!Key(name, f)) return;
    w_.StartArray();
    for (const M& m : f.value) Object(m);
    w_.EndArray();
  }
  template <typename M>
  void operator()(const char* name, const tessel::idl::ObjectModelValue<M>& f) {
    if (Key(name, f)) Object(f.value);
  }

 private:
  bool Key(const char* name, const tessel::idl::BaseModelValue& f) {
    if (f.has_value) w_.Key(name);
    return f.has_value;
  }
  JsonWriter& w_;
};

// `body` decoded as M and rendered; false (and nothing written) when it does not decode.
template <typename M>
bool RenderBody(const std::string& body, std::string* json) {
  M model;
  if (!model.Unpackb(body, nullptr)) return false;
  rapidjson::StringBuffer buffer;
  JsonWriter writer(buffer);
  FieldWriter(writer).Object(model);
  json->assign(buffer.GetString(), buffer.GetSize());
  return true;
}

}  // namespace detail
}  // namespace rtc_sim
