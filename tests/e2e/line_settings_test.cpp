// The serial line: orvel sets it up its own way whatever it finds on the port, and gives it back
// exactly as found on every way out: pause, quit, a protocol violation, lost contact (the opt-in
// line time-out on an organiser that falls silent: after the start-up, on a get's command, in its
// data and on its end word), a line too noisy to use, every signal that ends the program (in the
// middle of a get), a crash signal, a stop (until it goes on) and a closed output pipe. A get that
// ends any of these ways keeps the old local file and leaves no temporary file. (A hang-up takes
// a pseudo-terminal away with its settings, so the silent organiser stands for every lost
// contact: it ends through the same shutdown.)
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <iterator>
#include <sstream>
#include <tuple>

#include "harness.h"

namespace {

const char kOld[] = "the old copy, which must survive\n", kPrompt[] = "0, CMD> ";
const char kLost[] = "ERROR, Lost contact with the orvel, exiting\n";
const char kNoisy[] = "the line is too noisy, exiting\n";

// The settings of a terminal device, opened without becoming anyone's controlling terminal.
struct termios termios_of(const std::string& device) {
    struct termios t = {};
    int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    EXPECT_TRUE(fd >= 0 && tcgetattr(fd, &t) == 0) << device;
    if (fd >= 0) close(fd);
    return t;
}

// The modes, speeds and control characters, to compare settings whole.
auto settings_of(const std::string& device) {
    const struct termios t = termios_of(device);
    return std::make_tuple(t.c_iflag, t.c_oflag, t.c_cflag, t.c_lflag, cfgetispeed(&t),
                           cfgetospeed(&t), std::string(t.c_cc, t.c_cc + NCCS));
}

// The link's settings, whatever it found: canonical lines of 8-bit bytes at 9600 8N1, no echo,
// no translation of input or output, no flow control, and no byte acting as a control character
// (a noise byte 0x04 is no end of file).
void expect_link_settings(const std::string& device) {
    const struct termios t = termios_of(device);
    EXPECT_EQ(t.c_cflag, static_cast<tcflag_t>(B9600 | CS8 | CREAD));
    EXPECT_EQ(t.c_lflag, static_cast<tcflag_t>(ICANON));
    EXPECT_EQ(t.c_iflag, 0u);
    EXPECT_EQ(t.c_oflag, 0u);
    for (int i = 0; i < NCCS; ++i)
        EXPECT_EQ(t.c_cc[i], i == VMIN ? 1 : i == VTIME ? 0 : _POSIX_VDISABLE) << i;
}

// Under AddressSanitizer its own report of a SIGSEGV ends the process, as its options say.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kSegvStatus = -1;  // not checked
#else
constexpr int kSegvStatus = 128 + SIGSEGV;
#endif

struct Way {
    const char *name, *simargs;
    std::string input;
    int signal, status;
    std::string out_tail;
    friend void PrintTo(const Way& w, std::ostream* os) { *os << w.name; }
};

// "--mute-after K": answers K frames, then nothing (start-up: 9; the get's data: 17-20, end: 21).
// A signal comes while orvel waits in the get's data; a crash signal while it waits on "binary"
// (it restores the line and trusts nothing else).
const std::string kGet = "get m:\\G.BIN keep.bin\n", kWait = "echo waiting\n" + kGet,
                  kWaitBinary = "echo waiting\nbinary\n", kShown = "waiting\n0, CMD> ";
const Way kWays[] = {
    {"Pause", "", "pause\n", 0, 0, "Disconnecting and leaving orvel active\n"},
    {"Quit", "", "quit\n", 0, 0, "Disconnecting and closing down orvel\n"},
    {"ProtocolViolation", "--reply tm=XBAD", "quit\n", 0, 1, "got (XBAD), exiting\n"},
    {"SilentAfterTheStartUp", "--mute-after 9", "setv linetimeout 1\nbinary\n", 0, 1, kLost},
    {"SilentOnAGetsCommand", "--mute-after 10", "setv linetimeout 0.5\n" + kGet, 0, 1, kLost},
    {"SilentInAGetsData", "--mute-after 18", "setv linetimeout 0.5\n" + kGet, 0, 1, kLost},
    {"SilentOnAGetsEndWord", "--mute-after 21", "setv linetimeout 0.5\n" + kGet, 0, 1, kLost},
    {"RefusedEveryTime", "--fault in=1", "quit\n", 0, 1, kNoisy},
    {"DamagedEveryTime", "--fault out=1", "quit\n", 0, 1, kNoisy},
    {"Sigterm", "--mute-after 18", kWait, SIGTERM, 128 + SIGTERM, kShown},
    {"Sigint", "--mute-after 18", kWait, SIGINT, 128 + SIGINT, kShown},
    {"Sighup", "--mute-after 18", kWait, SIGHUP, 128 + SIGHUP, kShown},
    {"Sigquit", "--mute-after 18", kWait, SIGQUIT, 128 + SIGQUIT, kShown},
    {"Sigusr1", "--mute-after 18", kWait, SIGUSR1, 128 + SIGUSR1, kShown},
    {"Sigusr2", "--mute-after 18", kWait, SIGUSR2, 128 + SIGUSR2, kShown},
    {"Sigalrm", "--mute-after 18", kWait, SIGALRM, 128 + SIGALRM, kShown},
    {"Sigabrt", "--mute-after 9", kWaitBinary, SIGABRT, 128 + SIGABRT, kShown},
    {"Sigsegv", "--mute-after 9", kWaitBinary, SIGSEGV, kSegvStatus, kShown},
};

class LineSettingsTest : public ::testing::TestWithParam<Way> {};

TEST_P(LineSettingsTest, RestoredOnTheWayOut) {
    const Way& way = GetParam();
    const struct rlimit nocore = {0, 0};  // SIGQUIT and the crash signals would dump core
    setrlimit(RLIMIT_CORE, &nocore);
    OrganiserTree org;
    TempDir local;
    org.write("m/G.BIN", random_bytes(350, 5));
    local.write("keep.bin", kOld);
    std::istringstream words(way.simargs);
    const std::vector<std::string> simargs{std::istream_iterator<std::string>(words), {}};
    ServedSim sim(org.root, simargs);
    const auto before = settings_of(sim.pty);
    std::unique_ptr<Proc> p =
        sim.start({.input = way.input, .cwd = local.path, .keep_stdin_open = way.signal != 0});
    if (way.signal != 0) {
        EXPECT_TRUE(p->wait_until([&] { return p->out().ends_with(kShown); }, 10000));
        p->wait_until([] { return false; }, 400);  // orvel now waits for the reply
        expect_link_settings(sim.pty);
        p->send(way.signal);
    }
    RunResult r = sim.collect(*p, 15000);
    ASSERT_FALSE(r.timed_out);
    if (way.status >= 0) {
        EXPECT_EQ(r.status, way.status);
    }
    EXPECT_TRUE(r.out.ends_with(way.out_tail)) << r.out;
    EXPECT_LT(r.wall_seconds, 6.0);  // a line time-out of at most 1 s ends a silent wait
    EXPECT_EQ(settings_of(sim.pty), before);
    EXPECT_EQ(local.read("keep.bin"), kOld);
    EXPECT_EQ(local.dot_names(), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(EveryWayOut, LineSettingsTest, ::testing::ValuesIn(kWays),
                         [](const auto& info) { return std::string(info.param.name); });

// A port left raw (no canonical input) or translating newlines, or with translations that would
// spoil every frame: replies would arrive in pieces, on a line paced like a real one, or never
// end. A get is byte-identical, and the line gets its old settings back.
TEST(LineSettingsFoundTest, ALineLeftRawOrTranslatingCarriesFilesExactly) {
    std::string bytes;
    for (int i = 0; i < 1000; ++i) bytes += static_cast<char>(i * 7);
    for (tcflag_t iflag : {0, INLCR, INLCR | IGNCR | ISTRIP | IXON | PARMRK}) {
        SCOPED_TRACE(iflag);
        OrganiserTree tree;
        TempDir local;
        tree.write("m/ALL.BIN", bytes);
        ServedSim sim(tree.root, {"--baud", "115200"});
        struct termios t;
        int fd = open(sim.pty.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_EQ(tcgetattr(fd, &t), 0);
        if (iflag != INLCR) cfmakeraw(&t);
        t.c_iflag |= iflag;
        t.c_lflag |= ECHO;  // as `stty raw` leaves it: the organiser waits until orvel clears it
        tcsetattr(fd, TCSANOW, &t);
        close(fd);
        const auto before = settings_of(sim.pty);
        RunResult r = sim.run({.input = "get m:\\ALL.BIN\nquit\n", .cwd = local.path});
        EXPECT_EQ(r.status, 0) << r.out;
        EXPECT_EQ(local.read("ALL.BIN"), bytes);
        EXPECT_EQ(settings_of(sim.pty), before);
    }
}

TEST(LineSettingsFoundTest, StopGivesTheLineBackAndContinueTakesItAgain) {
    OrganiserTree tree;
    ServedSim sim(tree.root);
    {  // found with odd parity, two stop bits and hardware flow control: none of it is kept
        struct termios t = termios_of(sim.pty);
        t.c_cflag |= PARENB | PARODD | CSTOPB | CRTSCTS;
        int fd = open(sim.pty.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_EQ(tcsetattr(fd, TCSANOW, &t), 0);
        close(fd);
    }
    const auto before = settings_of(sim.pty);
    std::unique_ptr<Proc> p = sim.start({.input = "echo one\n", .keep_stdin_open = true});
    // The organiser's next ready prompt must be on the line before the stop: the simulator sends
    // nothing while the line echoes, as it does with the settings given back.
    auto prompt_queued = [&] {
        int fd = open(sim.pty.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC), lines = 0;
        if (fd >= 0) ioctl(fd, FIONREAD, &lines), close(fd);
        return p->out().ends_with("one\n0, CMD> ") && lines > 0;
    };
    ASSERT_TRUE(p->wait_until(prompt_queued, 10000)) << p->out();
    expect_link_settings(sim.pty);
    const auto held = settings_of(sim.pty);
    p->send(SIGTSTP);
    EXPECT_TRUE(p->wait_until([&] { return settings_of(sim.pty) == before; }, 5000));
    p->write_input("echo two\n");
    EXPECT_FALSE(p->wait_until([&] { return p->out().ends_with("two\n"); }, 500)) << "stopped";
    p->send(SIGCONT);
    EXPECT_TRUE(p->wait_until([&] { return p->out().ends_with("two\n0, CMD> "); }, 5000));
    EXPECT_EQ(settings_of(sim.pty), held);
    p->write_input("rpwd\nquit\n", true);
    RunResult r = sim.collect(*p, 15000);
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.ends_with(std::string("two\n") + kPrompt + "CWD on orvel is M:\\\n" +
                                kPrompt + "Disconnecting and closing down orvel\n"))
        << r.out;
    EXPECT_EQ(settings_of(sim.pty), before);
}

// `orvel ... | head`: once head has gone, the next command for the organiser is not sent; the
// organiser is disconnected instead.
TEST(LineSettingsFoundTest, AClosedOutputEndsTheRunWithTheLineRestored) {
    OrganiserTree tree;
    ServedSim sim(tree.root);
    const auto before = settings_of(sim.pty);
    // "gone" once nothing reads orvel's output any more; the status of orvel on standard error.
    const char* script =
        "{ \"$0\" -d \"$1\"; echo \"status $?\" >&2; } |"
        "{ head -n 1; exec <&-; echo gone >&2; }";
    Proc p({"/bin/sh", "-c", script, ORVEL_BIN, sim.pty}, {.keep_stdin_open = true});
    ASSERT_TRUE(p.wait_until([&] { return p.err() == "gone\n"; }, 10000)) << p.err();
    p.write_input("echo lost\nrpwd\nquit\n", true);
    RunResult r = sim.collect(p, 15000);
    EXPECT_EQ(r.frames_from_yal(), (std::vector<std::string>{"ia", "tm", "vn", "po 1", "dc"}));
    EXPECT_EQ(r.out, "Tavlin program version 3.24, orvel program version, 3.24,\n");
    EXPECT_EQ(r.err, "gone\nERROR, Cannot write to standard output, exiting\nstatus 1\n");
    EXPECT_EQ(settings_of(sim.pty), before);
}

}  // namespace
