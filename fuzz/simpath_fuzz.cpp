// libFuzzer entry point of target "simpath" (see targets.h).
#include "check.h"
#include "targets.h"

FUZZ_ENTRY(fuzz::simpathtarget)
