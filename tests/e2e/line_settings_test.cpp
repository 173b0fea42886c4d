// The serial line gets back the settings it had before orvel opened it, on every way out:
// pause, quit, a protocol violation, lost contact and the signals SIGTERM, SIGINT and SIGHUP
// arriving while orvel waits on a silent organiser.
#include <gtest/gtest.h>
#include <signal.h>

#include "e2e_util.h"
#include "harness.h"

using namespace e2e;

namespace {

// Frames either way in a normal start-up: XONLINE, ia, XYES, tm, XOK, vn, V3.24, po 1, XON.
constexpr int kStartupFrames = 9;

struct Outcome {
    RunResult result;
    std::string before_after;  // settings_diff of before and after
    std::string before_during;
};

// Runs orvel once against a fresh served sim, reading the line's settings before and after
// (and, for signal runs, while orvel waits).
Outcome run_and_compare(std::vector<std::string> simargs, RunSpec spec) {
    Outcome o;
    OrganiserTree tree;
    ServedSim sim(tree.root, std::move(simargs));
    struct termios before = {}, during = {}, after = {};
    if (sim.pty.empty() || !device_settings(sim.pty, &before)) {
        ADD_FAILURE() << "no served line";
        return o;
    }
    size_t offset = sim.trace_size();
    std::unique_ptr<Proc> p = sim.start(spec);
    if (spec.send_signal != 0) {
        EXPECT_TRUE(p->wait_for_out(spec.signal_when_out, 10000)) << p->out();
        p->wait_until([] { return false; }, spec.signal_delay_ms);
        device_settings(sim.pty, &during);
        o.before_during = settings_diff(before, during);
        p->send(spec.send_signal);
        spec.send_signal = 0;
    }
    o.result = sim.collect(*p, spec, offset);
    EXPECT_FALSE(o.result.timed_out);
    EXPECT_TRUE(device_settings(sim.pty, &after));
    o.before_after = settings_diff(before, after);
    return o;
}

RunSpec input_spec(const std::string& input) {
    RunSpec s;
    s.input = input;
    s.timeout_ms = 15000;
    return s;
}

RunSpec signal_spec(int sig) {
    RunSpec s;
    s.input = "echo waiting\nbinary\n";
    s.keep_stdin_open = true;
    s.send_signal = sig;
    s.signal_when_out = "waiting\n";
    s.signal_delay_ms = 400;
    s.timeout_ms = 15000;
    return s;
}

}  // namespace

TEST(LineSettingsTest, RestoredAfterPause) {
    Outcome o = run_and_compare({}, input_spec("pause\n"));
    EXPECT_EQ(o.result.status, 0);
    EXPECT_EQ(o.before_after, "");
}

TEST(LineSettingsTest, RestoredAfterQuit) {
    Outcome o = run_and_compare({}, input_spec("quit\n"));
    EXPECT_EQ(o.result.status, 0);
    EXPECT_EQ(o.before_after, "");
}

TEST(LineSettingsTest, RestoredAfterProtocolViolation) {
    Outcome o = run_and_compare({"--reply", "tm=XBAD"}, input_spec("quit\n"));
    EXPECT_EQ(o.result.status, 1);
    EXPECT_EQ(o.before_after, "");
}

TEST(LineSettingsTest, RestoredAfterLostContact) {
    // The line time-out turns a silent organiser into lost contact.
    Outcome o = run_and_compare({"--mute-after", std::to_string(kStartupFrames)},
                                input_spec("setv linetimeout 1\nbinary\n"));
    EXPECT_EQ(o.result.status, 1);
    EXPECT_TRUE(contains(o.result.out, kLostContact));
    EXPECT_EQ(o.before_after, "");
}

TEST(LineSettingsTest, RestoredAfterSignalsWhileWaiting) {
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(strsignal(sig));
        Outcome o =
            run_and_compare({"--mute-after", std::to_string(kStartupFrames)}, signal_spec(sig));
        EXPECT_NE(o.before_during, "");  // orvel had the line set up when the signal came
        EXPECT_EQ(o.before_after, "");
        EXPECT_NE(o.result.status, 0);
    }
}
