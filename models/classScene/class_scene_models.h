// The wire models of the class-scene adaptor (namespace `classScene`), expanded from the field
// tables in vanta/sceneclass/class_scene_records.h, and bound to their host-facing records.
#pragma once

#include "tessel/idl/model_macros.h"
#include "vanta/sceneclass/class_scene_records.h"

#define CLASS_SCENE_MODEL_OPERATION(Op, REQ, RSP, uri, failure)                     \
  namespace classScene {                                                            \
  TESSEL_DECLARE_MODEL("classScene", Op##ReqModel, REQ)                             \
  TESSEL_DECLARE_MODEL("classScene", Op##RspModel, RSP)                             \
  }                                                                                 \
  TESSEL_BIND_RECORD(::vanta::sceneclass::Op##Req, ::classScene::Op##ReqModel, REQ) \
  TESSEL_BIND_RECORD(::vanta::sceneclass::Op##Rsp, ::classScene::Op##RspModel, RSP)
VANTA_SCENECLASS_OPERATIONS(CLASS_SCENE_MODEL_OPERATION)
#undef CLASS_SCENE_MODEL_OPERATION
