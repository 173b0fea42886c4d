// The process words of the simulated organiser.
#include "simresult.h"
#include "simtext.h"
#include "simulator.h"

namespace sim {

namespace {

bool bad_pattern(const std::string& pattern) {
    return pattern.empty() || pattern.size() > kMaxPattern;
}

}  // namespace

int Simulator::cm_po(const std::string& arg) {
    if (arg != "1" && arg != "0") return reply("XBADPARAM");
    protect_ = arg == "1";
    return reply(protect_ ? "XON" : "XOFF");
}

int Simulator::cm_pl(const std::string& arg) {
    if (bad_pattern(arg)) return reply("XBADPARAM");
    int r = reply("XSTARTLIST");
    for (const std::string& name : procs_.list(arg)) {
        if (r != kDone) return r;
        r = reply(name);
    }
    return r == kDone ? reply("XENDLIST") : r;
}

int Simulator::cm_pk(const std::string& arg) {
    if (bad_pattern(arg)) return reply("XBADPARAM");
    const int n = procs_.kill(arg, protect_);
    return reply(n < 0 ? "KILLNOPROC" : tagged('K', std::to_string(n)));
}

int Simulator::cm_ps(const std::string& arg) {
    if (bad_pattern(arg)) return reply("XBADPARAM");
    const int n = procs_.shutdown(arg);
    return reply(n < 0 ? "SDNOPROC" : tagged('S', std::to_string(n)));
}

}  // namespace sim
