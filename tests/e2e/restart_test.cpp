// Leaving the organiser's program active with pause and re-attaching to it with -r, against one
// simulator that serves across several orvel runs.
#include <gtest/gtest.h>

#include "e2e_util.h"
#include "harness.h"

using namespace e2e;

TEST(RestartTest, PauseSendsNothingRestartSendsOlFirstAndOnceQuitEndsItAll) {
    OrganiserTree tree;
    ServedSim sim(tree.root);
    // The restart's own exchange: "ol", the drive, ia, vn, po 1 (no tm).
    const std::string restart = "$02ol$DBO$05sp m:$AAO$02ia$CAO" + kVn + kPo;
    struct Step {
        const char *args, *input;
        std::string wire, out_tail;
    } steps[] = {
        {"", "pause\n", kStartWire, std::string(kPrompt) + kPauseMsg},
        // -r twice in a row: each restart leaves a ready prompt behind for the next to discard
        // (read as a refusal of "ol", it would make orvel send the frame again).
        {"-r", "pause\n", restart, std::string(kPrompt) + kPauseMsg},
        {"-r echo again", "", restart + kDc, std::string("again\n") + kQuitMsg},
        // After "dc" the organiser is a freshly started peer again: a plain start works.
        {"", "quit\n", kStartWire + kDc, std::string(kPrompt) + kQuitMsg},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.args);
        RunSpec s{.args = words(step.args), .input = step.input, .timeout_ms = 15000};
        RunResult r = served_once(s, &sim);
        ASSERT_FALSE(r.timed_out);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.from_yal, step.wire);
        EXPECT_TRUE(r.out.ends_with(step.out_tail)) << r.out;
    }
}
