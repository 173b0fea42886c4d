#include "simlink.h"

#include <cstdio>

#include "simresult.h"

namespace sim {

namespace {

constexpr int kSliceMs = 20;
constexpr int kGapMs = 300;   // an incomplete frame silent this long is refused
constexpr int kQuietMs = 60;  // after a malformed frame, its rest is dropped until this quiet

// How long a hang-up waits for the workstation to take the last frame.
constexpr int kHangupAckMs = 1000;

}  // namespace

Link::Link(Line& line, Faults& faults, const LinkQuirks& quirks, std::string stats_path)
    : line_(line), faults_(faults), quirks_(quirks), stats_path_(std::move(stats_path)) {}

void Link::note(const std::string& text) {
    if (line_.trace() != nullptr) line_.trace()->note(text);
}

void Link::write_stats() {
    stats_dirty_ = false;
    if (stats_path_.empty()) return;
    const std::string tmp = stats_path_ + ".tmp";
    FILE* f = std::fopen(tmp.c_str(), "w");
    if (f == nullptr) return;
    const std::string text = format_stats(stats_);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    std::rename(tmp.c_str(), stats_path_.c_str());
}

bool Link::nobody_attached() const {
    return line_.echo_state() == 1;
}

// Writes to the workstation; while the line echoes the bytes would only come back at us, so
// they are kept for a workstation that holds the line, and dropped otherwise (the next
// workstation starts afresh or with "ol" anyway).
int Link::put(const std::string& bytes) {
    if (nobody_attached()) {
        note((hold_ ? "kept while the workstation's line echoes: "
                    : "not sent, no workstation is attached: ") +
             bytes);
        if (hold_) held_ += bytes;
        return kDone;
    }
    const int r = send_held();
    return r == kDone ? line_.write(bytes) : r;
}

void Link::set_hold(bool hold) {
    hold_ = hold;
    if (!hold && !held_.empty()) note("dropped, the workstation closed the line: " + held_);
    if (!hold) held_.clear();
}

int Link::send_held() {
    if (held_.empty() || nobody_attached()) return kDone;
    note("sent what was kept while the line echoed");
    const std::string bytes = std::move(held_);
    held_.clear();
    return line_.write(bytes);
}

Clock::duration Link::gap() const {
    return std::chrono::milliseconds(kGapMs) + 20 * line_.byte_time();
}

void Link::flush_stats() {
    if (stats_dirty_) write_stats();
}

// Counts one frame either way (`sent`: one of ours); the hang-up fault and the mute quirk take
// effect here.
int Link::count_frame(bool sent) {
    ++frames_total_;
    stats_dirty_ = true;
    const long hangup = faults_.plan().hangup;
    if (hangup > 0 && frames_total_ >= hangup) {
        write_stats();
        // Closing a pseudo-terminal drops what its far end has not read yet: a frame of ours
        // first gets the time to arrive, which the workstation's acknowledgement shows.
        uint8_t ack = 0;
        if (sent) line_.read_byte(kHangupAckMs, &ack);
        note("fault hangup: line closed after frame " + std::to_string(frames_total_));
        line_.close_line();
        return kHangup;
    }
    if (quirks_.mute_after > 0 && frames_total_ >= quirks_.mute_after) {
        note("mute after frame " + std::to_string(frames_total_));
        muted_ = true;
        return kMuted;
    }
    return kDone;
}

int Link::send_frame(const std::string& text, int resend_ms) {
    if (muted_) return kMuted;
    for (;;) {
        std::string body = frame_body(text, quirks_.pad_blank);
        if (faults_.draw(FaultKind::kOut)) {
            std::string how;
            body = faults_.corrupt(body, &how);
            ++stats_.corrupt_out;
            note("fault out: " + how);
        }
        ++stats_.frames_out;
        int r = put(body + "\n");
        if (r != kDone || (r = count_frame(true)) != kDone) return r;
        r = wait_ack(resend_ms);
        if (r == 1) return kDone;
        if (r != 0 && r != kTimedOut) return r;
    }
}

// 1 for "O", 0 for "R", kTimedOut, kInterrupted when a frame starts, or a wait's result.
int Link::wait_ack(int timeout_ms) {
    const Clock::time_point start = Clock::now();
    for (;;) {
        uint8_t b = 0;
        const int r = line_.read_byte(kSliceMs, &b);
        if (r < 0) return r;
        if (r == 0) {
            flush_stats();
            if (const int held = send_held(); held != kDone) return held;
            if (timeout_ms >= 0 && Clock::now() - start >= std::chrono::milliseconds(timeout_ms)) {
                return kTimedOut;
            }
            const int rc = idle_ ? idle_(true) : kDone;
            if (rc != kDone) return rc;
            continue;
        }
        if (b == 'O') return 1;
        if (b == 'R') return 0;
        if (b == '$' && !nobody_attached()) {
            parser_.reset();
            parser_.feed(b);
            note("frame began while waiting for an acknowledgement");
            return kInterrupted;
        }
        note("stray byte while waiting for an acknowledgement");
    }
}

int Link::send_prompt() {
    if (muted_) return kMuted;
    std::string lines;
    for (int i = 0; i < quirks_.junk; ++i) lines += "#junk\n";
    return put(lines + quirks_.prompt + "\n");
}

int Link::refuse(const char* line, const std::string& why) {
    note(why);
    return put(line);
}

// Handles a complete frame: refused by a fault, or acknowledged and taken.
int Link::take_frame(const FrameEvent& ev, std::string* text, bool* done) {
    if (nobody_attached()) {
        // Our own output echoed back by a line that no workstation holds: answering it would
        // feed the echo for ever.
        note("frame ignored: the line echoes, no workstation is attached");
        return kDone;
    }
    ++stats_.frames_in;
    int r = count_frame(false);
    if (r != kDone) return r;
    if (faults_.draw(FaultKind::kIn)) {
        ++stats_.refused_in;
        return refuse("R\n", "fault in: intact frame refused");
    }
    if (faults_.draw(FaultKind::kAck)) {
        ++stats_.refused_ack;
        return refuse("N\n", "fault ack: acknowledgement refused");
    }
    r = put(quirks_.ack + "\n");
    if (r != kDone) return r;
    *text = ev.text;
    *done = true;
    return kDone;
}

int Link::receive_frame(std::string* text) {
    Clock::time_point last = Clock::now();
    for (;;) {
        if (muted_) return kMuted;
        uint8_t b = 0;
        int r = line_.read_byte(kSliceMs, &b);
        if (r < 0) return r;
        if (r == 0) {
            flush_stats();
            if (parser_.in_frame() && Clock::now() - last >= gap()) {
                parser_.reset();
                if ((r = refuse("R\n", "incomplete frame refused")) != kDone) return r;
            } else if (!parser_.in_frame()) {
                if ((r = send_held()) != kDone) return r;
                const int rc = idle_ ? idle_(false) : kDone;
                if (rc != kDone) return rc;
            }
            continue;
        }
        last = Clock::now();
        const FrameEvent ev = parser_.feed(b);
        if (ev.kind == FrameEvent::kStray) {
            if (stray_) stray_(b);
        } else if (ev.kind == FrameEvent::kMalformed) {
            const auto quiet = std::chrono::milliseconds(kQuietMs) + 3 * line_.byte_time();
            const int quiet_ms = static_cast<int>(
                std::chrono::duration_cast<std::chrono::milliseconds>(quiet).count());
            if ((r = line_.drain(quiet_ms)) != kDone) return r;
            if ((r = refuse("R\n", "malformed frame refused")) != kDone) return r;
        } else if (ev.kind == FrameEvent::kBadChecksum) {
            if ((r = refuse("R\n", "frame with a bad checksum refused")) != kDone) return r;
        } else if (ev.kind == FrameEvent::kFrame) {
            bool done = false;
            if ((r = take_frame(ev, text, &done)) != kDone) return r;
            if (done) return kDone;
        }
    }
}

}  // namespace sim
