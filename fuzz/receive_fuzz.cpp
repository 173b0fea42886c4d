// libFuzzer entry point of target "receive" (see targets.h).
#include "check.h"
#include "targets.h"

FUZZ_ENTRY(fuzz::receivetarget)
