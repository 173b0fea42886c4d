// The serial line: while orvel runs it has the link's own settings, and it gets back the
// settings it had before orvel opened it on every way out: pause, quit, a protocol violation,
// lost contact (the opt-in line time-out on an organiser that falls silent: after the start-up,
// on a get's command, in its data and on its end word) and the signals SIGTERM, SIGINT and
// SIGHUP in the middle of a get. A get that ends any of these ways keeps the old local file and
// leaves no temporary file. (A hang-up takes a pseudo-terminal away with its settings, so the
// silent organiser stands for every lost contact: it ends through the same shutdown.)
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <iterator>
#include <sstream>
#include <tuple>

#include "harness.h"

namespace {

const char kOld[] = "the old copy, which must survive\n";
const char kLost[] = "ERROR, Lost contact with the orvel, exiting\n";

// The settings of a terminal device, opened without becoming anyone's controlling terminal.
struct termios settings_of(const std::string& device) {
    struct termios t = {};
    int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    EXPECT_TRUE(fd >= 0 && tcgetattr(fd, &t) == 0) << device;
    if (fd >= 0) close(fd);
    return t;
}

// The modes and speeds of some settings, to compare them whole.
auto modes(const struct termios& t) {
    return std::make_tuple(t.c_iflag, t.c_oflag, t.c_cflag, t.c_lflag, cfgetispeed(&t),
                           cfgetospeed(&t));
}

// The link's settings made from what it found: 9600 8N1, no echo and no byte acting as a
// control character, carriage returns dropped, the eighth bit stripped, bytes sent unchanged.
void expect_link_settings(const struct termios& t, const struct termios& found) {
    EXPECT_EQ(t.c_cflag, static_cast<tcflag_t>(B9600 | CS8 | CREAD));
    EXPECT_EQ(t.c_lflag, found.c_lflag & ~static_cast<tcflag_t>(ECHO | IEXTEN | ISIG));
    EXPECT_EQ(t.c_cc[VEOF], _POSIX_VDISABLE);  // a noise byte 0x04 is no end of file
    EXPECT_EQ(t.c_iflag,
              (found.c_iflag & ~static_cast<tcflag_t>(INPCK | IXON | IXOFF)) | IGNCR | ISTRIP);
    EXPECT_EQ(t.c_oflag, (found.c_oflag & ~static_cast<tcflag_t>(OPOST)) | ONLRET);
}

struct Way {
    const char *name, *simargs;
    std::string input;
    int signal, status;
    std::string out_tail;
    friend void PrintTo(const Way& w, std::ostream* os) { *os << w.name; }
};

// "--mute-after K": answers K frames, then nothing (start-up: 9; the get's data: 17-20, end: 21).
const std::string kGet = "get m:\\G.BIN keep.bin\n", kWait = "echo waiting\n" + kGet;
const Way kWays[] = {
    {"Pause", "", "pause\n", 0, 0, "Disconnecting and leaving orvel active\n"},
    {"Quit", "", "quit\n", 0, 0, "Disconnecting and closing down orvel\n"},
    {"ProtocolViolation", "--reply tm=XBAD", "quit\n", 0, 1, "got (XBAD), exiting\n"},
    {"SilentAfterTheStartUp", "--mute-after 9", "setv linetimeout 1\nbinary\n", 0, 1, kLost},
    {"SilentOnAGetsCommand", "--mute-after 10", "setv linetimeout 0.5\n" + kGet, 0, 1, kLost},
    {"SilentInAGetsData", "--mute-after 18", "setv linetimeout 0.5\n" + kGet, 0, 1, kLost},
    {"SilentOnAGetsEndWord", "--mute-after 21", "setv linetimeout 0.5\n" + kGet, 0, 1, kLost},
    {"Sigterm", "--mute-after 18", kWait, SIGTERM, 128 + SIGTERM, "waiting\n0, CMD> "},
    {"Sigint", "--mute-after 18", kWait, SIGINT, 128 + SIGINT, "waiting\n0, CMD> "},
    {"Sighup", "--mute-after 18", kWait, SIGHUP, 128 + SIGHUP, "waiting\n0, CMD> "},
};

class LineSettingsTest : public ::testing::TestWithParam<Way> {};

TEST_P(LineSettingsTest, RestoredOnTheWayOut) {
    const Way& way = GetParam();
    OrganiserTree org;
    TempDir local;
    org.write("m/G.BIN", random_bytes(350, 5));
    local.write("keep.bin", kOld);
    std::istringstream words(way.simargs);
    const std::vector<std::string> simargs{std::istream_iterator<std::string>(words), {}};
    ServedSim sim(org.root, simargs);
    const struct termios before = settings_of(sim.pty);
    std::unique_ptr<Proc> p =
        sim.start({.input = way.input, .cwd = local.path, .keep_stdin_open = way.signal != 0});
    if (way.signal != 0) {
        EXPECT_TRUE(p->wait_until([&] { return p->out().ends_with("waiting\n0, CMD> "); }, 10000));
        p->wait_until([] { return false; }, 400);  // orvel now waits in the get's data
        expect_link_settings(settings_of(sim.pty), before);
        p->send(way.signal);
    }
    RunResult r = sim.collect(*p, 15000);
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.status, way.status);
    EXPECT_TRUE(r.out.ends_with(way.out_tail)) << r.out;
    EXPECT_LT(r.wall_seconds, 6.0);  // a line time-out of at most 1 s ends a silent wait
    EXPECT_EQ(modes(settings_of(sim.pty)), modes(before));
    EXPECT_EQ(local.read("keep.bin"), kOld);
    EXPECT_EQ(local.dot_names(), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(EveryWayOut, LineSettingsTest, ::testing::ValuesIn(kWays),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
