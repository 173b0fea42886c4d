// Release comparison (up to four fields, each compared as a number), and the release gates of
// the commands that older organisers lack. The gates below 3.7, the oldest release accepted at
// start-up, can never refuse in a run, so they are pinned here: each command runs in a child
// whose organiser answers a release just below its gate (refused, with the gate named) or just
// at it (it goes on to the line).
#include <gtest/gtest.h>
#include <unistd.h>

#include <tuple>

#include "ovlib.h"
#include "ovmain.h"

namespace {

// Runs `line` with the organiser at `release` and no line open (a command that goes on to use
// it ends with lost contact, status 1), else ends with status 0; prints on standard error.
void run_at(const std::string& release, const std::string& line) {
    dup2(2, 1);
    version = release;
    dovsnchk = 1;
    devid = -1;
    initvars();
    addvar("backupnocheck", "");
    cmdintr(line);
    std::fflush(stdout);
    std::exit(0);
}

}  // namespace

TEST(LinkVersionTest, ComparesUpToFourNumericFields) {
    const std::tuple<const char*, const char*, int> cases[] = {
        {"3.24", "3.7", 1}, {"3.7", "3.24", -1},  {"3.07", "3.7", 0},          {"3", "3.0.0.0", 0},
        {"", "3.7", -1},    {"3.24b", "3.24", 0}, {"1.2.3.4.9", "1.2.3.4", 0}, {"3..5", "3.0.5", 0},
    };
    for (const auto& [a, b, want] : cases) EXPECT_EQ(vsncompare(a, b), want) << a << " " << b;
}

TEST(LinkVersionTest, OldCommandsAreRefusedOnlyBelowTheirGates) {
    const std::string local = testing::TempDir() + "orvel-gate-" + std::to_string(getpid());
    std::fclose(std::fopen(local.c_str(), "w"));  // restore needs something to put
    const std::tuple<std::string, const char*, const char*> gates[] = {
        {"info m:\\a", "2.7.9999", "2.8"},
        {"setro m:\\a", "2.7.9999", "2.8"},
        {"setrw m:\\a", "2.7.9999", "2.8"},
        {"rlist m:\\a", "2.7.9999", "2.8"},
        {"backup m:\\a /x", "2.7.9999", "2.8"},
        {"ibackup m:\\a /x", "2.7.9999", "2.8"},
        {"restore m:\\a " + local, "2.7.9999", "2.8"},
        {"irestore m:\\a " + local, "2.7.9999", "2.8"},
        {"rcd m:\\a", "2.17.9999", "2.18"},
        {"rpwd", "2.18.9999", "2.19"},
        {"sum m:\\a", "2.29.9999", "2.30"},
    };
    for (const auto& [line, below, gate] : gates) {
        EXPECT_EXIT(run_at(below, line), testing::ExitedWithCode(0),
                    "Function " + line.substr(0, line.find(' ')) + " requires version " + gate +
                        " of tavlin, you have version " + below + "\n.*not a fatal problem")
            << line;
        EXPECT_EXIT(run_at(gate, line), testing::ExitedWithCode(1), "Lost contact") << line;
    }
    unlink(local.c_str());
}
