// libFuzzer entry point of target "simdata": the simulated organiser's data-line decoders of both
// directions.
#include "simtargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::simdatatarget(data, size);
    return 0;
}
