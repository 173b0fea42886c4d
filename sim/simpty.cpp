#include "simpty.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>

#include "simresult.h"

namespace sim {

namespace {

int fail(std::string* err, const std::string& what) {
    *err = what + ": " + strerror(errno);
    return kFailed;
}

bool speed_for(long baud, speed_t* out) {
    static const struct {
        long baud;
        speed_t speed;
    } kSpeeds[] = {{300, B300},     {600, B600},       {1200, B1200},    {2400, B2400},
                   {4800, B4800},   {9600, B9600},     {19200, B19200},  {38400, B38400},
                   {57600, B57600}, {115200, B115200}, {230400, B230400}};
    for (const auto& s : kSpeeds) {
        if (s.baud == baud) {
            *out = s.speed;
            return true;
        }
    }
    return false;
}

}  // namespace

int open_pty(int* master, int* slave_keep, std::string* slave_path, std::string* err) {
    const int m = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m < 0) return fail(err, "cannot create a pseudo-terminal");
    char name[128];
    if (grantpt(m) != 0 || unlockpt(m) != 0 || ptsname_r(m, name, sizeof name) != 0) {
        const int r = fail(err, "cannot set up the pseudo-terminal");
        close(m);
        return r;
    }
    const int s = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (s < 0) {
        const int r = fail(err, std::string("cannot open ") + name);
        close(m);
        return r;
    }
    *master = m;
    *slave_keep = s;
    *slave_path = name;
    return kDone;
}

int open_device(const std::string& path, long baud, int* fd, std::string* err) {
    speed_t speed = B9600;
    if (baud != 0 && !speed_for(baud, &speed)) {
        *err = "no standard line speed " + std::to_string(baud) + " for " + path;
        return kFailed;
    }
    const int d = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (d < 0) return fail(err, "cannot open " + path);
    struct termios t;
    if (tcgetattr(d, &t) != 0) {
        const int r = fail(err, path + " is not a terminal");
        close(d);
        return r;
    }
    cfmakeraw(&t);
    t.c_cflag = CS8 | CREAD | CLOCAL;  // 8N1, no modem control, no hardware flow control
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    if (tcsetattr(d, TCSANOW, &t) != 0) {
        const int r = fail(err, "cannot set up " + path);
        close(d);
        return r;
    }
    *fd = d;
    return kDone;
}

pid_t spawn_with_device(const std::vector<std::string>& argv, const std::string& device,
                        std::string* err) {
    std::vector<std::string> args = {argv[0], "-d", device};
    args.insert(args.end(), argv.begin() + 1, argv.end());
    std::vector<char*> cargs;
    for (std::string& a : args) cargs.push_back(a.data());
    cargs.push_back(nullptr);
    const pid_t pid = fork();
    if (pid < 0) {
        fail(err, "cannot start " + argv[0]);
        return -1;
    }
    if (pid == 0) {
        execvp(cargs[0], cargs.data());
        std::fprintf(stderr, "tavlin-sim: cannot run %s: %s\n", cargs[0], strerror(errno));
        _exit(127);
    }
    return pid;
}

int shell_status(int wait_status) {
    if (WIFEXITED(wait_status)) return WEXITSTATUS(wait_status);
    if (WIFSIGNALED(wait_status)) return 128 + WTERMSIG(wait_status);
    return 1;
}

}  // namespace sim
