// libFuzzer entry of the check of rtc_demo's script parser (tests/faults/script_check.h).
#include "check_entry.h"
#include "faults/script_check.h"

RTC_FUZZ_CHECK_ENTRY(fuzz_check::CheckScript, "script parser")
