// libFuzzer entry point of target "cmdintr" (see targets.h).
#include "check.h"
#include "targets.h"

FUZZ_ENTRY(fuzz::cmdintrtarget)
