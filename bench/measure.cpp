#include "measure.h"

#include <cstdio>
#include <random>

namespace bench {

namespace {
const std::string kPrompt = "0, CMD> ";

// Seconds from the start of the run until its standard output held more than `pos` bytes, or -1.
double out_time(const RunResult& r, size_t pos) {
    for (const auto& [when, length] : r.out_arrivals)
        if (length > pos) return when;
    return -1;
}
}  // namespace

double command_seconds(const RunResult& r, int n) {
    size_t at = r.out.find(kPrompt);
    for (int i = 0; i < n && at != std::string::npos; ++i) at = r.out.find(kPrompt, at + 1);
    if (at == std::string::npos) return -1;
    size_t next = r.out.find(kPrompt, at + 1);
    if (next == std::string::npos) return -1;
    double begun = out_time(r, at + kPrompt.size() - 1), ended = out_time(r, next);
    return begun < 0 || ended < 0 ? -1 : ended - begun;
}

std::pair<size_t, size_t> exchange_range(const Records& all, long skip_from, long tail_from) {
    long total = 0;
    for (const auto& rec : all)
        if (rec.first == 'Y') total += static_cast<long>(rec.second.size());
    long sent = 0;
    size_t first = all.size(), last = all.size();
    for (size_t i = 0; i < all.size(); ++i) {
        if (first == all.size() && sent == skip_from) first = i;
        if (all[i].first != 'Y') continue;
        if (sent == total - tail_from) {
            last = i;
            break;
        }
        sent += static_cast<long>(all[i].second.size());
    }
    if (first > last) first = last;
    while (last > first && all[last - 1].first == 'T') --last;  // the prompt before the tail
    return {first, last};
}

bool report(const std::string& label, const std::string& value, const std::string& target,
            bool ok) {
    std::printf("  %-44s %-28s %-14s %s\n", label.c_str(), value.c_str(), target.c_str(),
                ok ? "OK" : "MISS");
    std::fflush(stdout);
    return ok;
}

std::string random_bytes(size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(gen() & 0xFF);
    return s;
}

std::string fixed(double v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

}  // namespace bench
