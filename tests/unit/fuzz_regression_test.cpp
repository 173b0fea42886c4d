// Replays every kept input of the workstation side's fuzz targets (seeds and former crashes)
// through the same target bodies that libFuzzer runs, and checks that the pty-driven targets
// really deliver what they put on the line.
#include <gtest/gtest.h>

#include <string>

#include "fuzzline.h"
#include "keptinputs.h"
#include "ovlib.h"
#include "targets.h"

namespace {

using Target = void (*)(const uint8_t*, std::size_t);

void run(Target target, const std::string& input) {
    target(reinterpret_cast<const uint8_t*>(input.data()), input.size());
}

// Runs every kept input of `name`; a broken check aborts the test binary, naming the input.
void replay(const char* name, Target target) {
    const auto files = fuzz::keptinputs(ORVEL_FUZZ_DATA, name);
    ASSERT_FALSE(files.empty()) << "no kept inputs for " << name;
    testing::internal::CaptureStdout();
    for (const std::string& file : files) {
        std::fprintf(stderr, "replaying %s\n", file.c_str());
        run(target, fuzz::readbytes(file));
    }
    testing::internal::GetCapturedStdout();
}

TEST(FuzzRegressionTest, FrameInputsPass) {
    replay("frame", fuzz::frametarget);
}

TEST(FuzzRegressionTest, ReceiveInputsPass) {
    replay("receive", fuzz::receivetarget);
}

TEST(FuzzRegressionTest, DatalineInputsPass) {
    replay("dataline", fuzz::datalinetarget);
}

TEST(FuzzRegressionTest, WordsInputsPass) {
    replay("words", fuzz::wordstarget);
}

TEST(FuzzRegressionTest, CmdintrInputsPass) {
    replay("cmdintr", fuzz::cmdintrtarget);
}

TEST(FuzzRegressionTest, CmdfileInputsPass) {
    replay("cmdfile", fuzz::cmdfiletarget);
}

TEST(FuzzRegressionTest, ListingInputsPass) {
    replay("listing", fuzz::listingtarget);
}

// One intact reply, then the harness's own end: the empty line after the input, a prompt line
// and an acknowledgement line are refused, the closing frame taken.
TEST(FuzzRegressionTest, ReceiveHarnessPutsTheInputOnTheLine) {
    const int good = recgood, bad = recbad;
    run(fuzz::receivetarget, std::string(1, '\0') + "$03XOK$F2\n");
    EXPECT_EQ(recgood - good, 2);
    EXPECT_EQ(recbad - bad, 3);
}

TEST(FuzzRegressionTest, DatalineHarnessReceivesTheDecodedBytes) {
    testing::internal::CaptureStdout();
    run(fuzz::datalinetarget, std::string(1, '\0') + "48656C6C6F\n0A\n");
    EXPECT_EQ(transct, 6);
    const int good = frecgood, bad = frecbad;
    run(fuzz::datalinetarget,
        "\x01"
        "F4"
        "48656C6C6F\n"
        "00"
        "41\n"
        "41"
        "41\n");
    EXPECT_EQ(transct, 6);  // the bad line's sum is refused, its resend taken
    EXPECT_EQ(frecgood - good, 2);
    EXPECT_EQ(frecbad - bad, 1);
    testing::internal::GetCapturedStdout();
}

TEST(FuzzRegressionTest, EveryTargetHasSeeds) {
    for (const char* name :
         {"frame", "receive", "dataline", "words", "cmdintr", "cmdfile", "listing"})
        EXPECT_FALSE(fuzz::filesin(std::string(ORVEL_FUZZ_DATA) + "/corpus/" + name).empty())
            << name;
}

}  // namespace
