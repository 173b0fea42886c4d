// Seeded line noise for the simulated organiser: which frames, acknowledgements, data lines and
// sums to spoil, how to spoil an outgoing frame so that the workstation must notice, and the
// counts of what was injected. Deterministic for a given seed; it never touches a descriptor.
#pragma once

#include <cstdint>
#include <string>

namespace sim {

struct FaultPlan {
    double out = 0;      // reply frames corrupted
    double in = 0;       // intact inbound frames answered "R"
    double ack = 0;      // intact inbound frames answered with a non-"O" line
    double datain = 0;   // "pf" data lines sent with a wrong line sum (checksums on)
    double dataout = 0;  // good "gf" data lines answered "XBAD" (checksums on)
    double sum = 0;      // "cs" answers that lie
    long hangup = 0;     // close the line after this many frames (0: never)
    uint64_t seed = 1;
};

// Parses "KEY=VALUE[,KEY=VALUE...]" into `plan` (keys out in ack datain dataout sum hangup seed).
// Fractions must lie in [0,1]. False with `err` set on anything else; `plan` may be half set.
bool parse_fault_plan(const std::string& text, FaultPlan* plan, std::string* err);

struct SimStats {
    long frames_in = 0, frames_out = 0, corrupt_out = 0, refused_in = 0, refused_ack = 0;
    long datain_bad = 0, dataout_bad = 0, sum_lies = 0;
};

// "key value" lines in a fixed order.
std::string format_stats(const SimStats& s);

enum class FaultKind { kOut, kIn, kAck, kDataIn, kDataOut, kSum, kCount };

class Faults {
  public:
    explicit Faults(const FaultPlan& plan);

    // True with the configured probability of `kind`; a kind set to 0 never fires and draws
    // nothing, so each kind has its own reproducible sequence.
    bool draw(FaultKind kind);

    // Corrupts a reply line "$LL" text "$CC" (no newline) in a way the workstation must detect:
    // one text byte to another printable byte, one checksum digit to another hex digit, or one
    // length digit to a non-hex character. `how` describes the change for the trace.
    std::string corrupt(const std::string& body, std::string* how);

    const FaultPlan& plan() const { return plan_; }

  private:
    uint64_t next(int stream);
    uint32_t pick(uint32_t n);

    FaultPlan plan_;
    uint64_t state_[static_cast<int>(FaultKind::kCount) + 1];
};

}  // namespace sim
