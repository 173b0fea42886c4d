// A noisy line: seeded corruption and refusals both ways leave every reply intact and the
// counters agree with what the simulator injected; odd but valid peers (blank-padded fields,
// junk lines, long acknowledgements) are understood; malformed frames are refused with "R".
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>

#include "e2e_util.h"
#include "harness.h"

using namespace e2e;

TEST(FaultsTest, NoisyLineLeavesRepliesIntactAndCountersAgree) {
    auto counters_in = [](const std::string& out) {  // transmitted good, bad; received good, bad
        std::vector<int> c(4, -1);
        size_t at = out.rfind("Transmited blocks");
        if (at != std::string::npos)
            std::sscanf(out.c_str() + at,
                        "Transmited blocks, good = %d, bad = %d\n"
                        "Recieved blocks, good = %d, bad = %d",
                        &c[0], &c[1], &c[2], &c[3]);
        return c;
    };
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
        RunResult r =
            served_once({.input = "binary\nquit\n", .simargs = words(simargs), .root = tree.root});
        EXPECT_EQ(r.status, 0);
        EXPECT_TRUE(contains(r.to_yal, marker)) << "the simulator was not odd";
        // Every reply taken at once: no "R", no frame sent twice.
        EXPECT_EQ(r.from_yal, kStartWire + "$02ia$CAO" + kDc);
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
    fcntl(master, F_SETFL, O_NONBLOCK);
    ASSERT_TRUE(orvel.wait_until(  // echo off: only then is it safe to write
        [&] {
            struct termios t;
            return tcgetattr(master, &t) == 0 && !(t.c_lflag & ECHO);
        },
        5000));
    auto exchange = [&](const std::string& line, size_t want) {  // orvel's next `want` bytes
        EXPECT_EQ(write(master, line.data(), line.size()), static_cast<ssize_t>(line.size()));
        std::string got;
        orvel.wait_until(
            [&] {
                for (char c; got.size() < want && read(master, &c, 1) == 1;) got += c;
                return got.size() == want;
            },
            5000);
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
