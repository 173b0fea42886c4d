// libFuzzer entry point of target "cmdfile" (see targets.h).
#include "check.h"
#include "targets.h"

FUZZ_ENTRY(fuzz::cmdfiletarget)
