// The JSON-conversion check shared by the fuzz target and the corpus replay test: JSON text is
// converted into a model, and whatever came of it must convert onward stably.
//
// Input: byte 0 picks the model (below 0x80: the test model with a field of every type, built
// both from the field tables and by hand, which must agree; otherwise a model of the operation
// tables, in order, then the nested RTC models), the rest is the JSON text.
//
// Rules: a failed conversion leaves the model invalid; whatever the model holds then (also
// after a failure) converts to JSON; that JSON converts into a fresh model and back to the same
// text; and that model's MessagePack encoding decodes into a model with the same JSON again.
#pragma once

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "classScene/class_scene_models.h"
#include "codec_all_types.h"
#include "rtc/rtc_models.h"
#include "tessel/idl/json_context.h"
#include "tessel/idl/model.h"

namespace fuzz_check {
namespace json_detail {

// The model's JSON as text (NaN and infinities written out, as a float field may hold them);
// sets `failed` when the conversion reports a failure.
inline std::string ToJsonText(const tessel::idl::BaseModel& model, bool* failed) {
  rapidjson::Document doc;
  doc.SetObject();
  tessel::idl::JsonSerializeContext ctx{&doc, &doc.GetAllocator()};
  if (!model.ToJsonObject(&ctx)) *failed = true;
  rapidjson::StringBuffer text;
  rapidjson::Writer<rapidjson::StringBuffer, rapidjson::UTF8<>, rapidjson::UTF8<>,
                    rapidjson::CrtAllocator, rapidjson::kWriteNanAndInfFlag>
      writer(text);
  doc.Accept(writer);
  return std::string(text.GetString(), text.GetSize());
}

template <class M>
bool FromJsonText(const std::string& text, M* model) {
  rapidjson::Document doc;
  doc.Parse<rapidjson::kParseNanAndInfFlag>(text.data(), text.size());
  return !doc.HasParseError() && model->FromJsonObject(tessel::idl::JsonDeSerializeContext{&doc});
}

// Converts `json` into M; returns the JSON the model then gives, or a complaint in `complaint`.
template <class M>
std::string Check(const rapidjson::Value& json, const std::string& model, std::string* complaint) {
  const std::string name = model + ": ";
  M first;
  if (!first.FromJsonObject(tessel::idl::JsonDeSerializeContext{&json}) && first.valid) {
    *complaint = name + "a failed conversion left the model valid";
    return "";
  }
  bool failed = false;
  const std::string text = ToJsonText(first, &failed);
  if (failed) {
    *complaint = name + "the converted model does not convert back to JSON";
    return "";
  }
  M second;
  if (!FromJsonText(text, &second) || ToJsonText(second, &failed) != text || failed) {
    *complaint = name + "its own JSON does not convert stably: " + text;
    return "";
  }
  const std::string bytes = tessel::idl::Packb(second);
  M third;
  if (!third.Unpackb(bytes, nullptr) || !third.valid || ToJsonText(third, &failed) != text) {
    *complaint = name + "its MessagePack encoding does not give the same JSON: " + text;
  }
  return text;
}

// The test model built from the tables and by hand must read any JSON alike.
inline std::string CheckBothBuilds(const rapidjson::Value& json) {
  std::string complaint;
  const std::string typed = Check<codec_test::AllModel>(json, "AllModel", &complaint);
  if (!complaint.empty()) return complaint;
  const std::string generic = Check<codec_test::GenericAll>(json, "GenericAll", &complaint);
  if (complaint.empty() && generic != typed) {
    complaint = "the hand-written model gave " + generic + ", the generated one " + typed;
  }
  return complaint;
}

template <class M>
std::string CheckOne(const rapidjson::Value& json) {
  std::string complaint;
  Check<M>(json, M::QualifiedName(), &complaint);
  return complaint;
}

using Checker = std::string (*)(const rapidjson::Value&);
#define JSON_CHECK_RTC(Op, ...) &CheckOne<::rtc::Op##ReqModel>, &CheckOne<::rtc::Op##RspModel>,
#define JSON_CHECK_SCENE(Op, ...) \
  &CheckOne<::classScene::Op##ReqModel>, &CheckOne<::classScene::Op##RspModel>,
#define JSON_CHECK_NESTED(Name, ...) &CheckOne<::rtc::Name##Model>,
inline const Checker kModels[] = {VANTA_RTC_OPERATIONS(JSON_CHECK_RTC) VANTA_SCENECLASS_OPERATIONS(
    JSON_CHECK_SCENE) VANTA_RTC_NESTED_RECORDS(JSON_CHECK_NESTED)};
#undef JSON_CHECK_RTC
#undef JSON_CHECK_SCENE
#undef JSON_CHECK_NESTED

}  // namespace json_detail

// The whole check of one input; "" when every rule held, otherwise what broke.
inline std::string CheckJsonConversion(const uint8_t* data, size_t size) {
  using json_detail::kModels;
  if (size < 1) return "";
  rapidjson::Document doc;
  // Iterative parsing: how deep the text nests is the parser's business, not the stack's.
  doc.Parse<rapidjson::kParseIterativeFlag | rapidjson::kParseNanAndInfFlag>(
      reinterpret_cast<const char*>(data) + 1, size - 1);
  if (doc.HasParseError()) return "";
  if (data[0] < 0x80) return json_detail::CheckBothBuilds(doc);
  return kModels[(data[0] - 0x80) % (sizeof(kModels) / sizeof(kModels[0]))](doc);
}

}  // namespace fuzz_check
