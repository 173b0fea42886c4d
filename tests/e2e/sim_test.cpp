// The simulated organiser as tavlin-sim serves it, spoken to by hand over its pseudo-terminal:
// it waits until the workstation has cleared ECHO, speaks the literal frames, sends a refused
// one again, refuses damaged frames with "R", answers an unknown command XBADCMD, ignores what a
// workstation that left echoes back, tells a plain start that -r is needed, and announces itself
// on a terminal device every second until answered. (The progress session needs its pacing.)
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>

#include "harness.h"

namespace {

const char kOnline[] = "$07XONLINE$1D\n";

// The workstation's end of the line; owns its descriptor. `raw`: no ECHO, as orvel leaves it.
struct Peer {
    explicit Peer(int d) : fd(d) { tcgetattr(fd, &initial); }
    explicit Peer(const std::string& path) : Peer(open(path.c_str(), O_RDWR | O_NOCTTY)) {}
    ~Peer() { close(fd); }
    void settings(bool raw) {
        struct termios t = initial;
        if (raw) cfmakeraw(&t);
        tcsetattr(fd, TCSANOW, &t);
    }
    void send(const std::string& s) { ASSERT_EQ(write(fd, s.data(), s.size()), ssize_t(s.size())); }
    std::string line(int ms = 3000) {  // one line with its newline, or what came before silence
        std::string s;
        struct pollfd p = {fd, POLLIN, 0};
        for (char c = 0; c != '\n' && poll(&p, 1, ms) > 0 && read(fd, &c, 1) == 1;) s += c;
        return s;
    }
    int fd;
    struct termios initial = {};
};

TEST(SimTest, WaitsForEchoClearedRefusesDamagedFramesAndOutlivesAWorkstationThatLeft) {
    OrganiserTree org;
    ServedSim sim(org.root);
    {
        Peer peer(sim.pty);
        EXPECT_EQ(peer.line(300), "");  // ECHO still set: the announcement would come back
        peer.settings(true);
        EXPECT_EQ(peer.line(), kOnline);
        peer.send("R");
        EXPECT_EQ(peer.line(), kOnline);  // the same frame again after "R"
        peer.send("O");
        EXPECT_EQ(peer.line(), ">\n");
        const std::pair<const char*, const char*> cases[] = {
            {"$02vn$E5", "R\n"},      // bad checksum
            {"$0Zvn$E4", "R\n"},      // non-hex length digit
            {"$02vn$EQ", "R\n"},      // non-hex checksum digit
            {"$05vn", "R\n"},         // incomplete: refused once the line has been quiet a while
            {"xyz\n$02vn$E4", "O\n"}  // stray bytes before a good frame are skipped
        };
        for (const auto& [bytes, answer] : cases) {
            peer.send(bytes);
            EXPECT_EQ(peer.line(2000), answer) << bytes;
        }
        EXPECT_EQ(peer.line(), "$05V3.24$1D\n");
        peer.send("O");
        EXPECT_EQ(peer.line(), ">\n");
        peer.send("$00$00");  // an empty command is unknown, as any other
        EXPECT_EQ(peer.line(), "O\n");
        EXPECT_EQ(peer.line(), "$07XBADCMD$F3\n");
        peer.send("O");
        EXPECT_EQ(peer.line(), ">\n");
        peer.settings(false);  // it leaves as orvel does on pause: ECHO on again
        peer.send("$02vn$E4");
        EXPECT_EQ(peer.line(300), "");  // what comes back while echoing is not a frame
    }
    Peer plain(sim.pty);
    plain.settings(true);
    plain.send("R");  // a plain start that read the stale prompt as a refusal
    EXPECT_NE(sim.err(300).find("start orvel with -r to re-attach"), std::string::npos);
    plain.send("$02ol$DB");
    EXPECT_EQ(plain.line(), "O\n");
    EXPECT_EQ(plain.line(), kOnline);
}

TEST(SimTest, ADeviceIsAnnouncedEverySecondUntilAnswered) {
    int master = -1, slave = -1;
    char name[256] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    const auto t0 = std::chrono::steady_clock::now();
    OrganiserTree org;
    ServedSim sim(org.root, {"--device", name});
    close(slave);
    Peer peer(master);
    EXPECT_EQ(peer.line(), kOnline);
    EXPECT_EQ(peer.line(), kOnline);
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(900));
    peer.send("O");
    EXPECT_EQ(peer.line(), ">\n");
}

}  // namespace
