// Test support for the link library: the link runs in a forked child on the slave side of a
// real pseudo-terminal, while the test plays the organiser on the master side with framing of
// its own. Every wait has a deadline, and the child is killed if it outlives its test.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <iterator>

#include "ovlib.h"
#include "ovvar.h"

namespace linktest {

// The organiser's framing, written apart from the link's own.
inline std::string peerframe(const std::string& text) {
    unsigned sum = 0;
    for (unsigned char c : text) sum += c;
    char f[8];
    std::snprintf(f, sizeof f, "$%02zX$%02X", text.size() & 0xFF, sum & 0xFF);
    return std::string(f, 3) + text + (f + 3);
}

inline std::string readfile(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class PtyPeer {
  public:
    static constexpr int kDeadlineMs = 5000;
    PtyPeer() {
        char name[256];
        if (openpty(&master, &slave_, name, nullptr, nullptr) == 0) device = name;
        close(mkstemp(outname_.data()));
    }
    ~PtyPeer() {
        if (child_ > 0 && kill(child_, SIGKILL) == 0) waitpid(child_, nullptr, 0);
        close(master);
        close(slave_);
        unlink(outname_.c_str());
    }
    // Forks the link side: it opens the device (ovinitlink), runs `body` and prints its result.
    void start(auto body) {
        std::fflush(nullptr);
        if ((child_ = fork()) != 0) return;
        int fd = open(outname_.c_str(), O_WRONLY);
        dup2(fd, 1);
        dup2(fd, 2);
        close(master);  // or a hang-up by the test would never reach the link
        std::setvbuf(stdout, nullptr, _IONBF, 0);
        initvars();  // the link reads its switches from the variable store
        // Counters and the operand path start afresh, whatever ran before in this process.
        transgood = transbad = recgood = recbad = 0;
        ftransgood = ftransbad = frecgood = frecbad = 0;
        ovpath.clear();
        ovinitlink(device);
        close(slave_);
        std::printf("RESULT %d\n", body());
        _exit(0);
    }
    // Waits until the link has set the line up (echo off), so that nothing is echoed back.
    bool waitconfigured() {
        struct termios t;
        if (!within([&] { return tcgetattr(master, &t) == 0 && !(t.c_lflag & ECHO); }))
            return false;
        close(slave_);  // from now on a hang-up of the child shows on the master
        slave_ = -1;
        return true;
    }
    void sendline(const std::string& line) {
        std::string s = line + "\n";
        EXPECT_EQ(write(master, s.data(), s.size()), static_cast<ssize_t>(s.size()));
    }
    // Up to `n` bytes from the link: fewer at the deadline or a hang-up.
    std::string readn(std::size_t n) {
        std::string got;
        for (char c = 0; got.size() < n; got += c) {
            struct pollfd p = {master, POLLIN, 0};
            if (poll(&p, 1, kDeadlineMs) <= 0 || read(master, &c, 1) != 1) break;
        }
        wire += got;
        return got;
    }
    // Replies that the link must acknowledge with "O".
    void replies(std::initializer_list<std::string> texts) {
        for (const auto& text : texts) {
            sendline(peerframe(text));
            EXPECT_EQ(readn(1), "O") << "reply " << text;
        }
    }
    // Prompt, one frame from the link (checked against the peer's framing), acknowledgement.
    std::string take() {
        sendline(">");
        std::string frame = readn(3);
        if (frame.size() == 3) frame += readn(std::strtoul(frame.c_str() + 1, nullptr, 16) + 3);
        std::string text = frame.size() >= 6 ? frame.substr(3, frame.size() - 6) : "";
        EXPECT_EQ(frame, peerframe(text)) << "a broken frame from the link";
        sendline("O");
        return text;
    }
    // A command from the link and the organiser's replies to it.
    void exchange(const std::string& command, std::initializer_list<std::string> texts) {
        EXPECT_EQ(take(), command);
        replies(texts);
    }
    void hangup() { close(master), master = -1; }
    void terminate(int sig) {
        if (child_ > 0) kill(child_, sig);
    }
    // Waits for the child to end (killing it at the deadline); returns its exit status, or 128 +
    // the signal that ended it.
    int finish() {
        int status = 0;
        if (!within([&] { return waitpid(child_, &status, WNOHANG) == child_; })) {
            ADD_FAILURE() << "the link side did not end in time: killed";
            kill(child_, SIGKILL);
            waitpid(child_, &status, 0);
        }
        child_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    // Standard output and standard error of the child, both unbuffered, in order.
    std::string out() const { return readfile(outname_); }

    int master = -1;
    std::string device;
    std::string wire;  // every byte the link wrote, in order

  private:
    // Polls `done` every 5 ms until it holds (true) or the deadline passes (false).
    static bool within(auto done) {
        for (int waited = 0; waited < kDeadlineMs; waited += 5, usleep(5000))
            if (done()) return true;
        return false;
    }
    int slave_ = -1;
    pid_t child_ = -1;
    std::string outname_ = "/tmp/orvel-linktestXXXXXX";
};

}  // namespace linktest
