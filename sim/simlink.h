// Frames over the simulator's line: reply frames sent and resent until the workstation's "O",
// inbound frames parsed, checked and acknowledged, ready prompts, the injected faults and their
// counts. It does not know what a command means; the simulator decides that.
#pragma once

#include <functional>
#include <string>

#include "simfaults.h"
#include "simframe.h"
#include "simline.h"

namespace sim {

struct LinkQuirks {
    bool pad_blank = false;    // leading 0 of the length, checksum and line sum sent as a blank
    std::string ack = "O";     // the acknowledgement line for intact frames
    std::string prompt = ">";  // the ready prompt line
    int junk = 0;              // junk lines before each ready prompt
    long mute_after = 0;       // after this many frames answer nothing more (0: never)
};

class Link {
  public:
    Link(Line& line, Faults& faults, const LinkQuirks& quirks, std::string stats_path);

    // Called about every 20 ms while a wait sees no bytes; a result other than kDone ends
    // the wait with that result. `waiting_ack` tells which kind of wait is running.
    void set_idle(std::function<int(bool waiting_ack)> idle) { idle_ = std::move(idle); }
    // Called for each byte that arrives outside a frame while waiting for one.
    void set_stray(std::function<void(uint8_t)> stray) { stray_ = std::move(stray); }

    // Sends one reply frame and waits for "O", sending it again after "R" (and, when
    // `resend_ms` is not negative, after that long without an answer). kDone; kInterrupted when
    // a new frame began instead (its "$" is kept in the parser); kStop, kHangup or kMuted.
    int send_frame(const std::string& text, int resend_ms = -1);
    // Sends the junk lines and the ready prompt.
    int send_prompt();
    // Receives the next intact frame and acknowledges it: malformed, damaged and incomplete
    // frames are refused and read again. kDone with `text`, or what a wait ended with.
    int receive_frame(std::string* text);

    // While `hold` is set, a workstation holds the line even when it echoes (stopped, with the
    // line given back in its own settings): what we send meanwhile is kept, and goes out once
    // the line is the link's again, as a real line would keep it for the workstation. Clearing
    // it (the workstation closed the line) drops what was kept.
    void set_hold(bool hold);

    bool muted() const { return muted_; }
    SimStats& stats() { return stats_; }
    Faults& faults() { return faults_; }
    const LinkQuirks& quirks() const { return quirks_; }
    Line& line() { return line_; }
    void note(const std::string& text);
    // Rewrites the stats file (if one was asked for) through a temporary file and a rename.
    void write_stats();
    // Rewrites it if frames were counted since the last write. The waits call this whenever the
    // line has been quiet for a slice: a file per frame would cost more than the frame itself.
    void flush_stats();

  private:
    int count_frame(bool sent);
    int wait_ack(int timeout_ms);
    int refuse(const char* line, const std::string& why);
    int take_frame(const FrameEvent& ev, std::string* text, bool* done);
    Clock::duration gap() const;
    // The workstation always clears ECHO on its line; with ECHO set, what arrives is our own
    // output coming back.
    bool nobody_attached() const;
    int put(const std::string& bytes);
    // Sends what was kept while the line echoed, once it no longer does. kDone or a write's
    // result.
    int send_held();

    Line& line_;
    bool hold_ = false;
    std::string held_;
    Faults& faults_;
    LinkQuirks quirks_;
    std::string stats_path_;
    SimStats stats_;
    FrameParser parser_;
    std::function<int(bool)> idle_;
    std::function<void(uint8_t)> stray_;
    long frames_total_ = 0;
    bool stats_dirty_ = false;  // counts changed since the stats file was last written
    bool muted_ = false;
};

}  // namespace sim
