// libFuzzer entry point of target "listing": hostile organiser listings through wildcard get and
// the backup walk.
#include <cstdio>

#include "targets.h"

// The commands' own output is not what is being tested here.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::FILE* out = std::freopen("/dev/null", "w", stdout);
    (void)out;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::listingtarget(data, size);
    return 0;
}
