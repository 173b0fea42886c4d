#include "baseline.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "harness.h"

namespace bench {

namespace {

using Clock = std::chrono::steady_clock;

// One turn of the exchange: who sends, and the writes that make it up.
struct Turn {
    char who;
    std::vector<std::string> writes;
    size_t bytes = 0;
};

std::vector<Turn> turns_of(const std::vector<std::pair<char, std::string>>& records) {
    std::vector<Turn> turns;
    for (const auto& [who, bytes] : records) {
        if (turns.empty() || turns.back().who != who) turns.push_back({who, {}, 0});
        turns.back().writes.push_back(bytes);
        turns.back().bytes += bytes.size();
    }
    return turns;
}

// The settings orvel gives the line: canonical input and nothing else (no echo, no input
// translation, output untouched, no control characters), 9600 8N1 without flow control.
void set_like_orvel(int fd) {
    struct termios t;
    tcgetattr(fd, &t);
    t.c_iflag = 0;
    t.c_oflag = 0;
    t.c_cflag = CS8 | CREAD;
    t.c_lflag = ICANON;
    for (cc_t& c : t.c_cc) c = _POSIX_VDISABLE;
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    tcsetattr(fd, TCSANOW, &t);
}

// Reads exactly `want` bytes (into `got` when given).
bool read_bytes(int fd, size_t want, Clock::time_point deadline, std::string* got = nullptr) {
    char buf[1024];
    while (want > 0) {
        if (Clock::now() > deadline) return false;
        struct pollfd p = {fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        ssize_t n = read(fd, buf, want < sizeof buf ? want : sizeof buf);
        if (n <= 0) return false;
        if (got) got->append(buf, static_cast<size_t>(n));
        want -= static_cast<size_t>(n);
    }
    return true;
}

bool write_bytes(int fd, const std::string& bytes) {
    return write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

// Plays one side: sends the turns that are `me`'s, reads the others in full.
bool play(int fd, char me, const std::vector<Turn>& turns, Clock::time_point deadline) {
    for (const Turn& t : turns) {
        if (t.who != me) {
            if (!read_bytes(fd, t.bytes, deadline)) return false;
            continue;
        }
        for (const std::string& w : t.writes)
            if (!write_bytes(fd, w)) return false;
    }
    return true;
}

// True once the program on the slave side has set the line up (echo off).
bool wait_configured(int master, Clock::time_point deadline) {
    while (Clock::now() < deadline) {
        struct termios t;
        if (tcgetattr(master, &t) == 0 && !(t.c_lflag & ECHO)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

// The peer's side of a recorded session against the real orvel; stamps the exchange's ends.
bool play_peer(int master, const std::vector<std::pair<char, std::string>>& records, size_t first,
               size_t last, Clock::time_point deadline, double* seconds) {
    Clock::time_point began = Clock::now();
    for (size_t i = 0; i < records.size(); ++i) {
        if (i == first) began = Clock::now();
        const std::string& bytes = records[i].second;
        std::string got;
        if (records[i].first == 'T' && !write_bytes(master, bytes)) return false;
        if (records[i].first == 'Y' &&
            (!read_bytes(master, bytes.size(), deadline, &got) || got != bytes))
            return false;
        if (i + 1 == last) *seconds = std::chrono::duration<double>(Clock::now() - began).count();
    }
    return true;
}

}  // namespace

double orvel_replay_seconds(const std::vector<std::pair<char, std::string>>& records, size_t first,
                            size_t last, const std::string& input, const std::string& cwd) {
    int master = -1, slave = -1;
    char name[256];
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) return -1;
    fcntl(master, F_SETFD, FD_CLOEXEC);  // orvel must not hold the peer's end
    fcntl(slave, F_SETFD, FD_CLOEXEC);
    Clock::time_point deadline = Clock::now() + std::chrono::seconds(60);
    RunSpec spec;
    spec.input = input;
    spec.cwd = cwd;
    Proc orvel({ORVEL_BIN, "-d", name}, spec);
    double seconds = -1;
    bool ok = wait_configured(master, deadline) &&
              play_peer(master, records, first, last, deadline, &seconds);
    RunResult r;
    orvel.finish(ok ? 10000 : 0, &r);
    close(master);
    close(slave);
    return ok && r.status == 0 ? seconds : -1;
}

double replay_seconds(const std::vector<std::pair<char, std::string>>& records) {
    int master = -1, slave = -1;
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return -1;
    set_like_orvel(slave);
    std::vector<Turn> turns = turns_of(records);
    Clock::time_point start = Clock::now();
    Clock::time_point deadline = start + std::chrono::seconds(60);
    std::atomic<bool> peer_ok{false};
    std::thread peer([&] { peer_ok = play(master, 'T', turns, deadline); });
    bool writer_ok = play(slave, 'Y', turns, deadline);
    peer.join();
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    close(master);
    close(slave);
    return writer_ok && peer_ok ? seconds : -1;
}

double replay_seconds_forked(const std::vector<std::pair<char, std::string>>& records) {
    int master = -1, slave = -1, ready[2];
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return -1;
    if (pipe(ready) != 0) return -1;
    set_like_orvel(slave);
    std::vector<Turn> turns = turns_of(records);
    Clock::time_point deadline = Clock::now() + std::chrono::seconds(60);
    pid_t pid = fork();
    if (pid == 0) {
        char go = 'g';
        bool ok = write(ready[1], &go, 1) == 1 && play(slave, 'Y', turns, deadline);
        _exit(ok ? 0 : 1);
    }
    char go = 0;
    bool ok = pid > 0 && read(ready[0], &go, 1) == 1;
    Clock::time_point start = Clock::now();
    ok = ok && play(master, 'T', turns, deadline);
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    int status = 1;
    if (pid > 0 && !ok) kill(pid, SIGKILL);
    if (pid > 0) waitpid(pid, &status, 0);
    for (int fd : {master, slave, ready[0], ready[1]}) close(fd);
    return ok && status == 0 ? seconds : -1;
}

}  // namespace bench
