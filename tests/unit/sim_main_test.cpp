// The tavlin-sim program itself: help, usage errors, run mode's exit status and serve mode's
// path line and link. The program is looked for beside this test program.
#include <gtest/gtest.h>
#include <limits.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "sim_testpeer.h"

namespace sim {
namespace {

std::string sim_binary() {
    char buf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return "";
    std::string self(buf, static_cast<size_t>(n));
    return self.substr(0, self.rfind('/') + 1) + "tavlin-sim";
}

struct Ran {
    int status = -1;
    std::string out;
};

// Runs a shell command line with a deadline (the shell's `timeout`), capturing standard output.
Ran run(const std::string& cmd) {
    Ran r;
    FILE* p = popen(("timeout 20 " + cmd).c_str(), "r");
    if (p == nullptr) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    r.status = WEXITSTATUS(pclose(p));
    return r;
}

class SimMainTest : public ::testing::Test {
  protected:
    void SetUp() override {
        bin_ = sim_binary();
        if (access(bin_.c_str(), X_OK) != 0) GTEST_SKIP() << "no " << bin_;
        char tmpl[] = "/tmp/simmain-XXXXXX";
        dir_ = mkdtemp(tmpl);
    }
    void TearDown() override {
        if (!dir_.empty()) std::system(("rm -rf '" + dir_ + "'").c_str());
    }
    std::string script(const std::string& name, const std::string& body) {
        const std::string path = dir_ + "/" + name;
        std::ofstream(path) << "#!/bin/sh\n" << body;
        chmod(path.c_str(), 0755);
        return path;
    }
    std::string bin_, dir_;
};

TEST_F(SimMainTest, HelpListsEveryOption) {
    const Ran r = run(bin_ + " --help");
    EXPECT_EQ(r.status, 0);
    for (const char* opt : {"--root", "--link", "--device", "--release", "--baud", "--fault",
                            "--stats", "--trace", "--procs", "--reply", "--online", "--ack",
                            "--prompt", "--junk", "--pad-blank", "--mute-after"}) {
        EXPECT_NE(r.out.find(opt), std::string::npos) << opt;
    }
}

TEST_F(SimMainTest, UsageErrorsExitTwo) {
    EXPECT_EQ(run(bin_ + " --bogus 2>/dev/null").status, 2);
    EXPECT_EQ(run(bin_ + " 2>/dev/null").status, 2);
    EXPECT_EQ(run(bin_ + " --root " + dir_ + " --fault out=7 2>/dev/null").status, 2);
    EXPECT_EQ(run(bin_ + " --root " + dir_ + " --procs ',' 2>/dev/null").status, 2);
    EXPECT_EQ(run(bin_ + " --root " + dir_ + " -- 2>/dev/null").status, 2);
}

TEST_F(SimMainTest, RunModeInsertsTheDeviceAndPassesTheStatusOn) {
    const std::string prog =
        script("prog", "echo \"$1 $3 $4\"; case \"$2\" in /dev/pts/*) exit 7;; esac\n");
    const Ran r = run(bin_ + " --root " + dir_ + "/org -- " + prog + " a 'b c'");
    EXPECT_EQ(r.out, "-d a b c\n");
    EXPECT_EQ(r.status, 7);
    struct stat st;
    EXPECT_EQ(stat((dir_ + "/org/m").c_str(), &st), 0);
}

TEST_F(SimMainTest, RunModeReportsAKillingSignal) {
    const std::string prog = script("die", "kill -TERM $$\n");
    EXPECT_EQ(run(bin_ + " --root " + dir_ + " -- " + prog).status, 128 + SIGTERM);
}

// Starts the program with its standard output on a pipe; the pid and the pipe's read end.
pid_t start(const std::vector<std::string>& args, int* out) {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        close(fds[0]);
        close(fds[1]);
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(fds[1]);
    *out = fds[0];
    return pid;
}

// Waits up to `ms` for the child; its exit status, or -1 (then it is killed).
int wait_for(pid_t pid, int ms) {
    int status = 0;
    for (int waited = 0; waited < ms; waited += 10) {
        if (waitpid(pid, &status, WNOHANG) == pid) return WEXITSTATUS(status);
        usleep(10000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
}

TEST_F(SimMainTest, ServeModePrintsThePathKeepsALinkAndStopsOnTerm) {
    const std::string link = dir_ + "/tty";
    int out = -1;
    const pid_t pid = start({bin_, "--root", dir_ + "/org", "--link", link}, &out);
    ASSERT_GT(pid, 0);
    std::string path;
    char c;
    struct pollfd p = {out, POLLIN, 0};
    while (poll(&p, 1, 5000) > 0 && read(out, &c, 1) == 1 && c != '\n') path += c;
    close(out);
    EXPECT_EQ(path.rfind("/dev/pts/", 0), 0u) << path;
    char target[256] = {};
    EXPECT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(path, target);
    {
        TestPeer peer(link);
        peer.configure();
        EXPECT_EQ(peer.response(), "XONLINE");
        EXPECT_EQ(peer.command("vn", 1), std::vector<std::string>{"V3.24"});
        peer.restore();
    }
    kill(pid, SIGTERM);
    EXPECT_EQ(wait_for(pid, 5000), 0);
    EXPECT_NE(access(link.c_str(), F_OK), 0);  // removed at exit
}

}  // namespace
}  // namespace sim
