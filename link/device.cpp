// The serial device: opening and setting up the line, raw reads and writes, the line time-out.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <unistd.h>

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

// The link's settings: no echo, canonical lines, 9600 8N1 without flow control, carriage
// returns dropped, the eighth bit stripped, bytes sent unchanged.
void linksettings(struct termios* t) {
    // Canonical input stays on, but no byte from the line may act as a control character: a
    // noise byte 0x04 (or 0x84, once stripped) would read as end of file and end the session,
    // and 0x03, 0x1C or 0x1A would flush replies already received. Such bytes must reach the
    // frame check as the damage they are.
    t->c_lflag &= ~(ECHO | IEXTEN | ISIG);
    for (int special : {VEOF, VEOL, VEOL2, VERASE, VKILL}) t->c_cc[special] = _POSIX_VDISABLE;
    t->c_cflag = B9600 | CS8 | CREAD;
    cfsetospeed(t, B9600);
    cfsetispeed(t, B9600);
    t->c_iflag &= ~(INPCK | IXON | IXOFF);
    t->c_iflag |= IGNCR | ISTRIP;
    t->c_oflag |= ONLRET;
    t->c_oflag &= ~OPOST;
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

// Waits until the device has something to read, for at most `linetimeout`; silence for that
// long counts as a lost contact.
void waitforline() {
    int limit = linetimeoutms();
    if (limit < 0) return;
    long long deadline = nowms() + limit;
    for (;;) {
        long long left = deadline - nowms();
        if (left < 0) left = 0;
        struct pollfd p = {devid, POLLIN, 0};
        int r = poll(&p, 1, static_cast<int>(left));
        if (r > 0) return;
        if (r == 0) ovlostcontact();
        if (errno != EINTR) return;  // let the read itself report the failure
    }
}

}  // namespace

void ovinitlink(const std::string& devstr) {
    calltrace(3, "CALL: ovinitlink (devstr = %s)\n", devstr.c_str());
    const char* name = devstr.empty() ? kDefaultDevice : devstr.c_str();
    devid = open(name, O_RDWR | O_NOCTTY);
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
