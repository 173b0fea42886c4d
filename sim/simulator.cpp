#include "simulator.h"

#include <cstdio>

#include "simresult.h"

namespace sim {

namespace {

// After the workstation clears ECHO, a restarting workstation sends "ol" at once; this short
// wait lets that frame win over our own announcement.
constexpr auto kOpenGrace = std::chrono::milliseconds(50);
// A workstation that opened the line while we are active and says nothing this long is a
// plain start waiting for an announcement that will not come.
constexpr auto kReopenSilence = std::chrono::seconds(2);

}  // namespace

const Simulator::Row Simulator::kRows[] = {
    {"vn", &Simulator::cm_vn}, {"ol", &Simulator::cm_ol}, {"ia", &Simulator::cm_ia},
    {"tm", &Simulator::cm_tm}, {"dc", &Simulator::cm_dc}, {"fc", &Simulator::cm_fc},
    {"is", &Simulator::cm_is}, {"sc", &Simulator::cm_sc}, {"iv", &Simulator::cm_iv},
    {"vb", &Simulator::cm_vb}, {"sp", &Simulator::cm_sp}, {"ep", &Simulator::cm_ep},
    {"rp", &Simulator::cm_rp}, {"md", &Simulator::cm_md}, {"lp", &Simulator::cm_lp},
    {"sz", &Simulator::cm_sz}, {"rw", &Simulator::cm_rw}, {"ft", &Simulator::cm_ft},
    {"ti", &Simulator::cm_ti}, {"wn", &Simulator::cm_wn}, {"wy", &Simulator::cm_wy},
    {"cd", &Simulator::cm_cd}, {"pp", &Simulator::cm_pp}, {"cs", &Simulator::cm_cs},
    {"gf", &Simulator::cm_gf}, {"pf", &Simulator::cm_pf}, {"po", &Simulator::cm_po},
    {"pl", &Simulator::cm_pl}, {"pk", &Simulator::cm_pk}, {"ps", &Simulator::cm_ps},
};

Simulator::Simulator(const SimConfig& config, Link& link, SimFs& fs)
    : config_(config), link_(link), fs_(fs), procs_(config.procs) {
    link_.set_idle([this](bool waiting_ack) { return idle_tick(waiting_ack); });
    link_.set_stray([this](uint8_t b) { stray_byte(b); });
}

void Simulator::fresh_session() {
    link_.set_hold(false);
    binary_ = false;
    filechk_ = false;
    screen_ = true;
    verbose_ = true;
    protect_ = true;
    path_.clear();
    fs_.reset_cwd();
    pending_.reset();
    skip_prompt_ = false;
    reopen_pending_ = false;
}

int Simulator::run() {
    bool need_echo_set = false;
    for (;;) {
        fresh_session();
        int r = come_online(need_echo_set);
        if (r == kDone) r = serve();
        if (r == kDisconnected) {
            need_echo_set = true;  // the old session must close before a new one counts
            continue;
        }
        link_.write_stats();
        if (r == kMuted) return mute_loop();
        return r;
    }
}

// Waits until the workstation has opened and set up the line (or sends a frame), then
// announces. kDone when serving can begin.
int Simulator::come_online(bool need_new_session) {
    for (;;) {
        phase_ = Phase::kWaitOpen;  // events before "dc" were taken when it came
        need_echo_set_ = need_new_session && !watching();
        awaiting_close_ = awaiting_open_ = need_new_session && watching();
        echo_seen_on_ = false;
        clear_since_ = {};
        if (!config_.device) {
            std::string text;
            const int r = link_.receive_frame(&text);
            if (r == kDone) {  // a restarting workstation spoke first
                pending_ = text;
                phase_ = Phase::kServe;
                link_.set_hold(watching());
                return kDone;
            }
            if (r != kReady) return r;
        }
        const int r = announce();
        if (r != kReopened) return r;
        need_new_session = false;  // it closed again before answering: wait for the next open
    }
}

int Simulator::announce() {
    phase_ = Phase::kAnnounce;
    closed_in_announce_ = false;
    const int r = link_.send_frame(config_.online, config_.device ? 1000 : -1);
    if (r == kInterrupted) {
        skip_prompt_ = true;
    } else if (r != kDone) {
        return r;
    }
    phase_ = Phase::kServe;
    // Only a watch tells a stopped workstation from one that left.
    link_.set_hold(watching());
    return kDone;
}

int Simulator::serve() {
    for (;;) {
        if (!pending_) {
            int r = kDone;
            if (!skip_prompt_ && (r = link_.send_prompt()) != kDone) return r;
            skip_prompt_ = false;
            std::string text;
            if ((r = link_.receive_frame(&text)) != kDone) return r;
            pending_ = text;
        }
        update_watch();  // an open that this frame follows is answered by it
        reopen_pending_ = false;
        const std::string text = *pending_;
        pending_.reset();
        const int r = dispatch(text);
        link_.write_stats();
        if (r == kInterrupted) {
            if (!pending_) skip_prompt_ = true;
            continue;
        }
        if (r == kDisconnected || r == kStop || r == kHangup || r == kMuted) return r;
    }
}

int Simulator::dispatch(const std::string& text) {
    const size_t blank = text.find(' ');
    const std::string word = text.substr(0, blank);
    const std::string arg = blank == std::string::npos ? "" : text.substr(blank + 1);
    const auto fixed = config_.replies.find(word);
    if (fixed != config_.replies.end()) {
        for (const std::string& t : fixed->second) {
            const int r = reply(t);
            if (r != kDone) return r;
        }
        return word == "dc" ? kDisconnected : kDone;
    }
    for (const Row& row : kRows) {
        if (word == row.word) return (this->*row.handler)(arg);
    }
    return reply("XBADCMD");
}

void Simulator::update_watch() {
    if (!watching()) return;
    for (char ev : watch_->take()) {
        link_.note(ev == 'o' ? "the workstation opened the line"
                             : "the workstation closed the line");
        if (ev == 'o') {
            if (phase_ == Phase::kServe) {
                link_.set_hold(true);
                reopen_pending_ = true;
                reopen_at_ = Clock::now();
            } else if (!awaiting_close_) {
                awaiting_open_ = false;
            }
        } else {
            if (phase_ == Phase::kAnnounce) closed_in_announce_ = true;
            awaiting_close_ = false;
            link_.set_hold(false);
        }
    }
}

int Simulator::idle_tick(bool waiting_ack) {
    (void)waiting_ack;
    if (config_.device) return kDone;
    update_watch();
    const int e = link_.line().echo_state();
    const Clock::time_point now = Clock::now();
    if (e == 1) echo_seen_on_ = true;
    const bool echo_reopened = echo_prev_ == 1 && e == 0;
    echo_prev_ = e;
    switch (phase_) {
        case Phase::kWaitOpen:
            return wait_open_tick(e, now);
        case Phase::kAnnounce:
            return (watching() ? closed_in_announce_ : e == 1) ? kReopened : kDone;
        case Phase::kServe:
            if (!watching() && echo_reopened) {
                reopen_pending_ = true;
                reopen_at_ = now;
            }
            if (reopen_pending_ && now - reopen_at_ >= kReopenSilence) warn_active();
            return kDone;
    }
    return kDone;
}

// kReady once the workstation has opened the line and cleared ECHO, and stayed quiet for a
// moment (a restarting workstation speaks at once).
int Simulator::wait_open_tick(int echo, Clock::time_point now) {
    const bool waiting =
        echo != 0 || awaiting_close_ || awaiting_open_ || (need_echo_set_ && !echo_seen_on_);
    if (waiting) {
        clear_since_ = {};
        return kDone;
    }
    if (clear_since_ == Clock::time_point{}) clear_since_ = now;
    return now - clear_since_ >= kOpenGrace ? kReady : kDone;
}

void Simulator::stray_byte(uint8_t b) {
    link_.note("stray byte outside a frame: " + std::string(1, static_cast<char>(b)));
    update_watch();
    if (phase_ == Phase::kServe && reopen_pending_) warn_active();
}

void Simulator::warn_active() {
    reopen_pending_ = false;
    std::fprintf(stderr,
                 "tavlin-sim: the link is already active; start orvel with -r to re-attach\n");
    std::fflush(stderr);
}

int Simulator::reply(const std::string& text) {
    return link_.send_frame(text);
}

int Simulator::read_frame(std::string* text) {
    const int r = link_.receive_frame(text);
    if (r != kDone) return r;
    if (*text == "ol") {  // the workstation restarted in the middle of an exchange
        pending_ = *text;
        return kInterrupted;
    }
    return kDone;
}

int Simulator::mute_loop() {
    for (;;) {
        uint8_t b = 0;
        const int r = link_.line().read_byte(-1, &b);
        if (r < 0) return r;
    }
}

// ---- link and mode words ---------------------------------------------------------------

int Simulator::cm_vn(const std::string&) {
    return reply(config_.release_none ? "XBADCMD" : "V" + config_.release);
}

int Simulator::cm_ol(const std::string&) {
    return reply("XONLINE");
}

int Simulator::cm_ia(const std::string&) {
    return reply(binary_ ? "XNO" : "XYES");
}

int Simulator::cm_tm(const std::string&) {
    binary_ = true;
    return reply("XOK");
}

int Simulator::cm_dc(const std::string&) {
    update_watch();  // what follows the answer belongs to the next session
    const int r = reply("XDISCONNECTED");
    return r == kDone ? kDisconnected : r;
}

int Simulator::cm_fc(const std::string& arg) {
    if (arg != "1" && arg != "0") return reply("XBADPARAM");
    filechk_ = arg == "1";
    return reply("XOK");
}

int Simulator::cm_is(const std::string&) {
    return reply(screen_ ? "XYES" : "XNO");
}

int Simulator::cm_sc(const std::string&) {
    screen_ = !screen_;
    return reply("XOK");
}

int Simulator::cm_iv(const std::string&) {
    return reply(verbose_ ? "XYES" : "XNO");
}

int Simulator::cm_vb(const std::string&) {
    verbose_ = !verbose_;
    return reply("XOK");
}

}  // namespace sim
