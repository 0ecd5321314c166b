// libFuzzer entry of the check of request bodies as the adaptor simulator reads them
// (tests/faults/sim_input_check.h).
#include "check_entry.h"
#include "faults/sim_input_check.h"

RTC_FUZZ_CHECK_ENTRY(fuzz_check::CheckSimulatorRequest, "simulator request handling")
