#include "simwatch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cstring>

namespace sim {

OpenWatch::~OpenWatch() {
    if (fd_ >= 0) close(fd_);
}

bool OpenWatch::start(const std::string& path) {
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0) return false;
    if (inotify_add_watch(fd_, path.c_str(), IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0) {
        close(fd_);
        fd_ = -1;
        return false;
    }
    return true;
}

std::string OpenWatch::take() {
    std::string events;
    if (fd_ < 0) return events;
    alignas(struct inotify_event) char buf[4096];
    for (;;) {
        const ssize_t n = read(fd_, buf, sizeof buf);
        if (n <= 0) return events;
        for (ssize_t i = 0; i + static_cast<ssize_t>(sizeof(struct inotify_event)) <= n;) {
            struct inotify_event ev;
            std::memcpy(&ev, buf + i, sizeof ev);
            if (ev.mask & IN_OPEN) events += 'o';
            if (ev.mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE)) events += 'c';
            i += static_cast<ssize_t>(sizeof ev + ev.len);
        }
    }
}

}  // namespace sim
