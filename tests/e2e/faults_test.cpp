// A noisy line: seeded corruption and refusals both ways leave every reply intact and the
// counters agree with what the simulator injected; odd but valid peers (blank-padded fields,
// junk lines, long acknowledgements) are understood; malformed frames are refused with "R".
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "e2e_util.h"
#include "harness.h"

using namespace e2e;

namespace {

// The last transinfo's counters: transmitted good and bad, received good and bad.
std::vector<int> counters_in(const std::string& out) {
    std::vector<int> c(4, -1);
    size_t t = out.rfind("Transmited blocks"), r = out.rfind("Recieved blocks");
    if (t != std::string::npos)
        std::sscanf(out.c_str() + t, "Transmited blocks, good = %d, bad = %d", &c[0], &c[1]);
    if (r != std::string::npos)
        std::sscanf(out.c_str() + r, "Recieved blocks, good = %d, bad = %d", &c[2], &c[3]);
    return c;
}

}  // namespace

TEST(FaultsTest, NoisyLineLeavesRepliesIntactAndCountersAgree) {
    OrganiserTree tree;
    tree.write("m/DOCS/A.TXT", "a\n");
    TempDir home;  // the same HOME for every run, so the outputs can be compared whole
    // Its last words are transinfo and pause (which sends nothing): the counters printed are
    // the totals of the whole wire.
    RunSpec spec{.input =
                     "setv x hello\nprintv\necho [x]\nbinary\nrpwd\nfast\ndisplay\nrcd m:\\DOCS\n"
                     "rpwd\ntransinfo\npause\n",
                 .root = tree.root,
                 .env = {{"HOME", home.path}}};
    RunResult clean = run_orvel(spec);
    ASSERT_EQ(clean.status, 0) << clean.out << clean.err;
    const std::string screen = clean.out.substr(0, clean.out.rfind("Transmited blocks"));
    for (int seed : {1, 2, 3}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        spec.simargs = {"--fault", "out=0.2,in=0.2,ack=0.2,seed=" + std::to_string(seed)};
        RunResult r = run_orvel(spec);
        ASSERT_FALSE(r.timed_out);
        EXPECT_EQ(r.status, 0);
        EXPECT_TRUE(r.out.starts_with(screen + "Transmited blocks")) << r.out;
        std::vector<int> c = counters_in(r.out);
        long refused = r.stat("refused_in") + r.stat("refused_ack"), bad = r.stat("corrupt_out");
        EXPECT_GT(refused + bad, 0) << "no fault was injected";
        EXPECT_EQ(c[1], refused);
        EXPECT_EQ(c[3], bad);
        EXPECT_EQ(c[0], static_cast<long>(r.frames_from_yal().size()) - refused);
        EXPECT_EQ(c[2], static_cast<long>(r.frames_to_yal().size()) - bad);
        EXPECT_EQ(c[0], counters_in(clean.out)[0]);
        EXPECT_EQ(c[2], counters_in(clean.out)[2]);
    }
}

TEST(FaultsTest, OddButValidPeersAreUnderstood) {
    const std::pair<const char*, const char*> cases[] = {
        {"--pad-blank", "$ "},    // blank-padded length and checksum fields
        {"--junk 3", "#junk\n"},  // junk lines before prompts
        {"--ack OK!", "OK!\n"},   // acknowledgements longer than "O"
    };
    for (const auto& [simargs, marker] : cases) {
        SCOPED_TRACE(simargs);
        OrganiserTree tree;
        RunResult r = served_once(
            {.input = "binary\ntransinfo\nquit\n", .simargs = words(simargs), .root = tree.root});
        EXPECT_EQ(r.status, 0);
        EXPECT_TRUE(contains(r.to_yal, marker)) << "the simulator was not odd";
        EXPECT_EQ(r.from_yal, kStartWire + "$02ia$CAO" + kDc);  // every reply taken at once
        EXPECT_TRUE(contains(r.out, "Transmited blocks, good = 5, bad = 0\n")) << r.out;
        EXPECT_TRUE(contains(r.out, "Recieved blocks, good = 6, bad = 0\n"));
    }
}

// orvel on a pty whose other end the test drives by hand, to send what no sane peer sends:
// malformed frames (non-hex length, text shorter than its length, non-hex or wrong checksum, a
// bare dollar) are refused with "R", and a refused acknowledgement makes orvel send again.
TEST(FaultsTest, MalformedFramesAreRefusedWithR) {
    int master = -1, slave = -1;
    char name[256] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    Proc orvel({ORVEL_BIN, "-d", name}, {.input = "transinfo\n", .keep_stdin_open = true});
    auto configured = [&] {  // echo off: only then is it safe to write
        struct termios t;
        return tcgetattr(master, &t) == 0 && !(t.c_lflag & ECHO);
    };
    for (int i = 0; i < 500 && !configured(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(configured());
    auto exchange = [&](const std::string& line, size_t want) {  // orvel's next `want` bytes
        EXPECT_EQ(write(master, line.data(), line.size()), static_cast<ssize_t>(line.size()));
        std::string got;
        auto start = std::chrono::steady_clock::now();
        while (got.size() < want &&
               std::chrono::steady_clock::now() - start < std::chrono::seconds(5)) {
            struct pollfd p = {master, POLLIN, 0};
            char buf[64];
            ssize_t n = poll(&p, 1, 50) > 0
                            ? read(master, buf, std::min(sizeof buf, want - got.size()))
                            : 0;
            got.append(buf, static_cast<size_t>(std::max<ssize_t>(n, 0)));
        }
        return got;
    };
    // The organiser's lines, each with what orvel must answer: the start-up with a refused ack.
    // clang-format off
    const std::pair<std::string, std::string> script[] = {
        {"$0ZXONLINE$1D", "R"}, {"$20XONLINE$1D", "R"}, {"$07XONLINE$ZZ", "R"},
        {"$07XONLINF$1D", "R"}, {"$", "R"}, {"$07XONLINE$1D", "O"},
        {">", "$02ia$CA"}, {"N", "$02ia$CA"}, {"O", ""}, {"$03XNO$F5", "O"},
        {">", "$02vn$E4"}, {"O", ""}, {"$05V3.24$1D", "O"},
        {">", "$04po 1$30"}, {"O", ""}, {"$03XON$F5", "O"}};
    // clang-format on
    for (const auto& [line, answer] : script)
        EXPECT_EQ(exchange(line + "\n", answer.size()), answer) << line;
    ASSERT_TRUE(orvel.wait_for_out("Recieved blocks", 5000)) << orvel.out();
    EXPECT_TRUE(contains(orvel.out(), "Transmited blocks, good = 3, bad = 1\n"));
    EXPECT_TRUE(contains(orvel.out(), "Recieved blocks, good = 4, bad = 5\n"));
    orvel.close_input();  // end of input: ends as pause does
    RunResult r;
    orvel.finish(5000, &r);
    EXPECT_EQ(r.status, 0);
    close(master);
    close(slave);
}
