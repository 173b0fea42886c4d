// Replays every kept input of the simulated organiser's fuzz targets (seeds and former crashes)
// through the same target bodies that libFuzzer runs.
#include <gtest/gtest.h>

#include <string>

#include "keptinputs.h"
#include "simtargets.h"

namespace {

using Target = void (*)(const uint8_t*, std::size_t);

// Runs every kept input of `name`; a broken check aborts the test binary, naming the input.
void replay(const char* name, Target target) {
    const auto files = fuzz::keptinputs(ORVEL_FUZZ_DATA, name);
    ASSERT_FALSE(files.empty()) << "no kept inputs for " << name;
    for (const std::string& file : files) {
        std::fprintf(stderr, "replaying %s\n", file.c_str());
        const std::string input = fuzz::readbytes(file);
        target(reinterpret_cast<const uint8_t*>(input.data()), input.size());
    }
}

TEST(SimFuzzRegressionTest, SimframeInputsPass) {
    replay("simframe", fuzz::simframetarget);
}

TEST(SimFuzzRegressionTest, SimdataInputsPass) {
    replay("simdata", fuzz::simdatatarget);
}

TEST(SimFuzzRegressionTest, SimpathInputsPass) {
    replay("simpath", fuzz::simpathtarget);
}

}  // namespace
