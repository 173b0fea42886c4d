// The wire as the simulator's trace records it: records "Y " (bytes from the workstation) and
// "T " (bytes the simulator sent), C-escaped, one per read or write, and "# " notes (skipped).
// Splits the byte streams into frames.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "harness.h"

namespace {

int hex_digit(char c) {
    const char* digits = "0123456789ABCDEF0123456789abcdef";
    const char* at = c ? std::strchr(digits, c) : nullptr;
    return at ? static_cast<int>(at - digits) % 16 : -1;
}

// Undoes the trace's escaping: "\\", "\n", "\r" and "\xHH".
std::string unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out += s[i];
        } else if (s[++i] == 'x' && i + 2 < s.size()) {
            out += static_cast<char>(std::strtol(s.substr(i + 1, 2).c_str(), nullptr, 16));
            i += 2;
        } else {
            out += s[i] == 'n' ? '\n' : s[i] == 'r' ? '\r' : s[i];
        }
    }
    return out;
}

}  // namespace

std::vector<std::pair<char, std::string>> trace_records(const std::string& trace) {
    std::vector<std::pair<char, std::string>> records;
    std::istringstream in(trace);
    for (std::string line; std::getline(in, line);)
        if (line.size() >= 2 && line[1] == ' ' && (line[0] == 'Y' || line[0] == 'T'))
            records.emplace_back(line[0], unescape(line.substr(2)));
    return records;
}

// Frames are "$LL" text "$CC"; what lies between them are acknowledgements and prompts. Each
// direction is parsed as a stream, and a frame counts when its last byte has arrived.
std::vector<std::pair<char, std::string>> RunResult::frames() const {
    std::vector<std::pair<char, std::string>> frames;
    std::string from_yal, to_yal;
    for (const auto& [who, bytes] : trace_records(trace)) {
        std::string& s = (who == 'Y' ? from_yal : to_yal) += bytes;
        std::size_t i = 0;
        for (; i + 5 < s.size(); ++i) {
            int h = hex_digit(s[i + 1]), l = hex_digit(s[i + 2]), n = h * 16 + l;
            if (s[i] != '$' || h < 0 || l < 0) continue;
            if (i + n + 6 > s.size()) break;  // not all there yet
            if (s[i + 3 + n] != '$') continue;
            frames.emplace_back(who, s.substr(i + 3, n));
            i += n + 5;
        }
        s.erase(0, i);
    }
    return frames;
}

std::vector<std::string> RunResult::frames_from_yal() const {
    std::vector<std::string> texts;
    for (const auto& [who, text] : frames())
        if (who == 'Y') texts.push_back(text);
    return texts;
}

long RunResult::stat(const std::string& key) const {
    auto it = stats.find(key);
    return it == stats.end() ? 0 : it->second;
}

double RunResult::out_time(size_t pos) const {
    for (const auto& [when, length] : out_arrivals)
        if (length > pos) return when;
    return -1;
}
