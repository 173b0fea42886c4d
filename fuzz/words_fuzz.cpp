// libFuzzer entry point of target "words" (see targets.h).
#include "check.h"
#include "targets.h"

FUZZ_ENTRY(fuzz::wordstarget)
