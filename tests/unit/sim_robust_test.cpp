// The simulated organiser never crashes or hangs on garbage: seeded random bytes, then a
// restart must still be answered.
#include <gtest/gtest.h>

#include <random>

#include "sim_testpeer.h"

namespace sim {
namespace {

// Random bytes with plenty of "$", hex digits and acknowledgement letters in them.
std::string garbage(std::mt19937& rng, size_t n) {
    static const char kBias[] = "$$$0123456789ABCDEFabcdefOR\n>XE";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        const unsigned r = rng() % 4;
        s += r == 0 ? static_cast<char>(rng() % 256) : kBias[rng() % (sizeof kBias - 1)];
    }
    return s;
}

// Sends "ol" until the XONLINE answer shows up; false if it never does.
bool reattach(TestPeer& peer) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        peer.send("$02ol$DB");
        for (int i = 0; i < 50; ++i) {
            const std::string l = peer.line(700);
            if (l.empty()) break;
            if (l == "$07XONLINE$1D\n") {
                peer.send("O");
                return true;
            }
        }
    }
    return false;
}

TEST(SimRobustTest, SurvivesRandomBytesAndAnswersARestart) {
    SimHarness h;
    TestPeer peer(h.slave_path);
    peer.configure();
    ASSERT_EQ(peer.response(), "XONLINE");
    std::mt19937 rng(1234);
    for (int round = 0; round < 4; ++round) {
        peer.send(garbage(rng, 600));
        ASSERT_TRUE(reattach(peer)) << "round " << round;
    }
    EXPECT_EQ(peer.command("vn", 1), std::vector<std::string>{"V3.24"});
}

TEST(SimRobustTest, ParserTakesAnyBytes) {
    std::mt19937 rng(99);
    FrameParser parser;
    int frames = 0;
    for (int i = 0; i < 200000; ++i) {
        const FrameEvent ev = parser.feed(static_cast<uint8_t>(rng() % 256));
        if (ev.kind == FrameEvent::kFrame) {
            ++frames;
            EXPECT_LE(ev.text.size(), kMaxText);
        }
    }
    EXPECT_GE(frames, 0);
}

TEST(SimRobustTest, OverlongAndOddCommandsGetAnswers) {
    SimHarness h;
    TestPeer peer(h.slave_path);
    peer.configure();
    ASSERT_EQ(peer.response(), "XONLINE");
    EXPECT_EQ(peer.command("sp " + std::string(250, '\\'), 1), std::vector<std::string>{"XOK"});
    EXPECT_EQ(peer.command("ep", 1), std::vector<std::string>{"XYES"});  // the drive root
    EXPECT_EQ(peer.command("sp " + std::string(200, 'x') + "\\..\\..", 1),
              std::vector<std::string>{"XOK"});
    EXPECT_EQ(peer.command("ft", 1), std::vector<std::string>{"XDIR"});
    EXPECT_EQ(peer.command("sp", 1), std::vector<std::string>{"XOK"});
    EXPECT_EQ(peer.command("lp", 2), (std::vector<std::string>{"XSTARTLIST", "XBADPATH"}));
    EXPECT_EQ(peer.command("", 1), std::vector<std::string>{"XBADCMD"});
    EXPECT_EQ(peer.command(" ", 1), std::vector<std::string>{"XBADCMD"});
    EXPECT_EQ(peer.command(std::string("v\0n", 3), 1), std::vector<std::string>{"XBADCMD"});
}

}  // namespace
}  // namespace sim
