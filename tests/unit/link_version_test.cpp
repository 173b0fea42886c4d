// Release comparison (up to four fields, each compared as a number), and the release gates of
// the commands that older organisers lack. The gates below 3.7, the oldest release accepted at
// start-up, can never refuse in a run, so they are pinned here: each command runs in a child
// whose organiser answers a release just below its gate (refused, with the gate named) or just
// at it (it goes on to the line, which is not open: lost contact, status 1).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <tuple>

#include "ovlib.h"
#include "ovmain.h"

namespace {

// Runs `line` at `release` in a child; returns what it printed, and its exit status in *status.
std::string run_at(const std::string& release, const std::string& line, int* status) {
    int fds[2];
    if (pipe(fds) != 0) return "no pipe";
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        alarm(10);  // a deadline for the child
        dup2(fds[1], 1);
        close(fds[0]);
        version = release;
        dovsnchk = 1;
        devid = -1;
        initvars();
        addvar("backupnocheck", "");
        cmdintr(line);
        std::fflush(stdout);
        _exit(0);
    }
    close(fds[1]);
    std::string out;
    char buf[512];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) out.append(buf, n);
    close(fds[0]);
    int st = 0;
    waitpid(pid, &st, 0);
    *status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    return out;
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
        SCOPED_TRACE(line);
        int status = -1;
        EXPECT_EQ(run_at(below, line, &status),
                  "Function " + line.substr(0, line.find(' ')) + " requires version " + gate +
                      " of tavlin, you have version " + below +
                      "\nPlease contact the orvel maintainers at your site\nfor a later release "
                      "of this software\nThis is not a fatal problem, other functions may still "
                      "work\n");
        EXPECT_EQ(status, 0);
        const std::string out = run_at(gate, line, &status);
        EXPECT_TRUE(out.ends_with("ERROR, Lost contact with the orvel, exiting\n")) << out;
        EXPECT_EQ(out.find("requires"), std::string::npos) << out;
        EXPECT_EQ(status, 1);
    }
    unlink(local.c_str());
}
