// libFuzzer entry point of target "listing" (see targets.h).
#include "check.h"
#include "targets.h"

FUZZ_ENTRY(fuzz::listingtarget)
