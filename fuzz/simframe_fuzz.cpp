// libFuzzer entry point of target "simframe": the simulated organiser's frame parser over a raw
// byte stream.
#include "simtargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::simframetarget(data, size);
    return 0;
}
