// libFuzzer entry point of target "frame" (see targets.h).
#include "check.h"
#include "targets.h"

FUZZ_ENTRY(fuzz::frametarget)
