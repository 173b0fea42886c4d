// libFuzzer entry point of target "cmdintr": command lines through cmdintr, for commands that need
// no link.
#include <cstdio>

#include "targets.h"

// The commands' own output is not what is being tested here.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::FILE* out = std::freopen("/dev/null", "w", stdout);
    (void)out;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::cmdintrtarget(data, size);
    return 0;
}
