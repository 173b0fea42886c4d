// libFuzzer entry point of target "simframe" (see targets.h).
#include "check.h"
#include "targets.h"

FUZZ_ENTRY(fuzz::simframetarget)
