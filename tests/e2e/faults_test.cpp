// A noisy line: seeded corruption and refusals both ways leave every reply intact, the counters
// agree with what the simulator injected, and odd but valid peers (blank-padded fields, junk
// lines, long acknowledgements) are understood. Malformed frames are refused with "R".
#include <fcntl.h>
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

struct Counters {
    int transgood = -1, transbad = -1, recgood = -1, recbad = -1;
};

Counters counters_in(const std::string& out) {
    Counters c;
    size_t t = out.rfind("Transmited blocks");
    size_t r = out.rfind("Recieved blocks");
    if (t != std::string::npos)
        std::sscanf(out.c_str() + t, "Transmited blocks, good = %d, bad = %d", &c.transgood,
                    &c.transbad);
    if (r != std::string::npos)
        std::sscanf(out.c_str() + r, "Recieved blocks, good = %d, bad = %d", &c.recgood, &c.recbad);
    return c;
}

// A session whose last words are transinfo and pause (which sends nothing), so the counters
// printed are the totals of the whole wire.
// A served run (complete wire bytes) against a fresh tree with odd simulator options.
RunResult odd_peer(const std::string& input, std::vector<std::string> simargs) {
    OrganiserTree tree;
    RunSpec s;
    s.root = tree.root;
    s.input = input;
    s.simargs = std::move(simargs);
    s.timeout_ms = 15000;
    return served_once(s);
}

const char kSession[] =
    "setv x hello\nprintv\necho [x]\nbinary\nrpwd\nfast\ndisplay\nrcd m:\\DOCS\nrpwd\n"
    "transinfo\npause\n";

std::string before_counters(const std::string& out) {
    return out.substr(0, out.rfind("Transmited blocks"));
}

}  // namespace

TEST(FaultsTest, NoisyLineLeavesRepliesIntactAndCountersAgree) {
    OrganiserTree tree;
    tree.write("m/DOCS/A.TXT", "a\n");
    TempDir home;  // the same HOME for every run, so the outputs can be compared whole
    RunSpec spec;
    spec.root = tree.root;
    spec.input = kSession;
    spec.env = {{"HOME", home.path}};
    RunResult clean = run_orvel(spec);
    ASSERT_EQ(clean.status, 0) << clean.out << clean.err;
    for (int seed : {1, 2, 3}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::string fault = "out=0.2,in=0.2,ack=0.2,seed=" + std::to_string(seed);
        spec.simargs = {"--fault", fault};
        RunResult r = run_orvel(spec);
        ASSERT_FALSE(r.timed_out);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(before_counters(r.out), before_counters(clean.out));
        EXPECT_TRUE(contains(r.out, "hello\n"));
        Counters c = counters_in(r.out);
        long refused = r.stat("refused_in") + r.stat("refused_ack");
        EXPECT_GT(refused + r.stat("corrupt_out"), 0) << "no fault was injected";
        EXPECT_EQ(c.transbad, refused);
        EXPECT_EQ(c.recbad, r.stat("corrupt_out"));
        EXPECT_EQ(c.transgood, static_cast<long>(r.frames_from_yal().size()) - refused);
        EXPECT_EQ(c.recgood, static_cast<long>(r.frames_to_yal().size()) - r.stat("corrupt_out"));
        EXPECT_EQ(c.recgood, counters_in(clean.out).recgood);
        EXPECT_EQ(c.transgood, counters_in(clean.out).transgood);
    }
}

