#include "simtext.h"

#include <cstdio>

namespace sim {

namespace {

char lower_char(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Iterative glob with single-star backtracking: linear in practice, no recursion depth to worry
// about whatever the pattern holds.
bool glob_at(const std::string& p, const std::string& s) {
    size_t pi = 0, si = 0, star = std::string::npos, mark = 0;
    while (si < s.size()) {
        if (pi < p.size() && p[pi] == '*') {
            star = pi++;
            mark = si;
        } else if (pi < p.size() && lower_char(p[pi]) == lower_char(s[si])) {
            ++pi;
            ++si;
        } else if (star != std::string::npos) {
            pi = star + 1;
            si = ++mark;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == '*') ++pi;
    return pi == p.size();
}

}  // namespace

std::string lower_ascii(const std::string& s) {
    std::string out = s;
    for (char& c : out) c = lower_char(c);
    return out;
}

bool equal_ci(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (lower_char(a[i]) != lower_char(b[i])) return false;
    }
    return true;
}

bool glob_match_ci(const std::string& pattern, const std::string& name) {
    return glob_at(pattern, name);
}

// Built by appending to the tag: GCC 12 at -O3 takes `"S" + value`, which inserts in front of
// the value, for a copy between overlapping buffers and warns.
std::string tagged(char tag, const std::string& value) {
    std::string reply(1, tag);
    return reply.append(value);
}

std::string c_escape(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c >= 0x20 && c < 0x7f) {
            out += static_cast<char>(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        }
    }
    return out;
}

}  // namespace sim
