// Link mode and statistics commands against the simulated organiser, a whole session at a time
// (fast, display, binary, filesum and its gate, sum, counters, quit); the prompt's bad lines.
#include <gtest/gtest.h>

#include <algorithm>

#include "e2e_util.h"
#include "harness.h"

using namespace e2e;

namespace {
using Frames = std::vector<std::string>;

// One typed line, what it prints after its prompt and the frames it sends.
struct Step {
    std::string line;
    std::string out;
    Frames frames = {};
};

// Types the steps' lines (then `tail`) into one session; the frames after the start-up exchange
// and the output after the banner must be exactly the steps' own (then `outtail`).
void session(const std::string& root, const std::vector<Step>& steps, const std::string& tail,
             const std::string& outtail, std::vector<std::string> simargs = {}) {
    std::string input, out;
    Frames frames;
    for (const Step& s : steps) {
        input += (input.empty() ? "" : "\n") + s.line;
        out += kPrompt + s.out;
        frames.insert(frames.end(), s.frames.begin(), s.frames.end());
    }
    RunResult r = quick(root, input + tail, {}, std::move(simargs));
    ASSERT_FALSE(r.timed_out) << r.out << r.err;
    EXPECT_EQ(r.status, 3) << "each session has a step that fails" << r.err;
    Frames sent = r.frames_from_yal();
    auto at = std::find(sent.begin(), sent.end(), "vn");
    if (at != sent.end() && ++at != sent.end() && *at == "po 1") ++at;
    EXPECT_EQ(Frames(at, sent.end()), frames);
    EXPECT_EQ(r.out.substr(std::min(r.out.find(kPrompt), r.out.size())), out + outtail);
}
}  // namespace

TEST(LinkModeTest, ModesSumsAndCountersInOneSession) {
    OrganiserTree tree;
    TempDir local;
    const std::string bytes("\x01\x02\xff", 3);  // sum 2, as a byte sum modulo 256
    tree.write("m/NOTES", bytes);
    local.write("notes", bytes);
    const std::string zero = "good = 0, bad = 0\n", off = "File transfer checksumming is off\n";
    const std::string ftzero = "File Transmited blocks, " + zero + "File Recieved blocks, " + zero;
    session(tree.root,
            {{"transinfo",
              "Transmited blocks, good = 4, bad = 0\nRecieved blocks, good = 5, bad = 0\n"},
             {"lcd " + local.path, ""},
             // Each of verbose and screen is switched only when it is not already so.
             {"fast", "", {"iv", "vb", "is", "sc"}},
             {"fast", "", {"iv", "is"}},
             {"display", "", {"iv", "vb", "is", "sc"}},
             {"display", "", {"iv", "is"}},
             {"binary", "", {"ia"}},  // no "tm" to a line already binary
             {"filesum", off},
             {"setv verbose", ""},
             {"filesum on", "Checksums within file transfers enabled\n", {"fc 1"}},
             {"filesum", "File transfer checksumming is on\n"},
             {"unsetv verbose", ""},
             {"get m:\\notes got", "", {"sp m:\\notes", "ep", "pf", "G"}},
             {"filesum off", "", {"fc 0"}},
             {"filesum", off},
             {"filesum maybe", "Error, only on or off are valid arguments\n"},
             {"sum notes yal", "Checksum is 2\n"},
             {"sum none yal", "Error, none does not exist\n"},
             {"sum m:\\notes", "Checksum is 2\n", {"ep", "cs"}},
             {"sum m:\\notes orvel", "Checksum is 2\n", {"ep", "cs"}},
             {"sum m:\\gone", "Error, m:\\gone does not exist\n", {"sp m:\\gone", "ep"}},
             {"ftransinfo",
              "File Transmited blocks, " + zero + "File Recieved blocks, good = 1, bad = 0\n"},
             {"ftransreset", ""},
             {"ftransinfo", ftzero},
             {"setv verbose", ""},
             {"transreset", "Reset transmited and recieved good / bad block count\n"},
             {"ftransreset", "Reset transmited and recieved good / bad block count for files\n"},
             {"transinfo", "Transmited blocks, " + zero + "Recieved blocks, " + zero},
             {"quit", kQuitMsg, {"dc"}}},
            "\necho never\n", "");
    EXPECT_EQ(local.read("got"), bytes);
}

// Below release 3.8 filesum only reports; the prompt skips what it cannot take whole and ends
// at the end of its input as pause does, after running a last line without a newline.
TEST(LinkModeTest, FilesumGateAndThePromptsBadLines) {
    OrganiserTree tree;
    session(
        tree.root,
        {{"filesum on",
          "Function filesum requires version 3.8 of tavlin, you have version 3.7\nPlease "
          "contact the orvel maintainers at your site\nfor a later release of this software\n"
          "This is not a fatal problem, other functions may still work\n"},
         {"filesum", "File transfer checksumming is off\n"},
         {std::string(9999, 'a'), "Error, word too long (9999 characters, at most 254)\n"},
         {std::string(10000, 'b'), "Error, line too long (more than 9999 characters), ignored\n"},
         {std::string("\0echo x", 7), "Error, line begins with a NUL byte, ignored\n"},
         {"echo last", "last\n"}},
        "", kPrompt + std::string(kPauseMsg), {"--release", "3.7"});
}
