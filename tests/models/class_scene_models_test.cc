// Golden bytes of the class-scene adaptor models and the conversion of their responses.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "classScene/class_scene_models.h"
#include "support/codec_bytes.h"
#include "support/codec_roundtrip.h"

namespace {

using codec_test::Bytes;
using codec_test::Hex;
using tessel::idl::ToModel;
using tessel::idl::ToRecord;
namespace vs = vanta::sceneclass;

template <typename Record>
std::string Body(const Record& record) {
  const auto model = ToModel(record);
  const std::string typed = tessel::idl::Packb(model);
  EXPECT_EQ(typed, tessel::idl::Packb(static_cast<const tessel::idl::BaseModel&>(model)));
  return Hex(typed);
}

TEST(ClassSceneModelsTest, RequestBodiesCarryEveryKey) {
  EXPECT_EQ(Body(vs::CreateClassReq{}), "82 01 a0 02 a0");
  EXPECT_EQ(Body(vs::CreateClassReq{"name", "k"}), "82 01 a4 6e 61 6d 65 02 a1 6b");
  EXPECT_EQ(Body(vs::GetClassDetailReq{"c-9"}), "81 01 a3 63 2d 39");
  EXPECT_EQ(Body(vs::StartClassReq{"c-9"}), "81 01 a3 63 2d 39");
  EXPECT_EQ(Body(vs::StopClassReq{""}), "81 01 a0");
  EXPECT_EQ(Body(vs::StopClassReq{std::string(32, 'c')}),
            Hex(Bytes("81 01 da 00 20") + std::string(32, 'c')));
}

// Thirteen keys; the record carries the first twelve.
const char kFullDetail[] =
    "8d 01 a2 63 31 02 a2 63 32 03 a2 63 33 04 a2 63 34 05 d2 80 00 00 00 "
    "06 cf 7f ff ff ff ff ff ff ff 07 d3 80 00 00 00 00 00 00 00 08 a2 63 38 09 a2 63 39 "
    "0a a3 63 31 30 0b a3 63 31 31 0c a3 63 31 32 0d a3 63 31 33";

template <typename Model, typename Record>
void CheckDetailResponse(const char* name) {
  SCOPED_TRACE(name);
  Model model;
  ASSERT_TRUE(model.Unpackb(Bytes(kFullDetail), nullptr));
  EXPECT_EQ(model.field13.value, "c13");
  const Record r = ToRecord(model);
  EXPECT_EQ(r.field1, "c1");
  EXPECT_EQ(r.field2, "c2");
  EXPECT_EQ(r.field3, "c3");
  EXPECT_EQ(r.field4, "c4");
  EXPECT_EQ(r.field5, INT32_MIN);
  EXPECT_EQ(r.field6, INT64_MAX);
  EXPECT_EQ(r.field7, INT64_MIN);
  EXPECT_EQ(r.field8, "c8");
  EXPECT_EQ(r.field9, "c9");
  EXPECT_EQ(r.field10, "c10");
  EXPECT_EQ(r.field11, "c11");
  EXPECT_EQ(r.field12, "c12");
  EXPECT_EQ(codec_test::CheckDecodeRoundTrip(Bytes(kFullDetail)), "");

  // Only key 13: decodes, and the record is all defaults.
  Model only13;
  ASSERT_TRUE(only13.Unpackb(Bytes("81 0d a3 78 79 7a"), nullptr));
  EXPECT_EQ(only13.field13.value, "xyz");
  EXPECT_EQ(ToRecord(only13), Record{});

  // Key 5 is 32-bit; keys 6 and 7 take 64-bit values.
  const struct {
    const char* body;
    bool ok;
  } widths[] = {
      {"81 05 ce 7f ff ff ff", true},
      {"81 05 ce 80 00 00 00", false},
      {"81 05 cf 00 00 00 01 00 00 00 00", false},
      {"81 05 d3 ff ff ff ff ff ff ff ff", false},
      {"81 06 cf 00 00 00 01 00 00 00 00", true},
      {"81 06 ce 80 00 00 00", true},
      {"81 07 d3 ff ff ff fe ff ff ff ff", true},
      {"81 07 cf 80 00 00 00 00 00 00 00", false},
  };
  for (const auto& w : widths) {
    SCOPED_TRACE(w.body);
    Model m;
    EXPECT_EQ(m.Unpackb(Bytes(w.body), nullptr), w.ok);
    EXPECT_EQ(m.valid, w.ok);
  }
  Model wide;
  ASSERT_TRUE(wide.Unpackb(Bytes("82 06 cf 00 00 00 01 00 00 00 00 07 d3 ff ff ff fe ff ff ff ff"),
                           nullptr));
  EXPECT_EQ(ToRecord(wide).field6, INT64_C(0x100000000));
  EXPECT_EQ(ToRecord(wide).field7, INT64_C(-4294967297));
}

TEST(ClassSceneModelsTest, DetailResponses) {
  CheckDetailResponse<classScene::CreateClassRspModel, vs::CreateClassRsp>("CreateClass");
  CheckDetailResponse<classScene::GetClassDetailRspModel, vs::GetClassDetailRsp>("GetClassDetail");
}

template <typename Model>
void CheckEmptyResponse(const char* name) {
  SCOPED_TRACE(name);
  EXPECT_EQ(Model().FieldCount(), 0);
  EXPECT_EQ(Hex(tessel::idl::Packb(Model())), "80");
  for (const char* body : {"80", "82 01 a1 61 0d a0", "81 01 d9 01 62"}) {
    SCOPED_TRACE(body);
    Model m;
    bool unknown = false;
    EXPECT_TRUE(m.Unpackb(Bytes(body), &unknown));
    EXPECT_EQ(unknown, std::string(body) != "80");
  }
  Model bin;
  EXPECT_FALSE(bin.Unpackb(Bytes("81 01 c4 00"), nullptr));
}

TEST(ClassSceneModelsTest, StartAndStopResponsesHaveNoFields) {
  CheckEmptyResponse<classScene::StartClassRspModel>("StartClass");
  CheckEmptyResponse<classScene::StopClassRspModel>("StopClass");
}

}  // namespace
