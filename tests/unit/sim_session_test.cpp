// The simulated organiser on a thread, spoken to by hand over a real pseudo-terminal: start-up,
// the literal frames, damaged input, garbage, a workstation that left, pacing and device mode.
// Every read has a deadline; each harness stops and joins its thread and removes its folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <random>
#include <thread>
#include <utility>

#include "simpty.h"
#include "simresult.h"
#include "simulator.h"

namespace sim {
namespace {

const char kOnline[] = "$07XONLINE$1D\n";

using Words = std::vector<std::string>;

// The workstation's end of the line; owns its descriptor.
class TestPeer {
  public:
    explicit TestPeer(int fd) : fd_(fd) { tcgetattr(fd_, &initial_); }
    explicit TestPeer(const std::string& path) : TestPeer(open(path.c_str(), O_RDWR | O_NOCTTY)) {}
    ~TestPeer() { close(fd_); }
    void configure() {  // raw, and so without ECHO, as the workstation leaves it
        struct termios t = initial_;
        cfmakeraw(&t);
        tcsetattr(fd_, TCSANOW, &t);
    }
    void restore() { tcsetattr(fd_, TCSANOW, &initial_); }
    void send(const std::string& s) { EXPECT_GT(write(fd_, s.data(), s.size()), 0); }
    // One line with its newline; what came before `ms` of silence; "<EOF>" at a hang-up.
    std::string line(int ms = 3000) {
        std::string s;
        struct pollfd p = {fd_, POLLIN, 0};
        for (char c = 0; c != '\n'; s += c) {
            if (poll(&p, 1, ms) <= 0) return s;
            if (read(fd_, &c, 1) != 1) return s + "<EOF>";
        }
        return s;
    }
    // Reads one reply frame, acknowledges it and returns its text.
    std::string response() {
        const std::string l = line();
        const FrameEvent ev = parse_frame_bytes(l);
        if (ev.kind != FrameEvent::kFrame) return "<BAD " + l + ">";
        send("O");
        return ev.text;
    }
    // Waits for the ready prompt, sends a frame, and returns its `n` replies.
    Words command(const std::string& text, int n) {
        for (std::string l; (l = line()) != ">\n";) {
            if (l.empty() || l == "<EOF>") return {"<NO PROMPT>"};
        }
        send(frame_body(text));
        Words out = {line()};  // the acknowledgement
        while (n-- > 0) out.push_back(response());
        return out;
    }

