// Test support for the link library: the link runs in a forked child on the slave side of a
// real pseudo-terminal, while the test plays the organiser on the master side with framing of
// its own. Every wait has a deadline, and the child is killed if it outlives its test.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include "ovlib.h"
#include "ovvar.h"

namespace linktest {

// The organiser's framing, written apart from the link's own.
inline std::string peerframe(const std::string& text) {
    unsigned sum = 0;
    for (unsigned char c : text) sum += c;
    char head[8], tail[8];
    std::snprintf(head, sizeof head, "$%02X", static_cast<unsigned>(text.size()));
    std::snprintf(tail, sizeof tail, "$%02X", sum & 0xFFu);
    return head + text + tail;
}

inline std::string readfile(const std::string& name) {
    std::string data;
    if (FILE* f = std::fopen(name.c_str(), "rb")) {
        char buf[4096];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) data.append(buf, n);
        std::fclose(f);
    }
    return data;
}

struct ChildResult {
    bool exited = false;  // ended by exit (status valid) rather than by a signal
    int status = -1;
    int signal = 0;
    std::string out, err;
};

class PtyPeer {
  public:
    using Body = std::function<int(const std::string& device)>;
    static constexpr int kDeadlineMs = 5000;

    PtyPeer() {
        char name[256];
        if (openpty(&master_, &slave_, name, nullptr, nullptr) == 0) device_ = name;
        outname_ = tempname();
        errname_ = tempname();
    }
    ~PtyPeer() {
        if (child_ > 0) {
            kill(child_, SIGKILL);
            waitpid(child_, nullptr, 0);
        }
        closefd(master_);
        closefd(slave_);
        unlink(outname_.c_str());
        unlink(errname_.c_str());
    }
    const std::string& device() const { return device_; }
    int slavefd() const { return slave_; }
    int masterfd() const { return master_; }

    // Forks the link side. With `openlink` the child first opens the device (ovinitlink); the
    // body's result is printed as "RESULT %d" at the end of the child's standard output.
    void start(Body body, bool openlink = true) {
        std::fflush(stdout);
        std::fflush(stderr);
        child_ = fork();
        if (child_ != 0) return;
        redirect(outname_, 1);
        redirect(errname_, 2);
        close(master_);
        initvars();  // the link reads its switches from the variable store
        if (openlink) ovinitlink(device_);
        close(slave_);
        int rc = body(device_);
        std::printf("RESULT %d\n", rc);
        std::fflush(stdout);
        _exit(0);
    }

    // Waits until the link has set the line up (echo off), so that nothing is echoed back.
    bool waitconfigured() {
        for (int waited = 0; waited < kDeadlineMs; waited += 5) {
            struct termios t;
            if (tcgetattr(master_, &t) == 0 && (t.c_lflag & ECHO) == 0) {
                closefd(slave_);  // from now on a hang-up of the child shows on the master
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        ADD_FAILURE() << "the link never configured the line";
        return false;
    }

    void sendline(const std::string& line) { writeall(line + "\n"); }
    void prompt() { sendline(">"); }
    void ack() { sendline("O"); }
    // Sends one reply frame and returns the link's one-byte acknowledgement.
    char reply(const std::string& text) {
        sendline(peerframe(text));
        return readbyte();
    }
    // Sends a reply that must be accepted.
    void replyok(const std::string& text) { EXPECT_EQ(reply(text), 'O') << "reply " << text; }

    // One byte from the link, or 0 at the deadline or hang-up.
    char readbyte() {
        char c = 0;
        struct pollfd p = {master_, POLLIN, 0};
        if (poll(&p, 1, kDeadlineMs) <= 0 || read(master_, &c, 1) != 1) return 0;
        wire += c;
        return c;
    }
    // Reads one frame from the link and returns its text ("" and a failure when it is broken).
    std::string readframe() {
        std::string head = readn(3);
        if (head.size() != 3 || head[0] != '$') return fail("frame head", head);
        std::size_t n = std::strtoul(head.substr(1).c_str(), nullptr, 16);
        std::string text = readn(n);
        std::string tail = readn(3);
        if (text.size() != n || tail.size() != 3) return fail("frame body", head + text + tail);
        EXPECT_EQ(peerframe(text), head + text + tail) << "checksum of a sent frame";
        return text;
    }
    // Prompt, the frame, its acknowledgement: one line taken from the link.
    std::string take() {
        prompt();
        std::string text = readframe();
        ack();
        return text;
    }
    // A command and its replies, each reply acknowledged by the link.
    void exchange(const std::string& expected, std::initializer_list<std::string> replies) {
        EXPECT_EQ(take(), expected);
        for (const auto& r : replies) replyok(r);
    }
    void hangup() { closefd(master_); }
    void terminate(int sig) {
        if (child_ > 0) kill(child_, sig);
    }

    // Waits for the child to end (killing it at the deadline) and collects its output.
    ChildResult finish() {
        ChildResult r;
        int status = 0;
        for (int waited = 0;; waited += 5) {
            if (waitpid(child_, &status, WNOHANG) == child_) break;
            if (waited >= kDeadlineMs) {
                ADD_FAILURE() << "the link side did not end in time";
                kill(child_, SIGKILL);
                waitpid(child_, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        child_ = -1;
        r.exited = WIFEXITED(status);
        r.status = r.exited ? WEXITSTATUS(status) : -1;
        r.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
        r.out = readfile(outname_);
        r.err = readfile(errname_);
        return r;
    }

    std::string wire;  // every byte the link wrote, in order

  private:
    static std::string tempname() {
        char name[] = "/tmp/orvel-linktestXXXXXX";
        int fd = mkstemp(name);
        if (fd >= 0) close(fd);
        return name;
    }
    static void redirect(const std::string& name, int target) {
        int fd = open(name.c_str(), O_WRONLY | O_TRUNC);
        dup2(fd, target);
        close(fd);
    }
    static void closefd(int& fd) {
        if (fd >= 0) close(fd);
        fd = -1;
    }
    std::string readn(std::size_t n) {
        std::string s;
        while (s.size() < n) {
            char c = readbyte();
            if (c == 0) break;
            s += c;
        }
        return s;
    }
    std::string fail(const char* what, const std::string& got) {
        ADD_FAILURE() << "broken " << what << ": " << got;
        return "";
    }
    void writeall(const std::string& s) {
        if (master_ < 0) return;
        ssize_t n = write(master_, s.data(), s.size());
        EXPECT_EQ(n, static_cast<ssize_t>(s.size()));
    }

    int master_ = -1, slave_ = -1;
    pid_t child_ = -1;
    std::string device_, outname_, errname_;
};

}  // namespace linktest
