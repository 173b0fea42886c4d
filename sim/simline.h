// The simulated organiser's end of the line: one descriptor (a pseudo-terminal master or a
// terminal device), byte reads with time-outs, writes, pacing like an N-baud 8N1 line and the
// byte trace. It knows nothing of frames; every wait checks the stop predicate so nothing hangs.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <string>

namespace sim {

// Writes the "Y "/"T "/"# " trace records, one line each, flushed at once.
class Trace {
  public:
    ~Trace();
    bool open(const std::string& path);
    bool active() const { return file_ != nullptr; }
    void bytes(char direction, const std::string& data);  // 'Y' from the workstation, 'T' sent
    void note(const std::string& text);

  private:
    FILE* file_ = nullptr;
};

using Clock = std::chrono::steady_clock;

class Line {
  public:
    // Takes ownership of `fd` (made non-blocking). `baud` 0 means unpaced.
    Line(int fd, long baud, Trace* trace);
    ~Line();
    Line(const Line&) = delete;
    Line& operator=(const Line&) = delete;

    // Checked in every wait; true ends the wait with kStop.
    void set_stop(std::function<bool()> stop) { stop_ = std::move(stop); }

    // One byte, handled no earlier than its wire time when paced. Returns 1 with the byte, 0
    // when `timeout_ms` passed with nothing received (negative: wait for ever), kStop or kHangup.
    int read_byte(int timeout_ms, uint8_t* out);
    // Writes all bytes (paced when a baud rate is set) and traces them. kDone, kStop or kHangup.
    int write(const std::string& bytes);
    // Reads and discards until nothing has arrived for `quiet_ms`. kDone, kStop or kHangup.
    int drain(int quiet_ms);

    // ECHO in the terminal settings seen through the descriptor: 1 set, 0 clear, -1 unknown.
    int echo_state() const;
    // Closes the descriptor at once (a hang-up); later calls answer kHangup.
    void close_line();
    bool closed() const { return fd_ < 0; }

    long baud() const { return baud_; }
    // The time one byte takes on the line (0 when unpaced).
    Clock::duration byte_time() const { return byte_time_; }
    Trace* trace() const { return trace_; }

  private:
    int fill(int wait_ms);
    int final_byte(uint8_t* out);
    int write_all(const char* data, size_t len);
    bool stopping() const { return stop_ && stop_(); }

    struct Pending {
        uint8_t byte;
        Clock::time_point due;
    };
    int fd_;
    long baud_;
    Clock::duration byte_time_{0};
    Trace* trace_;
    std::function<bool()> stop_;
    std::deque<Pending> in_;
    Clock::time_point in_next_{};
    Clock::time_point out_next_{};
    Clock::time_point stop_seen_{};
};

}  // namespace sim
