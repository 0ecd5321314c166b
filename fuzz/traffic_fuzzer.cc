// libFuzzer entry of the check of traffic files as the replay transport reads them
// (tests/faults/sim_input_check.h).
#include "check_entry.h"
#include "faults/sim_input_check.h"

RTC_FUZZ_CHECK_ENTRY(fuzz_check::CheckTrafficFile, "traffic file reader")
