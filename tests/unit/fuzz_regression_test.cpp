// Replays every kept input of the workstation side's fuzz targets (seeds and former crashes)
// through the same target bodies that libFuzzer runs. (The pty-driven targets check on their
// own that what they put on the line arrives: their readable seeds have exact expected results.)
#include <gtest/gtest.h>

#include "keptinputs.h"
#include "targets.h"

TEST(FuzzRegressionTest, EveryKeptInputPasses) {
    const std::pair<const char*, void (*)(const uint8_t*, std::size_t)> targets[] = {
        {"frame", fuzz::frametarget},       {"receive", fuzz::receivetarget},
        {"dataline", fuzz::datalinetarget}, {"words", fuzz::wordstarget},
        {"cmdintr", fuzz::cmdintrtarget},   {"cmdfile", fuzz::cmdfiletarget},
        {"listing", fuzz::listingtarget}};
    testing::internal::CaptureStdout();
    for (const auto& [name, target] : targets) {
        EXPECT_FALSE(fuzz::filesin(std::string(ORVEL_FUZZ_DATA) + "/corpus/" + name).empty());
        fuzz::replay(ORVEL_FUZZ_DATA, name, target);
    }
    testing::internal::GetCapturedStdout();
}
