#include "simfaults.h"

#include <cstdio>
#include <cstdlib>

#include "simframe.h"

namespace sim {

namespace {

const int kPickStream = static_cast<int>(FaultKind::kCount);

bool parse_fraction(const std::string& v, double* out) {
    char* end = nullptr;
    const double d = std::strtod(v.c_str(), &end);
    if (v.empty() || *end != '\0' || !(d >= 0.0 && d <= 1.0)) return false;
    *out = d;
    return true;
}

bool parse_count(const std::string& v, long long* out) {
    char* end = nullptr;
    const long long n = std::strtoll(v.c_str(), &end, 10);
    if (v.empty() || *end != '\0' || n < 0) return false;
    *out = n;
    return true;
}

bool apply_key(const std::string& key, const std::string& value, FaultPlan* plan) {
    struct Row {
        const char* key;
        double FaultPlan::*field;
    };
    static const Row kRows[] = {{"out", &FaultPlan::out},         {"in", &FaultPlan::in},
                                {"ack", &FaultPlan::ack},         {"datain", &FaultPlan::datain},
                                {"dataout", &FaultPlan::dataout}, {"sum", &FaultPlan::sum}};
    for (const Row& row : kRows) {
        if (key == row.key) return parse_fraction(value, &(plan->*row.field));
    }
    long long n = 0;
    if (key == "hangup" && parse_count(value, &n)) {
        plan->hangup = static_cast<long>(n);
        return true;
    }
    if (key == "seed" && parse_count(value, &n)) {
        plan->seed = static_cast<uint64_t>(n);
        return true;
    }
    return false;
}

}  // namespace

bool parse_fault_plan(const std::string& text, FaultPlan* plan, std::string* err) {
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(',', start);
        if (end == std::string::npos) end = text.size();
        const std::string item = text.substr(start, end - start);
        start = end + 1;
        const size_t eq = item.find('=');
        if (eq == std::string::npos || !apply_key(item.substr(0, eq), item.substr(eq + 1), plan)) {
            *err = "bad fault setting '" + item + "'";
            return false;
        }
    }
    return true;
}

std::string format_stats(const SimStats& s) {
    char buf[512];
    std::snprintf(buf, sizeof buf,
                  "frames_in %ld\nframes_out %ld\ncorrupt_out %ld\nrefused_in %ld\n"
                  "refused_ack %ld\ndatain_bad %ld\ndataout_bad %ld\nsum_lies %ld\n",
                  s.frames_in, s.frames_out, s.corrupt_out, s.refused_in, s.refused_ack,
                  s.datain_bad, s.dataout_bad, s.sum_lies);
    return buf;
}

Faults::Faults(const FaultPlan& plan) : plan_(plan) {
    for (int i = 0; i <= kPickStream; ++i) {
        state_[i] = plan.seed * 0x9E3779B97F4A7C15ull +
                    static_cast<uint64_t>(i + 1) * 0xD1B54A32D192ED03ull;
    }
}

// splitmix64: small, fast and good enough for choosing which frames to spoil.
uint64_t Faults::next(int stream) {
    uint64_t z = (state_[stream] += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

uint32_t Faults::pick(uint32_t n) {
    return n == 0 ? 0 : static_cast<uint32_t>(next(kPickStream) % n);
}

bool Faults::draw(FaultKind kind) {
    static double FaultPlan::*const kField[] = {&FaultPlan::out,     &FaultPlan::in,
                                                &FaultPlan::ack,     &FaultPlan::datain,
                                                &FaultPlan::dataout, &FaultPlan::sum};
    const double f = plan_.*kField[static_cast<int>(kind)];
    if (f <= 0.0) return false;
    const double u = static_cast<double>(next(static_cast<int>(kind)) >> 11) / 9007199254740992.0;
    return u < f;
}

std::string Faults::corrupt(const std::string& body, std::string* how) {
    std::string s = body;
    if (s.size() < 6) return s;
    const size_t text_len = s.size() - 6;
    const uint32_t method = pick(text_len > 0 ? 3 : 2);
    char buf[96];
    if (method == 2) {  // one text byte becomes another printable byte
        const size_t pos = 3 + pick(static_cast<uint32_t>(text_len));
        const unsigned char old = static_cast<unsigned char>(s[pos]);
        unsigned char c = static_cast<unsigned char>(0x20 + pick(95));
        if (c == old) c = c == 0x7E ? 0x20 : c + 1;
        s[pos] = static_cast<char>(c);
        std::snprintf(buf, sizeof buf, "text byte %zu 0x%02X -> 0x%02X", pos - 3, old, c);
    } else if (method == 1) {  // a checksum digit becomes another hex digit
        const size_t pos = s.size() - 2 + pick(2);
        const int v = s[pos] == ' ' ? 0 : hex_value(s[pos]);
        const int nv = (v + 1 + static_cast<int>(pick(15))) % 16;
        s[pos] = "0123456789ABCDEF"[nv];
        std::snprintf(buf, sizeof buf, "checksum digit %zu -> %c", pos - s.size() + 2, s[pos]);
    } else {  // a length digit becomes a character that is not hexadecimal
        const size_t pos = 1 + pick(2);
        s[pos] = "GHKXZ?#"[pick(7)];
        std::snprintf(buf, sizeof buf, "length digit %zu -> %c", pos - 1, s[pos]);
    }
    *how = buf;
    return s;
}

}  // namespace sim
