// The pseudo-terminal line of the receive-path fuzz targets.
#include "fuzzline.h"

#include <fcntl.h>
#include <ftw.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "ovlib.h"

namespace fuzzline {

namespace {

struct PtyLine {
    int master = -1;
    int slave = -1;
    int wake[2] = {-1, -1};  // tells the feeder that the run is over
    bool ok = false;
};

// Opens the slave through ovinitlink, so that it carries the link's own line settings; the
// signal handlers that ovinitlink installs are replaced by the ones that were there before.
int openslave(const char* name) {
    struct sigaction saved[NSIG] = {};
    for (int sig = 1; sig < NSIG; ++sig) sigaction(sig, nullptr, &saved[sig]);
    const int keepdev = devid;
    ovinitlink(name);
    const int slave = devid;
    devid = keepdev;
    for (int sig = 1; sig < NSIG; ++sig) sigaction(sig, &saved[sig], nullptr);
    return slave;
}

PtyLine openline() {
    PtyLine line;
    line.master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (line.master < 0 || grantpt(line.master) != 0 || unlockpt(line.master) != 0) return line;
    const char* name = ptsname(line.master);
    if (name == nullptr || pipe(line.wake) != 0) return line;
    line.slave = openslave(name);
    line.ok = line.slave >= 0;
    return line;
}

PtyLine& theline() {
    static PtyLine line = openline();
    return line;
}

// Writes `stream` into the master as the line takes it and reads away the link's answers,
// until the wake pipe says the run is over.
void feed(const PtyLine& line, const std::string& stream) {
    std::size_t off = 0;
    char junk[4096];
    for (;;) {
        struct pollfd p[2] = {
            {line.master, static_cast<short>(POLLIN | (off < stream.size() ? POLLOUT : 0)), 0},
            {line.wake[0], POLLIN, 0}};
        if (poll(p, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (p[0].revents & POLLIN) {
            ssize_t ignored = read(line.master, junk, sizeof junk);
            (void)ignored;
        }
        if ((p[0].revents & POLLOUT) && off < stream.size()) {
            ssize_t n = write(line.master, stream.data() + off, stream.size() - off);
            if (n > 0) off += static_cast<std::size_t>(n);
        }
        if (p[1].revents & POLLIN) {
            char c;
            ssize_t ignored = read(line.wake[0], &c, 1);
            (void)ignored;
            return;
        }
    }
}

// Reads whole lines from the slave until the end marker arrives.
void drainto(int slave, const std::string& marker) {
    char buf[8192];
    for (;;) {
        ssize_t n = read(slave, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;  // cannot happen on an open pty; nothing more to wait for
        if (std::string(buf, static_cast<std::size_t>(n)) == marker) return;
    }
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
    if (!line.ok) return false;
    // A marker that input made up in advance cannot match: it counts the runs.
    static unsigned long runs = 0;
    const std::string marker = "#end of run " + std::to_string(++runs) + "\n";
    const std::string all = stream + marker;
    std::thread feeder(feed, std::cref(line), std::cref(all));
    const int keepdev = devid;
    devid = line.slave;
    body();
    drainto(line.slave, marker);
    devid = keepdev;
    ssize_t ignored = write(line.wake[1], "x", 1);
    (void)ignored;
    feeder.join();
    return true;
}

namespace {

int removeentry(const char* path, const struct stat*, int, struct FTW*) {
    return remove(path);
}

std::string madedir;

void removescratch() {
    if (!madedir.empty()) nftw(madedir.c_str(), removeentry, 16, FTW_DEPTH | FTW_PHYS);
}

}  // namespace

const std::string& scratchdir() {
    if (madedir.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/orvel-fuzz-XXXXXX";
        if (mkdtemp(tmpl.data()) != nullptr) {
            madedir = tmpl;
            std::atexit(removescratch);
        }
    }
    return madedir;
}

namespace {

// The peer's side of runwithpeer: takes each whole frame ("$", two hex digits of length, the
// text, "$", two digits; what comes between is the link's acknowledgements) and answers it.
void serve(const PtyLine& line, const Answer& answer) {
    struct termios t = {};
    tcgetattr(line.slave, &t);
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
            for (std::string text : answer(in.substr(3, n))) {
                std::erase_if(text, [&](char c) { return c == '\r' && (t.c_iflag & IGNCR); });
                for (char& c : text) c = (t.c_iflag & ISTRIP) ? (c & 0x7f) : c;
                out += peerframe(text);
            }
            out += ">\n";
            in.erase(0, n + 6);
        }
    }
}

}  // namespace

bool runwithpeer(const Answer& answer, const std::function<void()>& body) {
    PtyLine& line = theline();
    if (!line.ok) return false;
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
    tcflush(line.slave, TCIFLUSH);  // the last ready prompt, unread
    while (read(line.master, &c, 1) > 0) {
    }
    return true;
}

}  // namespace fuzzline