TEST(FaultsTest, BlankPaddedFieldsAreAccepted) {
    RunResult r = odd_peer("binary\nrpwd\ntransinfo\nquit\n", {"--pad-blank"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(contains(r.to_yal, "$ ")) << "the sim padded nothing";
    Counters c = counters_in(r.out);
    EXPECT_EQ(c.recbad, 0);
    EXPECT_EQ(c.transbad, 0);
    EXPECT_EQ(r.frames_to_yal().back(), "XDISCONNECTED");
    EXPECT_EQ(r.acks_from_yal(), std::string(r.frames_to_yal().size(), 'O'));
}

TEST(FaultsTest, JunkLinesBeforePromptsAreSkipped) {
    RunResult r = odd_peer("binary\ntransinfo\nquit\n", {"--junk", "3"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(contains(r.to_yal, "#junk\n"));
    Counters c = counters_in(r.out);
    EXPECT_EQ(c.transbad, 0);
    EXPECT_EQ(c.recbad, 0);
    EXPECT_EQ(r.from_yal, startup_wire() + frame_of("ia") + "O" + frame_of("dc") + "O");
}

TEST(FaultsTest, LongAcknowledgementsAreAccepted) {
    RunResult r = odd_peer("binary\ntransinfo\nquit\n", {"--ack", "OK!"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(contains(r.to_yal, "OK!\n"));
    EXPECT_EQ(counters_in(r.out).transbad, 0);
    EXPECT_EQ(r.from_yal, startup_wire() + frame_of("ia") + "O" + frame_of("dc") + "O");
}

TEST(FaultsTest, RefusedAcknowledgementsMakeOrvelResend) {
    OrganiserTree tree;
    RunResult r = quick(tree.root, "transinfo\nquit\n", {}, {"--fault", "ack=0.5,seed=7"});
    EXPECT_EQ(r.status, 0);
    long refused = r.stat("refused_ack");
    EXPECT_GT(refused, 0);
    EXPECT_EQ(counters_in(r.out).transbad, refused);
    // Every refusal line is followed by the identical frame again.
    std::vector<std::string> frames = r.frames_from_yal();
    EXPECT_EQ(static_cast<long>(frames.size()), 5 + refused);  // ia tm vn po-1 dc
}

namespace {

// orvel on a pty whose other end this test drives by hand, to send what no sane peer sends.
class HandPeer {
  public:
    HandPeer() {
        if (openpty(&master_, &slave_, name_, nullptr, nullptr) != 0) ADD_FAILURE() << "openpty";
        RunSpec s;
        s.keep_stdin_open = true;
        s.input = "transinfo\n";
        proc_ = std::make_unique<Proc>(std::vector<std::string>{ORVEL_BIN, "-d", name_}, s);
    }
    ~HandPeer() {
        close(master_);
        close(slave_);
    }
    // True once orvel has set the line up (echo off): only then is it safe to write.
    bool wait_configured() {
        for (int i = 0; i < 1000; ++i) {
            struct termios t;
            if (tcgetattr(master_, &t) == 0 && !(t.c_lflag & ECHO)) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    void send(const std::string& line) {
        ASSERT_EQ(write(master_, line.data(), line.size()), static_cast<ssize_t>(line.size()));
    }
    // Reads what orvel sends until `want` bytes came or 5 s passed.
    std::string receive(size_t want) {
        std::string got;
        auto start = std::chrono::steady_clock::now();
        while (got.size() < want &&
               std::chrono::steady_clock::now() - start < std::chrono::seconds(5)) {
            struct pollfd p = {master_, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            char buf[512];
            ssize_t n = read(master_, buf, std::min(sizeof buf, want - got.size()));
            if (n <= 0) break;
            got.append(buf, static_cast<size_t>(n));
        }
        return got;
    }
    // Sends a reply frame and returns orvel's one-byte verdict.
    std::string reply(const std::string& frame_line) {
        send(frame_line + "\n");
        return receive(1);
    }
    Proc& proc() { return *proc_; }

  private:
    int master_ = -1, slave_ = -1;
    char name_[256] = {};
    std::unique_ptr<Proc> proc_;
};

}  // namespace

TEST(FaultsTest, MalformedFramesAreRefusedWithR) {
    HandPeer peer;
    ASSERT_TRUE(peer.wait_configured());
    std::string good = frame_of("XONLINE");
    EXPECT_EQ(peer.reply("$0ZXONLINE" + good.substr(good.size() - 3)), "R");  // non-hex length
    EXPECT_EQ(peer.reply("$20XONLINE" + good.substr(good.size() - 3)), "R");  // text too short
    EXPECT_EQ(peer.reply("$07XONLINE$ZZ"), "R");                              // non-hex checksum
    EXPECT_EQ(peer.reply("$07XONLINF" + good.substr(good.size() - 3)), "R");  // wrong checksum
    EXPECT_EQ(peer.reply("$"), "R");                                          // a bare dollar
    EXPECT_EQ(peer.reply(good), "O");
    // Now the start-up proper: prompt, ia, a refused ack (resend), XNO; vn; po 1.
    peer.send(">\n");
    EXPECT_EQ(peer.receive(8), frame_of("ia"));
    peer.send("N\n");
    EXPECT_EQ(peer.receive(8), frame_of("ia"));
    peer.send("O\n");
    EXPECT_EQ(peer.reply(frame_of("XNO")), "O");
    peer.send(">\n");
    EXPECT_EQ(peer.receive(8), frame_of("vn"));
    peer.send("O\n");
    EXPECT_EQ(peer.reply(frame_of("V3.24")), "O");
    peer.send(">\n");
    EXPECT_EQ(peer.receive(10), frame_of("po 1"));
    peer.send("O\n");
    EXPECT_EQ(peer.reply(frame_of("XON")), "O");
    ASSERT_TRUE(peer.proc().wait_for_out("Recieved blocks", 5000)) << peer.proc().out();
    EXPECT_TRUE(contains(peer.proc().out(), "Transmited blocks, good = 3, bad = 1\n"));
    EXPECT_TRUE(contains(peer.proc().out(), "Recieved blocks, good = 4, bad = 5\n"));
    peer.proc().close_input();  // end of input: ends as pause does
    RunResult r;
    peer.proc().finish(5000, &r);
    EXPECT_EQ(r.status, 0);
}
