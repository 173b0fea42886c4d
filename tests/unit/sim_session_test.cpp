// The simulated organiser over a real pseudo-terminal: start-up, the ready prompt, frames and
// acknowledgements, restart, disconnect and the link words, spoken by hand from the slave.
#include <gtest/gtest.h>

#include "sim_testpeer.h"

namespace sim {
namespace {

TEST(SimSessionTest, WaitsForEchoClearedBeforeXonline) {
    SimHarness h;
    TestPeer peer(h.slave_path);
    ASSERT_TRUE(peer.ok());
    EXPECT_TRUE(peer.quiet(300));  // ECHO still set: nothing may be sent yet
    peer.configure();
    EXPECT_EQ(peer.line(), "$07XONLINE$1D\n");
    peer.send("O");
    EXPECT_EQ(peer.line(), ">\n");
}

TEST(SimSessionTest, AnswersVnWithTheLiteralFrames) {
    SimHarness h;
    TestPeer peer(h.slave_path);
    peer.configure();
    ASSERT_EQ(peer.response(), "XONLINE");
    ASSERT_EQ(peer.line(), ">\n");
    peer.send("$02vn$E4");
    EXPECT_EQ(peer.line(), "O\n");
    EXPECT_EQ(peer.line(), "$05V3.24$1D\n");
    peer.send("O");
    EXPECT_EQ(peer.line(), ">\n");
}

TEST(SimSessionTest, RefusesDamagedFramesAndTakesTheResend) {
    SimHarness h;
    TestPeer peer(h.slave_path);
    peer.configure();
    ASSERT_EQ(peer.response(), "XONLINE");
    ASSERT_EQ(peer.line(), ">\n");
    peer.send("$02vn$E5");  // bad checksum
    EXPECT_EQ(peer.line(), "R\n");
    peer.send("$0Zvn$E4");  // non-hex length digit
    EXPECT_EQ(peer.line(), "R\n");
    peer.send("$02vn$EQ");  // non-hex checksum digit
    EXPECT_EQ(peer.line(), "R\n");
    peer.send("$02vn$E4");
    EXPECT_EQ(peer.line(), "O\n");
    EXPECT_EQ(peer.response(), "V3.24");
}

TEST(SimSessionTest, RefusesAnIncompleteFrameAfterAGap) {
    SimHarness h;
    TestPeer peer(h.slave_path);
    peer.configure();
    ASSERT_EQ(peer.response(), "XONLINE");
    ASSERT_EQ(peer.line(), ">\n");
    peer.send("$05ia");
    EXPECT_EQ(peer.line(2000), "R\n");
    peer.send("$02ia$CA");
    EXPECT_EQ(peer.line(), "O\n");
    EXPECT_EQ(peer.response(), "XYES");
}

TEST(SimSessionTest, SkipsStrayBytesBetweenFrames) {
    SimHarness h;
    TestPeer peer(h.slave_path);
    peer.configure();
    ASSERT_EQ(peer.response(), "XONLINE");
    ASSERT_EQ(peer.line(), ">\n");
    peer.send("xyz\n");
    peer.send("$02ia$CA");
    EXPECT_EQ(peer.line(), "O\n");
    EXPECT_EQ(peer.response(), "XYES");
}

TEST(SimSessionTest, SendsTheSameReplyAgainAfterR) {
    SimHarness h;
    TestPeer peer(h.slave_path);
    peer.configure();
    EXPECT_EQ(peer.line(), "$07XONLINE$1D\n");
    peer.send("R");
    EXPECT_EQ(peer.line(), "$07XONLINE$1D\n");
    peer.send("O");
    EXPECT_EQ(peer.line(), ">\n");
}

TEST(SimSessionTest, BinaryModeAndDisplayWords) {
    SimHarness h;
    TestPeer peer(h.slave_path);
    peer.configure();
    ASSERT_EQ(peer.response(), "XONLINE");
    EXPECT_EQ(peer.command("ia", 1), std::vector<std::string>{"XYES"});
    EXPECT_EQ(peer.command("tm", 1), std::vector<std::string>{"XOK"});
    EXPECT_EQ(peer.command("ia", 1), std::vector<std::string>{"XNO"});
    EXPECT_EQ(peer.command("is", 1), std::vector<std::string>{"XYES"});
    EXPECT_EQ(peer.command("sc", 1), std::vector<std::string>{"XOK"});
    EXPECT_EQ(peer.command("is", 1), std::vector<std::string>{"XNO"});
    EXPECT_EQ(peer.command("iv", 1), std::vector<std::string>{"XYES"});
    EXPECT_EQ(peer.command("vb", 1), std::vector<std::string>{"XOK"});
    EXPECT_EQ(peer.command("iv", 1), std::vector<std::string>{"XNO"});
    EXPECT_EQ(peer.command("fc 1", 1), std::vector<std::string>{"XOK"});
    EXPECT_EQ(peer.command("fc 0", 1), std::vector<std::string>{"XOK"});
    EXPECT_EQ(peer.command("fc 7", 1), std::vector<std::string>{"XBADPARAM"});
    EXPECT_EQ(peer.command("po 1", 1), std::vector<std::string>{"XON"});
    EXPECT_EQ(peer.command("po 0", 1), std::vector<std::string>{"XOFF"});
    EXPECT_EQ(peer.command("zz", 1), std::vector<std::string>{"XBADCMD"});
    EXPECT_EQ(peer.command("G", 1), std::vector<std::string>{"XBADCMD"});
}

TEST(SimSessionTest, RestartWithOlNeedsNoPrompt) {
    SimHarness h;
    {
        TestPeer first(h.slave_path);
        first.configure();
        ASSERT_EQ(first.response(), "XONLINE");
        EXPECT_EQ(first.command("tm", 1), std::vector<std::string>{"XOK"});
        ASSERT_EQ(first.line(), ">\n");  // read the prompt here to keep the test free of races
        first.restore();                 // pause: the workstation leaves, sending nothing
    }
    TestPeer again(h.slave_path);
    again.configure();
    again.flush_input();
    ASSERT_TRUE(again.put("ol", false));
    EXPECT_EQ(again.response(), "XONLINE");
    EXPECT_EQ(again.command("sp m:", 1), std::vector<std::string>{"XOK"});
    EXPECT_EQ(again.command("ia", 1), std::vector<std::string>{"XNO"});  // state kept
}

TEST(SimSessionTest, DisconnectThenStartsAfresh) {
    SimHarness h;
    {
        TestPeer first(h.slave_path);
        first.configure();
        ASSERT_EQ(first.response(), "XONLINE");
        EXPECT_EQ(first.command("tm", 1), std::vector<std::string>{"XOK"});
        EXPECT_EQ(first.command("dc", 1), std::vector<std::string>{"XDISCONNECTED"});
        EXPECT_TRUE(first.quiet(200));  // no prompt after a disconnect
        first.restore();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    TestPeer next(h.slave_path);
    next.configure();
    EXPECT_EQ(next.response(), "XONLINE");
    EXPECT_EQ(next.command("ia", 1), std::vector<std::string>{"XYES"});  // modes reset
}

TEST(SimSessionTest, ReleaseAndFixedReplies) {
    SimConfig config;
    config.release = "3.7";
    config.replies["po"] = {"XOFF"};
    config.replies["cs"] = {"XSTARTSUM", "XOK", "C99", "XENDSUM"};
    config.online = "XHELLO";
    SimHarness h(config);
    TestPeer peer(h.slave_path);
    peer.configure();
    ASSERT_EQ(peer.response(), "XHELLO");
    EXPECT_EQ(peer.command("vn", 1), std::vector<std::string>{"V3.7"});
    EXPECT_EQ(peer.command("po 1", 1), std::vector<std::string>{"XOFF"});
    EXPECT_EQ(peer.command("cs", 4),
              (std::vector<std::string>{"XSTARTSUM", "XOK", "C99", "XENDSUM"}));
}

TEST(SimSessionTest, ReleaseNoneAnswersXbadcmd) {
    SimConfig config;
    config.release_none = true;
    SimHarness h(config);
    TestPeer peer(h.slave_path);
    peer.configure();
    ASSERT_EQ(peer.response(), "XONLINE");
    EXPECT_EQ(peer.command("vn", 1), std::vector<std::string>{"XBADCMD"});
}

}  // namespace
}  // namespace sim
