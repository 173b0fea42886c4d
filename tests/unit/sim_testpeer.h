// Test support for the simulated organiser: a Simulator serving a real pseudo-terminal on a
// thread, and a hand-driven workstation end on the slave. Every read has a deadline.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "simframe.h"
#include "simlink.h"
#include "simpty.h"
#include "simresult.h"
#include "simulator.h"

namespace sim {

// The workstation's end, set up the way the workstation sets up its line.
class TestPeer {
  public:
    explicit TestPeer(const std::string& path) {
        fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (fd_ >= 0) tcgetattr(fd_, &initial_);
    }
    ~TestPeer() {
        if (fd_ >= 0) close(fd_);
    }
    bool ok() const { return fd_ >= 0; }

    void configure() {
        struct termios t = initial_;
        t.c_lflag &= ~static_cast<tcflag_t>(ECHO | IEXTEN);
        t.c_iflag |= IGNCR | ISTRIP;
        t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | INPCK);
        t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
        tcsetattr(fd_, TCSANOW, &t);
    }
    void restore() { tcsetattr(fd_, TCSANOW, &initial_); }
    void flush_input() { tcflush(fd_, TCIFLUSH); }

    // One line as the canonical reader returns it (newline kept); "" after `ms` of silence,
    // "<EOF>" when the line is gone.
    std::string line(int ms = 3000) {
        struct pollfd p = {fd_, POLLIN, 0};
        if (poll(&p, 1, ms) <= 0) return "";
        char buf[1100];
        const ssize_t n = read(fd_, buf, sizeof buf);
        if (n <= 0) return "<EOF>";
        return std::string(buf, static_cast<size_t>(n));
    }
    bool quiet(int ms) { return line(ms).empty(); }
    void send(const std::string& bytes) {
        if (write(fd_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
            std::perror("TestPeer::send");
        }
    }

    // Receives one reply frame, acknowledges it ("R" for a damaged one) and returns its text.
    std::string response() {
        for (int tries = 0; tries < 50; ++tries) {
            std::string l = line();
            if (l.empty() || l == "<EOF>") return "<NONE>";
            if (!l.empty() && l.back() == '\n') l.pop_back();
            const FrameEvent ev = parse_frame_bytes(l);
            if (ev.kind == FrameEvent::kFrame && l.size() == ev.text.size() + 6) {
                send("O");
                return ev.text;
            }
            ++refused;
            send("R");
        }
        return "<NONE>";
    }
    // Waits for the ready prompt (unless `sync` is false), sends a frame, and returns once it is
    // acknowledged; false on silence.
    bool put(const std::string& text, bool sync = true) {
        if (sync && !await_prompt()) return false;
        for (int tries = 0; tries < 50; ++tries) {
            send(frame_body(text));
            const std::string a = line();
            if (a.empty() || a == "<EOF>") return false;
            if (a[0] == 'O') return true;
            ++resent;
        }
        return false;
    }
    bool await_prompt() {
        for (int i = 0; i < 100; ++i) {
            const std::string l = line();
            if (l.empty() || l == "<EOF>") return false;
            if (l[0] == '>') return true;
            skipped.push_back(l);
        }
        return false;
    }
    // A command and its `n` replies.
    std::vector<std::string> command(const std::string& text, int n) {
        std::vector<std::string> out;
        if (!put(text)) return {"<NOT SENT>"};
        for (int i = 0; i < n; ++i) out.push_back(response());
        return out;
    }
    // A listing command: replies up to and including XENDLIST or XBADPATH.
    std::vector<std::string> listing(const std::string& text) {
        std::vector<std::string> out;
        if (!put(text)) return {"<NOT SENT>"};
        for (int i = 0; i < 500; ++i) {
            out.push_back(response());
            if (out.back() == "XENDLIST" || out.back() == "XBADPATH" || out.back() == "<NONE>" ||
                out.back() == "XBADPARAM") {
                break;
            }
        }
        return out;
    }

    int refused = 0;  // reply frames answered "R"
    int resent = 0;   // our frames sent again
    std::vector<std::string> skipped;

  private:
    int fd_ = -1;
    struct termios initial_ = {};
};

// A Simulator on a fresh pseudo-terminal, run on its own thread until the harness goes away.
struct SimHarness {
    explicit SimHarness(SimConfig config = SimConfig(), LinkQuirks quirks = LinkQuirks(),
                        FaultPlan faults = FaultPlan(), long baud = 0, bool watch_opens = true) {
        char tmpl[] = "/tmp/simsession-XXXXXX";
        root = mkdtemp(tmpl);
        fs = std::make_unique<SimFs>(root + "/org");
        std::string err;
        fs->init(&err);
        int master = -1;
        open_pty(&master, &slave_keep, &slave_path, &err);
        line = std::make_unique<Line>(master, baud, &trace);
        trace.open(root + "/trace");
        line->set_stop([this] { return stop.load(); });
        this->faults = std::make_unique<Faults>(faults);
        link = std::make_unique<Link>(*line, *this->faults, quirks, root + "/stats");
        simulator = std::make_unique<Simulator>(config, *link, *fs);
        if (watch_opens) watch.start(slave_path);
        simulator->set_watch(&watch);
        thread = std::thread([this] { result = simulator->run(); });
    }
    ~SimHarness() {
        stop = true;
        thread.join();
        if (slave_keep >= 0) close(slave_keep);
        std::system(("rm -rf '" + root + "'").c_str());
    }
    std::string org(const std::string& rel) const { return root + "/org/" + rel; }

    std::string root, slave_path;
    int slave_keep = -1;
    Trace trace;
    OpenWatch watch;
    std::unique_ptr<SimFs> fs;
    std::unique_ptr<Line> line;
    std::unique_ptr<Faults> faults;
    std::unique_ptr<Link> link;
    std::unique_ptr<Simulator> simulator;
    std::atomic<bool> stop{false};
    std::atomic<int> result{0};
    std::thread thread;
};

}  // namespace sim
