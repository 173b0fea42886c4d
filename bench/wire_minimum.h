// The fewest bytes the link protocol needs for an exchange, worked out from the protocol alone
// (never from a trace): every command line costs a ready prompt, its frame and an
// acknowledgement line; every reply costs its frame line and a one-byte acknowledgement.
#pragma once

#include <string>
#include <vector>

namespace bench {

// One stretch of traffic: the lines orvel sends (each after a ready prompt) and the reply
// frames the organiser sends.
struct Exchange {
    std::vector<std::string> commands;
    std::vector<std::string> replies;
    void add(const Exchange& more);
    long frames() const { return static_cast<long>(commands.size() + replies.size()); }
};

struct WireBytes {
    long to_yal = 0;    // organiser to workstation
    long from_yal = 0;  // workstation to organiser
    long total() const { return to_yal + from_yal; }
};

WireBytes minimum(const Exchange& ex);

// The announcement "XONLINE" (no prompt before it) and its acknowledgement.
WireBytes announce_minimum();
// ia/tm/vn/po 1 against a fresh organiser of release 3.24.
Exchange startup_exchange();
Exchange quit_exchange();
// get of an organiser file holding `data` (per-line sums off): sp, ep, pf, the data lines.
Exchange get_exchange(const std::string& path, const std::string& data);
// put of `data` to an organiser path where no file exists yet.
Exchange put_exchange(const std::string& path, const std::string& data);

}  // namespace bench
