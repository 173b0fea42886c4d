#include "simline.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

#include "simresult.h"
#include "simtext.h"

namespace sim {

namespace {

constexpr int kSliceMs = 20;  // every wait looks at the stop predicate this often

int ms_until(Clock::time_point t) {
    const auto d = std::chrono::duration_cast<std::chrono::milliseconds>(t - Clock::now());
    return static_cast<int>(std::max<long long>(0, d.count()));
}

}  // namespace

Trace::~Trace() {
    if (file_ != nullptr) std::fclose(file_);
}

bool Trace::open(const std::string& path) {
    file_ = std::fopen(path.c_str(), "we");  // not inherited by the workstation program
    return file_ != nullptr;
}

void Trace::bytes(char direction, const std::string& data) {
    if (file_ == nullptr) return;
    std::fprintf(file_, "%c %s\n", direction, c_escape(data).c_str());
    std::fflush(file_);
}

void Trace::note(const std::string& text) {
    if (file_ == nullptr) return;
    std::fprintf(file_, "# %s\n", c_escape(text).c_str());
    std::fflush(file_);
}

Line::Line(int fd, long baud, Trace* trace) : fd_(fd), baud_(baud), trace_(trace) {
    if (fd_ >= 0) fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) | O_NONBLOCK);
    if (baud_ > 0) {
        // 8N1: a start bit, eight data bits and a stop bit per byte.
        byte_time_ = std::chrono::duration_cast<Clock::duration>(
            std::chrono::nanoseconds(static_cast<long long>(10.0e9 / static_cast<double>(baud_))));
    }
}

Line::~Line() {
    if (fd_ >= 0) close(fd_);
}

// Waits up to `wait_ms` for bytes and queues them with their wire times. 1 when bytes came,
// 0 when none, kHangup when the line is gone.
int Line::fill(int wait_ms) {
    struct pollfd p = {fd_, POLLIN, 0};
    const int n = poll(&p, 1, wait_ms);
    if (n <= 0) return 0;
    char buf[4096];
    const ssize_t got = read(fd_, buf, sizeof buf);
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) return 0;
    if (got <= 0) return kHangup;
    if (trace_ != nullptr) trace_->bytes('Y', std::string(buf, static_cast<size_t>(got)));
    const Clock::time_point now = Clock::now();
    Clock::time_point t = std::max(now, in_next_);
    for (ssize_t i = 0; i < got; ++i) {
        if (baud_ > 0) t += byte_time_;
        in_.push_back({static_cast<uint8_t>(buf[i]), baud_ > 0 ? t : now});
    }
    in_next_ = t;
    return 1;
}

int Line::read_byte(int timeout_ms, uint8_t* out) {
    const Clock::time_point deadline = timeout_ms < 0
                                           ? Clock::time_point::max()
                                           : Clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        if (stopping()) return final_byte(out);
        if (!in_.empty()) {
            if (Clock::now() >= in_.front().due) {
                *out = in_.front().byte;
                in_.pop_front();
                return 1;
            }
            // Sleep to the byte's wire time, in slices so that a stop is still seen.
            const Clock::time_point slice = Clock::now() + std::chrono::milliseconds(kSliceMs);
            std::this_thread::sleep_until(std::min(in_.front().due, slice));
            continue;
        }
        if (fd_ < 0) return kHangup;
        if (Clock::now() >= deadline) return 0;
        const int wait = std::min(kSliceMs, timeout_ms < 0 ? kSliceMs : ms_until(deadline));
        const int r = fill(wait);
        if (r < 0) return r;
        if (r == 0 && timeout_ms >= 0 && Clock::now() >= deadline) return 0;
    }
}

// Once a stop is asked for, bytes already on their way are still handed out (unpaced) for a
// short while, so that a workstation's last acknowledgement is seen and traced; then kStop.
int Line::final_byte(uint8_t* out) {
    const Clock::time_point now = Clock::now();
    if (stop_seen_ == Clock::time_point{}) stop_seen_ = now;
    if (now - stop_seen_ > std::chrono::milliseconds(200)) return kStop;
    if (in_.empty() && fd_ >= 0) fill(0);
    if (in_.empty()) return kStop;
    *out = in_.front().byte;
    in_.pop_front();
    return 1;
}

int Line::write_all(const char* data, size_t len) {
    size_t done = 0;
    while (done < len) {
        if (fd_ < 0) return kHangup;
        const ssize_t n = ::write(fd_, data + done, len - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) return kHangup;
        if (stopping()) return kStop;
        struct pollfd p = {fd_, POLLOUT, 0};
        poll(&p, 1, kSliceMs);
    }
    return kDone;
}

int Line::write(const std::string& bytes) {
    if (fd_ < 0) return kHangup;
    int r = kDone;
    if (baud_ <= 0) {
        r = write_all(bytes.data(), bytes.size());
    } else {
        // An absolute schedule: each byte leaves at its own slot, so sleeping late never
        // shifts the bytes after it.
        Clock::time_point t = std::max(Clock::now(), out_next_);
        for (size_t i = 0; i < bytes.size() && r == kDone; ++i) {
            std::this_thread::sleep_until(t);
            r = write_all(&bytes[i], 1);
            t += byte_time_;
        }
        out_next_ = t;
    }
    if (trace_ != nullptr) trace_->bytes('T', bytes);
    return r;
}

int Line::drain(int quiet_ms) {
    for (;;) {
        uint8_t b;
        const int r = read_byte(quiet_ms, &b);
        if (r <= 0) return r == 0 ? kDone : r;
    }
}

int Line::echo_state() const {
    struct termios t;
    if (fd_ < 0 || tcgetattr(fd_, &t) != 0) return -1;
    return (t.c_lflag & ECHO) ? 1 : 0;
}

void Line::close_line() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    in_.clear();
}

}  // namespace sim
