// Faults, statistics, trace, pacing, test quirks, session detection and a served terminal
// device, over real pseudo-terminals.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "sim_testpeer.h"

namespace sim {
namespace {

using Words = std::vector<std::string>;

std::map<std::string, long> read_stats(const std::string& path) {
    std::map<std::string, long> stats;
    std::ifstream in(path);
    std::string key;
    long value = 0;
    while (in >> key >> value) stats[key] = value;
    return stats;
}

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

TEST(SimQuirksTest, FaultCountsMatchWhatTheWorkstationSaw) {
    FaultPlan faults;
    faults.seed = 5;
    faults.out = 0.2;
    faults.in = 0.15;
    faults.ack = 0.15;
    SimHarness h(SimConfig(), LinkQuirks(), faults);
    TestPeer peer(h.slave_path);
    peer.configure();
    ASSERT_EQ(peer.response(), "XONLINE");
    for (int i = 0; i < 40; ++i) ASSERT_EQ(peer.command("vn", 1), Words{"V3.24"});
    ASSERT_TRUE(peer.await_prompt());
    const auto stats = read_stats(h.root + "/stats");
    EXPECT_GT(stats.at("corrupt_out"), 0);
    EXPECT_EQ(stats.at("corrupt_out"), peer.refused);
    EXPECT_EQ(stats.at("refused_in") + stats.at("refused_ack"), peer.resent);
    EXPECT_EQ(stats.at("frames_in"), 40 + peer.resent);
    EXPECT_EQ(stats.at("frames_out"), 41 + peer.refused);
}

TEST(SimQuirksTest, DataLineFaultsAndSumLies) {
    FaultPlan faults;
    faults.datain = 1.0;
    faults.dataout = 1.0;
    faults.sum = 1.0;
    SimHarness h(SimConfig(), LinkQuirks(), faults);
    std::ofstream(h.org("m/X.BIN"), std::ios::binary) << std::string("\x01\x02\xFF", 3);
    TestPeer peer(h.slave_path);
    peer.configure();
    ASSERT_EQ(peer.response(), "XONLINE");
    EXPECT_EQ(peer.command("fc 1", 1), Words{"XOK"});
    EXPECT_EQ(peer.command("sp m:\\x.bin", 1), Words{"XOK"});
    EXPECT_EQ(peer.command("cs", 4), (Words{"XSTARTSUM", "XOK", "C3", "XENDSUM"}));
    EXPECT_EQ(peer.command("pf", 3), (Words{"XSTARTPUT", "XOK", "030102FF"}));
    ASSERT_TRUE(peer.put("G"));  // accept the spoiled line to end the transfer
    EXPECT_EQ(peer.response(), "XE");
    EXPECT_EQ(peer.response(), "XENDPUT");
    EXPECT_EQ(peer.command("gf", 2), (Words{"XSTARTGET", "XOK"}));
    ASSERT_TRUE(peer.put("02" + encode_letters("\x01\x02\xFF")));
    EXPECT_EQ(peer.response(), "XBAD");
    ASSERT_TRUE(peer.put("XE"));
    EXPECT_EQ(peer.response(), "XENDGET");
    ASSERT_TRUE(peer.await_prompt());
    const auto stats = read_stats(h.root + "/stats");
    EXPECT_EQ(stats.at("datain_bad"), 1);
    EXPECT_EQ(stats.at("dataout_bad"), 1);
    EXPECT_EQ(stats.at("sum_lies"), 1);
}

TEST(SimQuirksTest, HangupClosesTheLineAfterNFrames) {
    FaultPlan faults;
    faults.hangup = 3;  // XONLINE, "vn", then the reply "V3.24"
    SimHarness h(SimConfig(), LinkQuirks(), faults);
    TestPeer peer(h.slave_path);
    peer.configure();
    ASSERT_EQ(peer.response(), "XONLINE");
    ASSERT_TRUE(peer.put("vn"));
    EXPECT_EQ(peer.line(), "$05V3.24$1D\n");
    EXPECT_EQ(peer.line(), "<EOF>");
    h.thread.join();
    h.thread = std::thread([] {});
    EXPECT_EQ(h.result.load(), kHangup);
}

TEST(SimQuirksTest, MuteAfterNFramesKeepsTheLineOpen) {
    LinkQuirks quirks;
    quirks.mute_after = 2;
    SimHarness h(SimConfig(), quirks);
    TestPeer peer(h.slave_path);
    peer.configure();
    ASSERT_EQ(peer.response(), "XONLINE");
    ASSERT_EQ(peer.line(), ">\n");
    peer.send(frame_body("vn"));
    EXPECT_TRUE(peer.quiet(400));
}

TEST(SimQuirksTest, PaddedFieldsJunkLinesAndOwnAckAndPrompt) {
    LinkQuirks quirks;
    quirks.pad_blank = true;
    quirks.junk = 2;
    quirks.ack = "OK";
    quirks.prompt = "> ready";
    SimHarness h(SimConfig(), quirks);
    TestPeer peer(h.slave_path);
    peer.configure();
    EXPECT_EQ(peer.line(), "$ 7XONLINE$1D\n");
    peer.send("O");
    EXPECT_EQ(peer.line(), "#junk\n");
    EXPECT_EQ(peer.line(), "#junk\n");
    EXPECT_EQ(peer.line(), "> ready\n");
    peer.send(frame_body("tm"));
    EXPECT_EQ(peer.line(), "OK\n");
    EXPECT_EQ(peer.line(), "$ 3XOK$F2\n");
}

TEST(SimQuirksTest, TraceRecordsBothDirections) {
    SimHarness h;
    TestPeer peer(h.slave_path);
    peer.configure();
    ASSERT_EQ(peer.response(), "XONLINE");
    ASSERT_EQ(peer.line(), ">\n");
    peer.send("$02ol$DB");
    EXPECT_EQ(peer.line(), "O\n");
    EXPECT_EQ(peer.response(), "XONLINE");
    ASSERT_EQ(peer.line(), ">\n");
    const std::string trace = slurp(h.root + "/trace");
    EXPECT_NE(trace.find("T $07XONLINE$1D\\n\n"), std::string::npos) << trace;
    EXPECT_NE(trace.find("Y O\n"), std::string::npos) << trace;
    EXPECT_NE(trace.find("Y $02ol$DB\n"), std::string::npos) << trace;
    EXPECT_NE(trace.find("T O\\n\n"), std::string::npos) << trace;
}

TEST(SimQuirksTest, PacesInputAndOutputLikeTheLine) {
    SimHarness h(SimConfig(), LinkQuirks(), FaultPlan(), 1200);  // 8.33 ms a byte
    TestPeer peer(h.slave_path);
    peer.configure();
    const auto t0 = Clock::now();
    ASSERT_EQ(peer.line(), "$07XONLINE$1D\n");  // 14 bytes after the 50 ms grace
    EXPECT_GE(Clock::now() - t0, std::chrono::milliseconds(150));
    peer.send("O");
    ASSERT_EQ(peer.line(), ">\n");
    const std::string path(94, 'x');  // "sp " + path: a frame of 103 bytes
    const auto t1 = Clock::now();
    peer.send(frame_body("sp " + path));
    EXPECT_EQ(peer.line(), "O\n");
    EXPECT_GE(Clock::now() - t1, std::chrono::milliseconds(103 * 8));
}

TEST(SimQuirksTest, WarnsWhenAPlainStartFindsTheLinkActive) {
    SimHarness h;
    {
        TestPeer first(h.slave_path);
        first.configure();
        ASSERT_EQ(first.response(), "XONLINE");
        first.restore();  // leaves with the ready prompt still waiting
    }
    testing::internal::CaptureStderr();
    TestPeer plain(h.slave_path);
    plain.configure();
    plain.send("R");  // as a plain start does after reading the stale prompt
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("start orvel with -r to re-attach"), std::string::npos) << err;
}

TEST(SimQuirksTest, FramesAreIgnoredWhileTheLineEchoes) {
    SimHarness h;
    TestPeer peer(h.slave_path);
    peer.configure();
    ASSERT_EQ(peer.response(), "XONLINE");
    ASSERT_EQ(peer.line(), ">\n");
    peer.restore();  // ECHO on: whatever the simulator sends comes straight back to it
    peer.send("$02vn$E4");
    EXPECT_TRUE(peer.quiet(300));
    peer.configure();
    peer.flush_input();
    ASSERT_TRUE(peer.put("ol", false));
    EXPECT_EQ(peer.response(), "XONLINE");
    ASSERT_TRUE(peer.await_prompt());
    EXPECT_EQ(read_stats(h.root + "/stats").at("frames_in"), 1);
}

TEST(SimQuirksTest, ANewSessionRightAfterDisconnectIsAnnounced) {
    SimHarness h;
    for (int round = 0; round < 3; ++round) {
        TestPeer peer(h.slave_path);
        peer.configure();
        ASSERT_EQ(peer.response(), "XONLINE") << round;
        ASSERT_EQ(peer.command("dc", 1), Words{"XDISCONNECTED"});
        peer.restore();
    }
}

TEST(SimQuirksTest, ServesADeviceAnnouncingEverySecond) {
    int master = -1, slave = -1;
    std::string path, err;
    ASSERT_EQ(open_pty(&master, &slave, &path, &err), kDone) << err;
    close(slave);
    int fd = -1;
    ASSERT_EQ(open_device(path, 0, &fd, &err), kDone) << err;
    char tmpl[] = "/tmp/simdev-XXXXXX";
    const std::string root = mkdtemp(tmpl);
    SimFs fs(root);
    fs.init(&err);
    Line line(fd, 0, nullptr);
    std::atomic<bool> stop{false};
    line.set_stop([&stop] { return stop.load(); });
    Faults faults{FaultPlan()};
    Link link(line, faults, LinkQuirks(), "");
    SimConfig config;
    config.device = true;
    Simulator simulator(config, link, fs);
    std::thread t([&simulator] { simulator.run(); });
    auto read_line = [master] {
        std::string s;
        char c;
        while (s.empty() || s.back() != '\n') {
            struct pollfd p = {master, POLLIN, 0};
            if (poll(&p, 1, 3000) <= 0 || read(master, &c, 1) != 1) return s + "<TIMEOUT>";
            s += c;
        }
        return s;
    };
    const auto t0 = Clock::now();
    EXPECT_EQ(read_line(), "$07XONLINE$1D\n");
    EXPECT_EQ(read_line(), "$07XONLINE$1D\n");
    EXPECT_GE(Clock::now() - t0, std::chrono::milliseconds(900));
    ASSERT_EQ(write(master, "O", 1), 1);
    EXPECT_EQ(read_line(), ">\n");
    stop = true;
    t.join();
    close(master);
    std::system(("rm -rf '" + root + "'").c_str());
}

}  // namespace
}  // namespace sim
