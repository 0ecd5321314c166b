// Host-facing records of the class-scene adaptor. Field tables as in vanta/rtc/rtc_records.h:
// F(type, name) is carried by record and wire model, H(type, name) only by the wire model (the
// detail responses carry a thirteenth field that hosts never see).
#pragma once

#include <cstdint>
#include <string>

#include "vanta/record_macros.h"

// clang-format off
#define VANTA_SCENECLASS_CREATE_CLASS_REQ_FIELDS(F, H) F(std::string, field1) F(std::string, field2)
#define VANTA_SCENECLASS_GET_CLASS_DETAIL_REQ_FIELDS(F, H) F(std::string, field1)
#define VANTA_SCENECLASS_START_CLASS_REQ_FIELDS(F, H) F(std::string, field1)
#define VANTA_SCENECLASS_STOP_CLASS_REQ_FIELDS(F, H) F(std::string, field1)

#define VANTA_SCENECLASS_CLASS_DETAIL_FIELDS(F, H) \
  F(std::string, field1) F(std::string, field2) F(std::string, field3) F(std::string, field4) \
  F(int32_t, field5) F(int64_t, field6) F(int64_t, field7) F(std::string, field8) \
  F(std::string, field9) F(std::string, field10) F(std::string, field11) F(std::string, field12) \
  H(std::string, field13)
#define VANTA_SCENECLASS_CREATE_CLASS_RSP_FIELDS(F, H) VANTA_SCENECLASS_CLASS_DETAIL_FIELDS(F, H)
#define VANTA_SCENECLASS_GET_CLASS_DETAIL_RSP_FIELDS(F, H) VANTA_SCENECLASS_CLASS_DETAIL_FIELDS(F, H)
#define VANTA_SCENECLASS_START_CLASS_RSP_FIELDS(F, H)
#define VANTA_SCENECLASS_STOP_CLASS_RSP_FIELDS(F, H)

// The four adaptor operations in the order of SceneclassManager's slots:
// X(Op, request table, response table, uri suffix, failure text).
#define VANTA_SCENECLASS_OPERATIONS(X) \
  X(CreateClass, VANTA_SCENECLASS_CREATE_CLASS_REQ_FIELDS, VANTA_SCENECLASS_CREATE_CLASS_RSP_FIELDS, "createClass", "CreateClass failed,") \
  X(GetClassDetail, VANTA_SCENECLASS_GET_CLASS_DETAIL_REQ_FIELDS, VANTA_SCENECLASS_GET_CLASS_DETAIL_RSP_FIELDS, "getClassDetail", "GetClassDetail failed,") \
  X(StartClass, VANTA_SCENECLASS_START_CLASS_REQ_FIELDS, VANTA_SCENECLASS_START_CLASS_RSP_FIELDS, "startClass", "StartClass failed,") \
  X(StopClass, VANTA_SCENECLASS_STOP_CLASS_REQ_FIELDS, VANTA_SCENECLASS_STOP_CLASS_RSP_FIELDS, "stopClass", "StopClass failed,")
// clang-format on

namespace vanta {
namespace sceneclass {

#define VANTA_SCENECLASS_DECLARE_OPERATION(Op, REQ, RSP, uri, failure) \
  VANTA_DECLARE_RECORD(Op##Req, REQ)                                   \
  VANTA_DECLARE_RECORD(Op##Rsp, RSP)
VANTA_SCENECLASS_OPERATIONS(VANTA_SCENECLASS_DECLARE_OPERATION)
#undef VANTA_SCENECLASS_DECLARE_OPERATION

}  // namespace sceneclass
}  // namespace vanta
