// The wire models of the RTC adaptor (namespace `rtc`), expanded from the field tables in
// vanta/rtc/rtc_records.h, and bound to their host-facing records.
#pragma once

#include "tessel/idl/model_macros.h"
#include "vanta/rtc/rtc_records.h"

#define RTC_MODEL_NESTED(Name, FIELDS)             \
  namespace rtc {                                  \
  TESSEL_DECLARE_MODEL("rtc", Name##Model, FIELDS) \
  }                                                \
  TESSEL_BIND_RECORD(::vanta::rtc::Name, ::rtc::Name##Model, FIELDS)
VANTA_RTC_NESTED_RECORDS(RTC_MODEL_NESTED)
#undef RTC_MODEL_NESTED

#define RTC_MODEL_OPERATION(Op, REQ, RSP, uri, failure, missing)      \
  namespace rtc {                                                     \
  TESSEL_DECLARE_MODEL("rtc", Op##ReqModel, REQ)                      \
  TESSEL_DECLARE_MODEL("rtc", Op##RspModel, RSP)                      \
  }                                                                   \
  TESSEL_BIND_RECORD(::vanta::rtc::Op##Req, ::rtc::Op##ReqModel, REQ) \
  TESSEL_BIND_RECORD(::vanta::rtc::Op##Rsp, ::rtc::Op##RspModel, RSP)
VANTA_RTC_OPERATIONS(RTC_MODEL_OPERATION)
#undef RTC_MODEL_OPERATION
