// libFuzzer entry point of target "dataline" (see targets.h).
#include "check.h"
#include "targets.h"

FUZZ_ENTRY(fuzz::datalinetarget)
