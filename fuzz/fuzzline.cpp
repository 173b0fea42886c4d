// The pseudo-terminal line of the receive-path fuzz targets.
#include "fuzzline.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "ovlib.h"

namespace fuzzline {

namespace {

struct PtyLine {
    int master = -1, slave = -1;
    int wake[2] = {-1, -1};  // tells the feeder that the run is over
};

// The slave opened through ovinitlink, so that it carries the link's own line settings; the
// signal handlers that ovinitlink installs give way to the ones that were there before.
PtyLine openline() {
    PtyLine line;
    line.master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    const char* name = line.master >= 0 && grantpt(line.master) == 0 &&
                               unlockpt(line.master) == 0 && pipe(line.wake) == 0
                           ? ptsname(line.master)
                           : nullptr;
    if (name == nullptr) return line;
    struct sigaction saved[NSIG] = {};
    for (int sig = 1; sig < NSIG; ++sig) sigaction(sig, nullptr, &saved[sig]);
    const int keepdev = devid;
    ovinitlink(name);
    line.slave = devid;
    devid = keepdev;
    for (int sig = 1; sig < NSIG; ++sig) sigaction(sig, &saved[sig], nullptr);
    return line;
}

PtyLine& theline() {
    static PtyLine line = openline();
    return line;
}

// Feeds `stream` to the master and reads away the link's answers, until the wake pipe rings.
void feed(const PtyLine& line, const std::string& stream) {
    char junk[4096];
    for (std::size_t off = 0;;) {
        struct pollfd p[2] = {
            {line.master, static_cast<short>(POLLIN | (off < stream.size() ? POLLOUT : 0)), 0},
            {line.wake[0], POLLIN, 0}};
        if (poll(p, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        ssize_t n = (p[0].revents & POLLIN) ? read(line.master, junk, sizeof junk) : 0;
        n = (p[0].revents & POLLOUT) && off < stream.size()
                ? write(line.master, stream.data() + off, stream.size() - off)
                : 0;
        off += n > 0 ? static_cast<std::size_t>(n) : 0;
        if (p[1].revents & POLLIN) {
            n = read(line.wake[0], junk, 1);  // emptied for the next run
            return;
        }
    }
}

// Empties the line both ways, so that a run never sees what an earlier run left: a line-end
// and a marker sent each way and read back. A drain alone would miss bytes that the pty has
// not handed on yet, and a leftover frame of the link would be answered as a new command.
// Gives up (the next run then fails loudly) when a marker has not come back in five seconds.
void settle(const PtyLine& line) {
    static unsigned long settles = 0;
    const std::string marker = "\n#settled " + std::to_string(++settles) + "\n";
    const auto readuntil = [&](int fd, int towrite) {
        std::string seen;
        for (std::size_t off = 0; seen.find(marker) == std::string::npos;) {
            struct pollfd p = {fd, POLLIN, 0}, w = {towrite, POLLOUT, 0};
            if (off < marker.size() && poll(&w, 1, 0) > 0) {
                const ssize_t n = write(towrite, marker.data() + off, marker.size() - off);
                off += n > 0 ? static_cast<std::size_t>(n) : 0;
            }
            if (poll(&p, 1, 5000) <= 0) return;
            char buf[4096];
            const ssize_t n = read(fd, buf, sizeof buf);
            if (n <= 0 && errno != EINTR && errno != EAGAIN) return;
            seen.append(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
            seen.erase(0, seen.size() > 2 * marker.size() ? seen.size() - 2 * marker.size() : 0);
        }
    };
    readuntil(line.slave, line.master);  // what was fed to the link
    readuntil(line.master, line.slave);  // what the link wrote
}

}  // namespace

std::string peerframe(const std::string& text) {
    const std::string t = text.substr(0, kMaxFrameText);
    unsigned sum = 0;
    for (unsigned char c : t) sum += c;
    char head[8], tail[8];
    std::snprintf(head, sizeof head, "$%02X", static_cast<unsigned>(t.size()));
    std::snprintf(tail, sizeof tail, "$%02X\n", sum & 0xFFu);
    return head + t + tail;
}

bool runonline(const std::string& stream, const std::function<void()>& body) {
    PtyLine& line = theline();
    if (line.slave < 0) return false;
    // A marker that input made up in advance cannot match: it counts the runs.
    static unsigned long runs = 0;
    const std::string marker = "#end of run " + std::to_string(++runs) + "\n",
                      all = stream + marker;
    std::thread feeder(feed, std::cref(line), std::cref(all));
    const int keepdev = devid;
    devid = line.slave;
    body();
    // Reads the slave up to the end marker: everything fed has arrived.
    char buf[8192];
    for (ssize_t n; (n = read(line.slave, buf, sizeof buf)) != 0;)
        if ((n < 0 && errno != EINTR) || std::string(buf, n > 0 ? n : 0) == marker) break;
    devid = keepdev;
    ssize_t woken = write(line.wake[1], "x", 1);
    (void)woken;
    feeder.join();
    settle(line);
    return true;
}

const std::string& scratchdir() {
    static const std::string dir = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/orvel-fuzz-XXXXXX";
        return mkdtemp(tmpl.data()) ? tmpl : std::string();
    }();
    static const bool removed_at_exit = std::atexit([] {  // before `dir` itself goes
                                            std::error_code ignored;
                                            std::filesystem::remove_all(scratchdir(), ignored);
                                        }) == 0;
    (void)removed_at_exit;
    return dir;
}

namespace {

// The peer's side of runwithpeer: takes each whole frame ("$", two hex digits of length, the
// text, "$", two digits; what comes between is the link's acknowledgements) and answers it.
void serve(const PtyLine& line, const Answer& answer) {
    std::string in, out = ">\n";
    for (char buf[4096];;) {
        for (std::size_t off = 0; off < out.size();) {
            const ssize_t n = write(line.master, out.data() + off, out.size() - off);
            struct pollfd p = {line.master, POLLOUT, 0};
            if (n > 0) off += static_cast<std::size_t>(n);
            if (n <= 0) poll(&p, 1, -1);
        }
        out.clear();
        struct pollfd p[2] = {{line.master, POLLIN, 0}, {line.wake[0], POLLIN, 0}};
        if (poll(p, 2, -1) < 0 || (p[1].revents & POLLIN)) return;
        const ssize_t got = read(line.master, buf, sizeof buf);
        in.append(buf, got > 0 ? static_cast<std::size_t>(got) : 0);
        for (;;) {
            in.erase(0, std::min(in.find('$'), in.size()));
            const std::size_t n = in.size() < 3 ? 0 : std::strtoul(in.substr(1, 2).c_str(), 0, 16);
            if (in.size() < 3 || in.size() < n + 6) break;
            out += "O\n";
            for (const std::string& text : answer(in.substr(3, n))) out += peerframe(text);
            out += ">\n";
            in.erase(0, n + 6);
        }
    }
}

}  // namespace

bool runwithpeer(const Answer& answer, const std::function<void()>& body) {
    PtyLine& line = theline();
    if (line.slave < 0) return false;
    std::thread peer(serve, std::cref(line), std::cref(answer));
    const int keepdev = devid;
    devid = line.slave;
    body();
    devid = keepdev;
    char c;
    ssize_t ignored = write(line.wake[1], "x", 1);
    peer.join();
    ignored = read(line.wake[0], &c, 1);
    (void)ignored;
    settle(line);  // the last ready prompt, unread, and anything the link wrote after
    return true;
}

}  // namespace fuzzline
