// The organiser peer's state machine: start-up announcement, the ready-prompt loop, one handler
// per command word (dispatched from one table), restart with "ol", disconnect with "dc" and the
// per-session modes. It speaks only through Link and touches files only through SimFs.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "simfs.h"
#include "simlink.h"
#include "simprocs.h"
#include "simwatch.h"

namespace sim {

struct SimConfig {
    std::string release = "3.24";  // what "vn" answers after its tag
    bool release_none = false;     // "vn" answers "XBADCMD"
    std::string online = "XONLINE";
    std::map<std::string, std::vector<std::string>> replies;   // fixed answers per command word
    std::map<std::string, std::vector<std::string>> listings;  // fixed listings, by listing_key
    bool device = false;  // a real line: announce every second, no terminal settings to watch
    std::vector<Proc> procs = default_procs();
};

// The key of a fixed listing: the organiser path lower-cased, trailing backslashes dropped.
std::string listing_key(const std::string& path);

class Simulator {
  public:
    Simulator(const SimConfig& config, Link& link, SimFs& fs);

    // Serves until stopped or hung up: announces itself once the workstation has opened the
    // line, answers commands, and after "dc" starts over. Returns kStop, kHangup or kMuted
    // (after the mute quirk it only returns once stopped).
    int run();

    // Watches the pseudo-terminal's slave for opens and closes; without it (or when it is not
    // active) only the terminal settings tell sessions apart.
    void set_watch(OpenWatch* watch) { watch_ = watch; }

    struct Row {
        const char* word;
        int (Simulator::*handler)(const std::string& arg);
    };

  private:
    // Session and start-up (simulator.cpp).
    void fresh_session();
    int come_online(bool need_echo_set);
    int announce();
    int serve();
    int dispatch(const std::string& text);
    int idle_tick(bool waiting_ack);
    int wait_open_tick(int echo, Clock::time_point now);
    void update_watch();
    bool watching() const { return watch_ != nullptr && watch_->active(); }
    void stray_byte(uint8_t b);
    void warn_active();
    int reply(const std::string& text);
    int read_frame(std::string* text);
    int mute_loop();

    // Link and mode words.
    int cm_vn(const std::string& arg);
    int cm_ol(const std::string& arg);
    int cm_ia(const std::string& arg);
    int cm_tm(const std::string& arg);
    int cm_dc(const std::string& arg);
    int cm_fc(const std::string& arg);
    int cm_is(const std::string& arg);
    int cm_sc(const std::string& arg);
    int cm_iv(const std::string& arg);
    int cm_vb(const std::string& arg);

    // Files (simcmds_fs.cpp).
    int cm_sp(const std::string& arg);
    int cm_ep(const std::string& arg);
    int cm_rp(const std::string& arg);
    int cm_md(const std::string& arg);
    int cm_lp(const std::string& arg);
    int cm_sz(const std::string& arg);
    int cm_rw(const std::string& arg);
    int cm_ft(const std::string& arg);
    int cm_ti(const std::string& arg);
    int cm_wn(const std::string& arg);
    int cm_wy(const std::string& arg);
    int cm_cd(const std::string& arg);
    int cm_pp(const std::string& arg);
    int cm_cs(const std::string& arg);
    int set_write_bit(bool writable);

    // Transfers (simcmds_xfer.cpp).
    int cm_gf(const std::string& arg);
    int cm_pf(const std::string& arg);
    int open_for_get(int* fd);
    int receive_data(int fd);
    int open_for_put(int* fd);
    int send_data(int fd);
    int send_block(const std::string& block);

    // Processes (simcmds_proc.cpp).
    int cm_po(const std::string& arg);
    int cm_pl(const std::string& arg);
    int cm_pk(const std::string& arg);
    int cm_ps(const std::string& arg);

    static const Row kRows[];

    SimConfig config_;
    Link& link_;
    SimFs& fs_;
    ProcTable procs_;

    // Per-session modes; a freshly started peer has them all as below.
    bool binary_ = false;
    bool filechk_ = false;
    bool screen_ = true;
    bool verbose_ = true;
    bool protect_ = true;
    std::string path_;  // the operand path set by "sp"

    // Where the serve loop stands.
    enum class Phase { kWaitOpen, kAnnounce, kServe };
    Phase phase_ = Phase::kWaitOpen;
    std::optional<std::string> pending_;  // a frame already read that must be handled next
    bool skip_prompt_ = false;            // a frame is half read: no prompt before reading on

    // Watching the workstation open and close the line: through the slave's open and close
    // events when watched, and through ECHO in its settings.
    OpenWatch* watch_ = nullptr;
    int echo_prev_ = -1;
    bool echo_seen_on_ = false;
    bool need_echo_set_ = false;   // unwatched, after "dc": ECHO must be seen set first
    bool awaiting_close_ = false;  // watched, after "dc": the old session must close ...
    bool awaiting_open_ = false;   // ... and a new one open
    bool closed_in_announce_ = false;
    Clock::time_point clear_since_{};
    Clock::time_point reopen_at_{};
    bool reopen_pending_ = false;
};

}  // namespace sim
