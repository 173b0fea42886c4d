// The serial device: opening and setting up the line, raw reads and writes, the line time-out.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <ctime>

#include "hooks.h"
#include "linkio.h"
#include "ovlib.h"
#include "owned.h"

namespace {

const char* const kDefaultDevice = "/dev/term/a";

// Owns the open device; `devid` is its plain mirror, which the signal handlers can read.
UniqueFd devicefd;

// The link's settings, all from a known state whatever the last program left on the port:
// canonical lines (the reader takes one line per read), no echo of any kind, no translation of
// input bytes or line ends (bit 7 kept, carriage returns kept), bytes sent unchanged, 9600 8N1
// without flow control, modem-status lines honoured. No byte from the line acts as a control
// character either: a noise byte 0x04 would read as end of file and end the session, and
// 0x03, 0x1C or 0x1A would flush replies already received; such bytes must reach the frame
// check as the damage they are.
void linksettings(struct termios* t) {
    t->c_iflag = 0;
    t->c_oflag = 0;
    t->c_cflag = CS8 | CREAD;
    t->c_lflag = ICANON;
    for (cc_t& c : t->c_cc) c = _POSIX_VDISABLE;
    // Unused in canonical mode; set anyway where they do not share a slot with VEOF and VEOL.
    if constexpr (VMIN != VEOF && VTIME != VEOL) {
        t->c_cc[VMIN] = 1;
        t->c_cc[VTIME] = 0;
    }
    cfsetospeed(t, B9600);
    cfsetispeed(t, B9600);
}

// The `linetimeout` variable in milliseconds, or -1 (wait for ever) when it is unset or not a
// positive number.
int linetimeoutms() {
    const char* value = linkvar("linetimeout");
    if (value == nullptr) return -1;
    char* end = nullptr;
    double seconds = std::strtod(value, &end);
    if (end == value || !std::isfinite(seconds) || seconds <= 0) return -1;
    if (seconds > 2000000) return -1;
    return static_cast<int>(std::ceil(seconds * 1000));
}

long long nowms() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

// The notice armed by ovnoticewait, and when it is due.
void (*notice)() = nullptr;
long long noticedue = 0;

// Waits until the device has something to read, for at most `linetimeout`; silence for that
// long counts as a lost contact. A notice falling due meanwhile is given, once.
void waitforline() {
    int limit = linetimeoutms();
    if (limit < 0 && notice == nullptr) return;
    long long deadline = limit < 0 ? -1 : nowms() + limit;
    for (;;) {
        long long until = deadline;
        if (notice != nullptr && (until < 0 || noticedue < until)) until = noticedue;
        long long left = until < 0 ? -1 : std::max(0LL, until - nowms());
        struct pollfd p = {devid, POLLIN, 0};
        int r = poll(&p, 1, static_cast<int>(left));
        if (r > 0) return;
        if (r < 0 && errno != EINTR) return;  // let the read itself report the failure
        if (r < 0) continue;
        if (notice != nullptr && nowms() >= noticedue) {
            void (*give)() = notice;
            notice = nullptr;
            give();
        } else if (deadline >= 0 && nowms() >= deadline) {
            ovlostcontact();
        }
    }
}

}  // namespace

const char* ovdevicepath(const std::string& devstr) {
    return devstr.empty() ? kDefaultDevice : devstr.c_str();
}

void ovinitlink(const std::string& devstr) {
    calltrace(3, "CALL: ovinitlink (devstr = %s)\n", devstr.c_str());
    // Non-blocking, so that a line without carrier cannot hold up the open; not inherited by
    // a child of `!` or a filter, which would keep the line (and its lock) after we end.
    devid = open(ovdevicepath(devstr), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    devicefd.reset(devid);
    if (devid < 0)
        overror(devstr.empty() ? "Error in opening device\n" : "Error in openint device\n");
    // One orvel per line: the lock goes with the descriptor, so any exit releases it.
    if (flock(devid, LOCK_EX | LOCK_NB) < 0 && errno == EWOULDBLOCK)
        overror("Error, the device is in use by another orvel\n");
    if (tcgetattr(devid, &initial) < 0)
        overror(devstr.empty() ? "Error in opening device\n" : "Error in openint device\n");
    ovmarkinitialsaved();
    ovinstallsignals();
    modified = initial;
    linksettings(&modified);
    tcsetattr(devid, TCSANOW, &modified);
    ovmarklinkheld();
    // Set up: from here on every read waits for its line.
    fcntl(devid, F_SETFL, fcntl(devid, F_GETFL) & ~O_NONBLOCK);
}

void ovnoticewait(int ms, void (*give)()) {
    notice = give;
    noticedue = nowms() + ms;
}

void ovclosedevice() {
    devicefd.reset();
    devid = -1;
}

int ovreadraw(char* buf, int count) {
    for (;;) {
        waitforline();
        ssize_t n = read(devid, buf, static_cast<std::size_t>(count));
        if (n > 0) return static_cast<int>(n);
        if (n < 0 && errno == EINTR) continue;
        ovlostcontact();
    }
}

int ovreadstr(char* buf, int count) {
    calltrace(3, "CALL: ovreadstr (string OMITED, count = %d)\n", count);
    int n = ovreadraw(buf, count);
    buf[n - 1] = '\0';
    return n - 1;
}

void ovwritebytes(const char* data, std::size_t len) {
    while (len > 0) {
        ssize_t n = write(devid, data, len);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ovlostcontact();
        data += n;
        len -= static_cast<std::size_t>(n);
    }
}
