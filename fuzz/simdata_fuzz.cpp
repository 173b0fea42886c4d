// libFuzzer entry point of target "simdata" (see targets.h).
#include "check.h"
#include "targets.h"

FUZZ_ENTRY(fuzz::simdatatarget)
