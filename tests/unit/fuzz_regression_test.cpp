// Replays every kept input of the workstation side's fuzz targets (seeds and former crashes)
// through the same target bodies that libFuzzer runs, and checks that the pty-driven targets
// really deliver what they put on the line.
#include <gtest/gtest.h>

#include "keptinputs.h"
#include "ovlib.h"
#include "targets.h"

TEST(FuzzRegressionTest, EveryKeptInputPasses) {
    const std::pair<const char*, void (*)(const uint8_t*, std::size_t)> targets[] = {
        {"frame", fuzz::frametarget},       {"receive", fuzz::receivetarget},
        {"dataline", fuzz::datalinetarget}, {"words", fuzz::wordstarget},
        {"cmdintr", fuzz::cmdintrtarget},   {"cmdfile", fuzz::cmdfiletarget}};
    testing::internal::CaptureStdout();
    for (const auto& [name, target] : targets) {
        EXPECT_FALSE(fuzz::filesin(std::string(ORVEL_FUZZ_DATA) + "/corpus/" + name).empty());
        fuzz::replay(ORVEL_FUZZ_DATA, name, target);
    }
    testing::internal::GetCapturedStdout();
}

// One intact reply, then the harness's own end: the empty line after the input, a prompt line
// and an acknowledgement line are refused, the closing frame taken. A data line with a wrong
// sum is refused and its resend taken.
TEST(FuzzRegressionTest, PtyTargetsPutTheirInputOnTheLine) {
    auto run = [](auto target, const std::string& input) {
        target(reinterpret_cast<const uint8_t*>(input.data()), input.size());
    };
    const int good = recgood, bad = recbad;
    run(fuzz::receivetarget, std::string(1, '\0') + "$03XOK$F2\n");
    EXPECT_EQ(recgood - good, 2);
    EXPECT_EQ(recbad - bad, 3);
    testing::internal::CaptureStdout();
    run(fuzz::datalinetarget, std::string(1, '\0') + "48656C6C6F\n0A\n");
    EXPECT_EQ(transct, 6);
    const int fgood = frecgood, fbad = frecbad;
    run(fuzz::datalinetarget,
        "\x01"
        "F4"
        "48656C6C6F\n"
        "00"
        "41\n"
        "41"
        "41\n");
    EXPECT_EQ(transct, 6);
    EXPECT_EQ(frecgood - fgood, 2);
    EXPECT_EQ(frecbad - fbad, 1);
    testing::internal::GetCapturedStdout();
}
