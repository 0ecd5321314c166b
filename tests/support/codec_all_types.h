// Test models with a field of every type the codec knows, in two builds of the same layout:
// - AllModel / InnerModel come from the field-table macros, so they get the typed encode and
//   decode (in-order fast path, two-pass Packb);
// - GenericAll / GenericInner are written by hand against BaseModel alone, so every operation
//   on them goes through GetFields and the virtual field interface.
// Keys: 1 text, 2 small (int), 3 wide (int64), 4 flag, 5 real (float), 6 texts, 7 inners,
// 8 inner (merged field by field).
#pragma once

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "tessel/idl/model.h"
#include "tessel/idl/model_macros.h"
#include "vanta/record_macros.h"

// clang-format off
#define CODEC_TEST_INNER_FIELDS(F, H) \
  F(int32_t, number) F(std::string, text) F(std::vector<std::string>, texts)
#define CODEC_TEST_ALL_FIELDS(F, H) \
  F(std::string, text) F(int32_t, small) F(int64_t, wide) F(bool, flag) F(float, real) \
  F(std::vector<std::string>, texts) F(std::vector<::codec_test::Inner>, inners) \
  F(::codec_test::Inner, inner)
// clang-format on

namespace codec_test {
VANTA_DECLARE_RECORD(Inner, CODEC_TEST_INNER_FIELDS)
VANTA_DECLARE_RECORD(All, CODEC_TEST_ALL_FIELDS)
TESSEL_DECLARE_MODEL("codec_test", InnerModel, CODEC_TEST_INNER_FIELDS)
}  // namespace codec_test
TESSEL_BIND_RECORD(::codec_test::Inner, ::codec_test::InnerModel, CODEC_TEST_INNER_FIELDS)
namespace codec_test {
TESSEL_DECLARE_MODEL("codec_test", AllModel, CODEC_TEST_ALL_FIELDS)
}  // namespace codec_test
TESSEL_BIND_RECORD(::codec_test::All, ::codec_test::AllModel, CODEC_TEST_ALL_FIELDS)

namespace codec_test {

using tessel::idl::BaseModel;
using tessel::idl::BaseModelValue;
using tessel::idl::ModelValue;
using tessel::idl::ObjectModelValue;

class GenericInner : public BaseModel {
 public:
  int FieldCount() const override { return 3; }
  void GetFields(BaseModelValue** out) override {
    BaseModelValue* fields[] = {&number, &text, &texts};
    std::copy(std::begin(fields), std::end(fields), out);
  }

  ModelValue<int> number;
  ModelValue<std::string> text;
  ModelValue<std::vector<std::string>> texts;
};

class GenericAll : public BaseModel {
 public:
  int FieldCount() const override { return 8; }
  void GetFields(BaseModelValue** out) override {
    BaseModelValue* fields[] = {&text, &small, &wide, &flag, &real, &texts, &inners, &inner};
    std::copy(std::begin(fields), std::end(fields), out);
  }

  ModelValue<std::string> text;
  ModelValue<int> small;
  ModelValue<int64_t> wide;
  ModelValue<bool> flag;
  ModelValue<float> real;
  ModelValue<std::vector<std::string>> texts;
  ModelValue<std::vector<GenericInner>> inners;
  ObjectModelValue<GenericInner> inner;
};

}  // namespace codec_test
