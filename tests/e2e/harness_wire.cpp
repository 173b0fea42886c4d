// The wire as the simulator's trace records it: records "Y " (bytes from the workstation) and
// "T " (bytes the simulator sent), C-escaped, one per read or write; "# " fault notes. Splits a
// trace into the two byte streams and the streams into frames, acknowledgements and lines.
#include <cstdio>
#include <sstream>

#include "harness.h"

namespace {

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Undoes the trace's escaping: "\\", "\n", "\r", "\t", "\0" and "\xHH".
std::string unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 >= s.size()) {
            out += s[i];
            continue;
        }
        char c = s[++i];
        if (c == 'n')
            out += '\n';
        else if (c == 'r')
            out += '\r';
        else if (c == 't')
            out += '\t';
        else if (c == '0')
            out += '\0';
        else if (c == 'x' && i + 2 < s.size() && hex_digit(s[i + 1]) >= 0 &&
                 hex_digit(s[i + 2]) >= 0) {
            out += static_cast<char>(hex_digit(s[i + 1]) * 16 + hex_digit(s[i + 2]));
            i += 2;
        } else
            out += c;
    }
    return out;
}

// Walks orvel's byte stream: frames "$LL" text "$CC" go to `frames`, other bytes to `loose`.
void split_outbound(const std::string& s, std::vector<std::string>* frames, std::string* loose) {
    size_t i = 0;
    while (i < s.size()) {
        int h = i + 2 < s.size() ? hex_digit(s[i + 1]) : -1;
        int l = i + 2 < s.size() ? hex_digit(s[i + 2]) : -1;
        size_t n = h >= 0 && l >= 0 ? static_cast<size_t>(h * 16 + l) : 0;
        if (s[i] == '$' && h >= 0 && l >= 0 && i + 3 + n + 3 <= s.size() && s[i + 3 + n] == '$') {
            if (frames) frames->push_back(s.substr(i + 3, n));
            i += 6 + n;
            continue;
        }
        if (loose) *loose += s[i];
        ++i;
    }
}

}  // namespace

void parse_trace(const std::string& trace, std::string* from_yal, std::string* to_yal,
                 std::vector<std::string>* notes) {
    std::istringstream in(trace);
    std::string line;
    while (std::getline(in, line)) {
        if (line.size() < 2 || line[1] != ' ') continue;
        std::string body = line.substr(2);
        if (line[0] == 'Y' && from_yal) *from_yal += unescape(body);
        if (line[0] == 'T' && to_yal) *to_yal += unescape(body);
        if (line[0] == '#' && notes) notes->push_back(body);
    }
}

std::vector<std::pair<char, std::string>> trace_records(const std::string& trace) {
    std::vector<std::pair<char, std::string>> records;
    std::istringstream in(trace);
    std::string line;
    while (std::getline(in, line)) {
        if (line.size() >= 2 && line[1] == ' ' && (line[0] == 'Y' || line[0] == 'T'))
            records.emplace_back(line[0], unescape(line.substr(2)));
    }
    return records;
}

std::map<std::string, long> parse_stats(const std::string& text) {
    std::map<std::string, long> stats;
    std::istringstream in(text);
    std::string key;
    long value;
    while (in >> key >> value) stats[key] = value;
    return stats;
}

std::string frame_of(const std::string& text) {
    int sum = 0;
    for (unsigned char c : text) sum = (sum + c) % 256;
    char head[8], tail[8];
    std::snprintf(head, sizeof head, "$%2.2X", static_cast<unsigned>(text.size()));
    std::snprintf(tail, sizeof tail, "$%2.2X", static_cast<unsigned>(sum));
    return head + text + tail;
}

std::vector<std::string> RunResult::frames_from_yal() const {
    std::vector<std::string> frames;
    split_outbound(from_yal, &frames, nullptr);
    return frames;
}

std::string RunResult::acks_from_yal() const {
    std::string loose;
    split_outbound(from_yal, nullptr, &loose);
    return loose;
}

std::vector<std::string> RunResult::lines_to_yal() const {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t nl; (nl = to_yal.find('\n', start)) != std::string::npos; start = nl + 1)
        lines.push_back(to_yal.substr(start, nl - start));
    if (start < to_yal.size()) lines.push_back(to_yal.substr(start));
    return lines;
}

// Reply frames are the lines that begin with "$": the text lies between "$LL" and "$CC".
std::vector<std::string> RunResult::frames_to_yal() const {
    std::vector<std::string> frames;
    for (const std::string& line : lines_to_yal()) {
        if (line.size() >= 6 && line[0] == '$') frames.push_back(line.substr(3, line.size() - 6));
    }
    return frames;
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