  private:
    int fd_;
    struct termios initial_ = {};
};

// A Simulator serving a fresh pseudo-terminal's master; with `device`, serving its slave as a
// terminal device while the test talks on the master.
struct SimHarness {
    explicit SimHarness(long baud = 0, bool device = false) {
        fs.init(&err);
        open_pty(&master, &slave_keep, &slave_path, &err);
        int fd = master;
        if (device) {
            close(std::exchange(slave_keep, -1));
            open_device(slave_path, 0, &fd, &err);
        }
        line = std::make_unique<Line>(fd, baud, nullptr);
        line->set_stop([this] { return stop.load(); });
        link = std::make_unique<Link>(*line, faults, LinkQuirks(), "");
        config.device = device;
        simulator = std::make_unique<Simulator>(config, *link, fs);
        if (!device && watch.start(slave_path)) simulator->set_watch(&watch);
        thread = std::thread([this] { simulator->run(); });
    }
    ~SimHarness() {
        stop = true;
        thread.join();
        if (slave_keep >= 0) close(slave_keep);
        std::system(("rm -rf " + root).c_str());
    }
    char tmpl[23] = "/tmp/simsession-XXXXXX";
    std::string root = mkdtemp(tmpl);
    std::string slave_path, err;
    int master = -1, slave_keep = -1;
    SimFs fs{root};
    SimConfig config;
    Faults faults{FaultPlan()};
    OpenWatch watch;
    std::unique_ptr<Line> line;
    std::unique_ptr<Link> link;
    std::unique_ptr<Simulator> simulator;
    std::atomic<bool> stop{false};
    std::thread thread;
};

TEST(SimSessionTest, WaitsForEchoClearedThenSpeaksTheLiteralFrames) {
    SimHarness h;
    TestPeer peer(h.slave_path);
    EXPECT_EQ(peer.line(300), "");  // ECHO still set: the announcement would come straight back
    peer.configure();
    EXPECT_EQ(peer.line(), kOnline);
    peer.send("R");
    EXPECT_EQ(peer.line(), kOnline);  // the same frame again after "R"
    peer.send("O");
    EXPECT_EQ(peer.line(), ">\n");
    peer.send("$02vn$E4");
    EXPECT_EQ(peer.line(), "O\n");
    EXPECT_EQ(peer.line(), "$05V3.24$1D\n");
}

TEST(SimSessionTest, RefusesDamagedFramesWithRAndTakesTheResend) {
    SimHarness h;
    TestPeer peer(h.slave_path);
    peer.configure();
    ASSERT_EQ(peer.response(), "XONLINE");
    ASSERT_EQ(peer.line(), ">\n");
    const std::pair<const char*, const char*> cases[] = {
        {"$02ia$CB", "R\n"},      // bad checksum
        {"$0Zia$CA", "R\n"},      // non-hex length digit
        {"$02ia$CQ", "R\n"},      // non-hex checksum digit
        {"$05ia", "R\n"},         // incomplete: refused once the line has been quiet a while
        {"xyz\n$02ia$CA", "O\n"}  // stray bytes before a good frame are skipped
    };
    for (const auto& [bytes, answer] : cases) {
        peer.send(bytes);
        EXPECT_EQ(peer.line(2000), answer) << bytes;
    }
    EXPECT_EQ(peer.response(), "XYES");
}

TEST(SimSessionTest, GarbageNeverHangsItAndARestartIsAnswered) {
    SimHarness h;
    TestPeer peer(h.slave_path);
    peer.configure();
    ASSERT_EQ(peer.response(), "XONLINE");
    std::mt19937 rng(1234);
    static const char kBias[] = "$$$0123456789ABCDEFabcdefOR\n>XE";
    for (int round = 0; round < 4; ++round) {
        std::string junk(600, 0);
        for (char& c : junk) c = rng() % 4 ? kBias[rng() % (sizeof kBias - 1)] : char(rng());
        peer.send(junk);
        bool back = false;
        for (int attempt = 0; attempt < 20 && !back; ++attempt) {
            peer.send("$02ol$DB");
            for (std::string l; !back && !(l = peer.line(700)).empty();) back = l == kOnline;
        }
        ASSERT_TRUE(back) << "round " << round;
        peer.send("O");
    }
    EXPECT_EQ(peer.command("vn", 1), (Words{"O\n", "V3.24"}));
    EXPECT_EQ(peer.command("", 1), (Words{"O\n", "XBADCMD"}));
    EXPECT_EQ(peer.command(std::string("v\0n", 3), 1), (Words{"O\n", "XBADCMD"}));
}

TEST(SimSessionTest, ALeftSessionIgnoresItsEchoAndTellsAPlainStartToUseR) {
    SimHarness h;
    {
        TestPeer first(h.slave_path);
        first.configure();
        ASSERT_EQ(first.response(), "XONLINE");
        ASSERT_EQ(first.line(), ">\n");
        first.restore();  // as the workstation leaves on pause: ECHO on again
        first.send("$02vn$E4");
        EXPECT_EQ(first.line(300), "");  // what comes back while echoing is not a frame
    }
    testing::internal::CaptureStderr();
    TestPeer plain(h.slave_path);
    plain.configure();
    plain.send("R");  // a plain start that read the stale prompt as a refusal
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("start orvel with -r to re-attach"), std::string::npos) << err;
    plain.send("$02ol$DB");
    EXPECT_EQ(plain.line(), "O\n");
    EXPECT_EQ(plain.response(), "XONLINE");
}

TEST(SimSessionTest, PacesBothDirectionsLikeTheLine) {
    SimHarness h(1200);  // 8.33 ms a byte
    TestPeer peer(h.slave_path);
    peer.configure();
    const auto t0 = Clock::now();
    ASSERT_EQ(peer.line(), kOnline);
    EXPECT_GE(Clock::now() - t0, std::chrono::milliseconds(14 * 8));
    peer.send("O");
    ASSERT_EQ(peer.line(), ">\n");
    const auto t1 = Clock::now();
    peer.send(frame_body("sp " + std::string(94, 'x')));  // 103 bytes
    EXPECT_EQ(peer.line(), "O\n");
    EXPECT_GE(Clock::now() - t1, std::chrono::milliseconds(103 * 8));
}

TEST(SimSessionTest, ADeviceIsAnnouncedEverySecondUntilAnswered) {
    const auto t0 = Clock::now();
    SimHarness h(0, true);
    TestPeer peer(h.master);
    EXPECT_EQ(peer.line() + peer.line(), std::string(kOnline) + kOnline);
    EXPECT_GE(Clock::now() - t0, std::chrono::milliseconds(900));
    peer.send("O");
    EXPECT_EQ(peer.line(), ">\n");
}

}  // namespace
}  // namespace sim
