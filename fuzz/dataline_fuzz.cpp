// libFuzzer entry point of target "dataline": the data lines of a receiving transfer (ovpfb), with
// and without line sums.
#include <cstdio>

#include "targets.h"

// The commands' own output is not what is being tested here.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::FILE* out = std::freopen("/dev/null", "w", stdout);
    (void)out;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::datalinetarget(data, size);
    return 0;
}
