// The link mode and statistics commands against the simulated organiser: fast and display,
// binary, filesum with its gate, sum on either end, the block counters, and the prompt's
// handling of over-long lines, NUL lines and the end of input.
#include <gtest/gtest.h>

#include <algorithm>

#include "e2e_util.h"
#include "harness.h"

using namespace e2e;

namespace {

// The frames orvel sent after the start-up exchange (ia, tm, vn, and po 1 from 3.24 on).
std::vector<std::string> after_startup(const RunResult& r) {
    std::vector<std::string> f = r.frames_from_yal();
    auto at = std::find(f.begin(), f.end(), "vn");
    if (at == f.end()) return f;
    ++at;
    if (at != f.end() && *at == "po 1") ++at;
    return std::vector<std::string>(at, f.end());
}

// The text printed after the banner, prompts included.
std::string after_banner(const RunResult& r) {
    std::string::size_type at = r.out.find(kPrompt);
    return at == std::string::npos ? r.out : r.out.substr(at);
}

RunResult session(const std::string& input, std::vector<std::string> simargs = {},
                  OrganiserTree* tree = nullptr) {
    OrganiserTree own;
    RunResult r = quick(tree ? tree->root : own.root, input, {}, std::move(simargs));
    EXPECT_FALSE(r.timed_out) << r.out << r.err;
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    return r;
}

using Frames = std::vector<std::string>;

}  // namespace

TEST(LinkModeTest, FastTurnsVerboseAndScreenOffOnlyWhenOn) {
    RunResult r = session("fast\nfast\npause\n");
    EXPECT_EQ(after_startup(r), (Frames{"iv", "vb", "is", "sc", "iv", "is"}));
    EXPECT_EQ(after_banner(r), std::string(kPrompt) + kPrompt + kPrompt + kPauseMsg);
}

TEST(LinkModeTest, DisplayTwiceTogglesNothingTheSecondTime) {
    RunResult r = session("fast\ndisplay\ndisplay\npause\n");
    EXPECT_EQ(after_startup(r),
              (Frames{"iv", "vb", "is", "sc", "iv", "vb", "is", "sc", "iv", "is"}));
}

TEST(LinkModeTest, BinaryAsksAndSendsNoTmWhenAlreadyBinary) {
    RunResult r = session("binary\npause\n");
    EXPECT_EQ(after_startup(r), (Frames{"ia"}));
}

TEST(LinkModeTest, FilesumReportsAndSwitches) {
    RunResult r = session(
        "filesum\nsetv verbose\nfilesum on\nfilesum\nfilesum off\nfilesum\n"
        "filesum maybe\npause\n");
    EXPECT_EQ(after_startup(r), (Frames{"fc 1", "fc 0"}));
    std::string p = kPrompt;
    EXPECT_EQ(after_banner(r), p + "File transfer checksumming is off\n" + p + p +
                                   "Checksums within file transfers enabled\n" + p +
                                   "File transfer checksumming is on\n" + p + p +
                                   "File transfer checksumming is off\n" + p +
                                   "Error, only on or off are valid arguments\n" + p + kPauseMsg);
}

TEST(LinkModeTest, FilesumWithAnArgumentNeedsRelease38) {
    RunResult r = session("filesum on\nfilesum\npause\n", {"--release", "3.7"});
    EXPECT_TRUE(after_startup(r).empty());
    EXPECT_TRUE(contains(r.out,
                         "Function filesum requires version 3.8 of tavlin, you have "
                         "version 3.7\n"));
    EXPECT_TRUE(contains(r.out,
                         "This is not a fatal problem, other functions may still work\n"
                         "0, CMD> File transfer checksumming is off\n"));
}

TEST(LinkModeTest, SumOnTheWorkstationSendsNothing) {
    OrganiserTree tree;
    TempDir local;
    local.write("notes", std::string("\x01\x02\xff", 3));
    RunResult r =
        session("sum " + local.file("notes") + " yal\nsum " + local.file("none") + " yal\npause\n",
                {}, &tree);
    EXPECT_TRUE(after_startup(r).empty());
    EXPECT_TRUE(contains(r.out, "Checksum is 2\n"));
    EXPECT_TRUE(contains(r.out, "Error, " + local.file("none") + " does not exist\n"));
}

TEST(LinkModeTest, SumOnTheOrganiser) {
    OrganiserTree tree;
    tree.write("m/NOTES", std::string("\x01\x02\xff", 3));
    RunResult r = session("sum m:\\notes\nsum m:\\notes orvel\nsum m:\\gone\npause\n", {}, &tree);
    EXPECT_EQ(count_of(r.out, "Checksum is 2\n"), 2);
    EXPECT_TRUE(contains(r.out, "Error, m:\\gone does not exist\n"));
    Frames f = after_startup(r);
    EXPECT_EQ(std::count(f.begin(), f.end(), "cs"), 2);
    EXPECT_EQ(std::count(f.begin(), f.end(), "sp m:\\gone"), 1);
}

TEST(LinkModeTest, CountersResetAndReport) {
    RunResult r = session(
        "transreset\ntransinfo\nftransreset\nftransinfo\nsetv verbose\n"
        "transreset\nftransreset\npause\n");
    std::string p = kPrompt;
    EXPECT_EQ(after_banner(r),
              p + p + "Transmited blocks, good = 0, bad = 0\nRecieved blocks, good = 0, bad = 0\n" +
                  p + p +
                  "File Transmited blocks, good = 0, bad = 0\n"
                  "File Recieved blocks, good = 0, bad = 0\n" +
                  p + p + "Reset transmited and recieved good / bad block count\n" + p +
                  "Reset transmited and recieved good / bad block count for files\n" + p +
                  kPauseMsg);
}

TEST(LinkModeTest, QuitSendsDcAndPauseSendsNothing) {
    RunResult q = session("quit\n");
    EXPECT_EQ(after_startup(q), (Frames{"dc"}));
    EXPECT_TRUE(contains(q.out, kQuitMsg));
    RunResult p = session("pause\necho never\n");
    EXPECT_TRUE(after_startup(p).empty());
    EXPECT_FALSE(contains(p.out, "never"));
}

TEST(LinkModeTest, OverlongAndNulLinesAreSkipped) {
    std::string input = "echo " + std::string(9994, 'a') + "\n" + "echo " + std::string(9995, 'b') +
                        "\n" + std::string("\0echo x\n", 8) + "echo after\npause\n";
    RunResult r = session(input);
    std::string p = kPrompt;
    EXPECT_TRUE(contains(r.out, "Error, word too long (9994 characters, at most 254)\n"));
    EXPECT_TRUE(contains(r.out, p + "Error, line too long (more than 9999 characters), ignored\n" +
                                    p + "Error, line begins with a NUL byte, ignored\n" + p +
                                    "after\n"));
}

TEST(LinkModeTest, EndOfInputEndsLikePause) {
    RunResult r = session("echo last");
    EXPECT_TRUE(after_startup(r).empty());
    EXPECT_EQ(after_banner(r), std::string(kPrompt) + "last\n" + kPrompt + kPauseMsg);
}
