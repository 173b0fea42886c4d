// Replays every kept input of the simulated organiser's fuzz targets (seeds and former crashes)
// through the same target bodies that libFuzzer runs.
#include <gtest/gtest.h>

#include "keptinputs.h"
#include "targets.h"

TEST(SimFuzzRegressionTest, EveryKeptInputPasses) {
    EXPECT_GT(fuzz::replay(ORVEL_FUZZ_DATA, "simframe", fuzz::simframetarget), 0u);
    EXPECT_GT(fuzz::replay(ORVEL_FUZZ_DATA, "simdata", fuzz::simdatatarget), 0u);
    EXPECT_GT(fuzz::replay(ORVEL_FUZZ_DATA, "simpath", fuzz::simpathtarget), 0u);
}
