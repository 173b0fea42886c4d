// libFuzzer entry point of target "simpath": the simulated organiser's organiser paths against a
// host tree.
#include "simtargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::simpathtarget(data, size);
    return 0;
}
