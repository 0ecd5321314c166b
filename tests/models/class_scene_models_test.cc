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
  std::string complaint;
  const std::string bytes = codec_test::PackEveryWay(ToModel(record), &complaint);
  EXPECT_EQ(complaint, "");
  return Hex(bytes);
}

TEST(ClassSceneModelsTest, RequestBodiesCarryEveryKey) {
  EXPECT_EQ(Body(vs::CreateClassReq{"name", "k"}), "82 01 a4 6e 61 6d 65 02 a1 6b");
  EXPECT_EQ(Body(vs::GetClassDetailReq{"c-9"}), "81 01 a3 63 2d 39");
  EXPECT_EQ(Body(vs::StartClassReq{"c-9"}), "81 01 a3 63 2d 39");
  EXPECT_EQ(Body(vs::StopClassReq{"c"}), "81 01 a1 63");
}

// Thirteen keys; the record carries the first twelve. Key 5 is 32-bit, keys 6 and 7 64-bit.
template <typename Model, typename Record>
void CheckDetailResponse() {
  const std::string full = Bytes(
      "8d 01 a2 63 31 02 a2 63 32 03 a2 63 33 04 a2 63 34 05 d2 80 00 00 00 "
      "06 cf 7f ff ff ff ff ff ff ff 07 d3 80 00 00 00 00 00 00 00 08 a2 63 38 09 a2 63 39 "
      "0a a3 63 31 30 0b a3 63 31 31 0c a3 63 31 32 0d a3 63 31 33");
  Model model;
  ASSERT_TRUE(model.Unpackb(full, nullptr));
  EXPECT_EQ(model.field13.value, "c13");
  const Record expected{"c1",      "c2", "c3", "c4",  INT32_MIN, INT64_MAX,
                        INT64_MIN, "c8", "c9", "c10", "c11",     "c12"};
  EXPECT_EQ(ToRecord(model), expected);
  EXPECT_EQ(codec_test::CheckDecodeRoundTrip(full), "");
  EXPECT_FALSE(Model().Unpackb(Bytes("81 05 ce 80 00 00 00"), nullptr));
  EXPECT_TRUE(Model().Unpackb(Bytes("81 06 cf 00 00 00 01 00 00 00 00"), nullptr));
  EXPECT_TRUE(Model().Unpackb(Bytes("81 07 d3 ff ff ff fe ff ff ff ff"), nullptr));
}

TEST(ClassSceneModelsTest, DetailResponses) {
  CheckDetailResponse<classScene::CreateClassRspModel, vs::CreateClassRsp>();
  CheckDetailResponse<classScene::GetClassDetailRspModel, vs::GetClassDetailRsp>();
}

TEST(ClassSceneModelsTest, StartAndStopResponsesHaveNoFields) {
  for (const std::string& packed : {Hex(tessel::idl::Packb(classScene::StartClassRspModel())),
                                    Hex(tessel::idl::Packb(classScene::StopClassRspModel()))}) {
    EXPECT_EQ(packed, "80");
  }
  bool unknown = false;
  EXPECT_TRUE(classScene::StartClassRspModel().Unpackb(Bytes("82 01 a1 61 0d a0"), &unknown));
  EXPECT_TRUE(unknown);
  EXPECT_FALSE(classScene::StopClassRspModel().Unpackb(Bytes("81 01 c4 00"), nullptr));
}

}  // namespace
