#include "wire_minimum.h"

#include <cstdio>

namespace bench {

namespace {

constexpr long kFraming = 6;    // "$" LL ... "$" CC
constexpr size_t kBlock = 100;  // file bytes per data line

std::string hex_line(const std::string& bytes) {
    std::string out;
    char pair[3];
    for (unsigned char c : bytes) {
        std::snprintf(pair, sizeof pair, "%02X", c);
        out += pair;
    }
    return out;
}

std::string letter_line(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        out += static_cast<char>('A' + (c >> 4));
        out += static_cast<char>('A' + (c & 15));
    }
    return out;
}

}  // namespace

void Exchange::add(const Exchange& more) {
    commands.insert(commands.end(), more.commands.begin(), more.commands.end());
    replies.insert(replies.end(), more.replies.begin(), more.replies.end());
}

WireBytes minimum(const Exchange& ex) {
    WireBytes w;
    for (const std::string& c : ex.commands) {
        w.to_yal += 2 + 2;  // ">\n" before, "O\n" after
        w.from_yal += kFraming + static_cast<long>(c.size());
    }
    for (const std::string& r : ex.replies) {
        w.to_yal += kFraming + static_cast<long>(r.size()) + 1;  // the frame line
        w.from_yal += 1;                                         // "O"
    }
    return w;
}

WireBytes announce_minimum() {
    Exchange ex;
    ex.replies = {"XONLINE"};
    return minimum(ex);
}

Exchange startup_exchange() {
    return {{"ia", "tm", "vn", "po 1"}, {"XYES", "XOK", "V3.24", "XON"}};
}

Exchange quit_exchange() {
    return {{"dc"}, {"XDISCONNECTED"}};
}

Exchange get_exchange(const std::string& path, const std::string& data) {
    Exchange ex{{"sp " + path, "ep", "pf"}, {"XOK", "XYES", "XSTARTPUT", "XOK"}};
    for (size_t at = 0; at < data.size(); at += kBlock)
        ex.replies.push_back(hex_line(data.substr(at, kBlock)));
    ex.replies.push_back("XE");
    ex.replies.push_back("XENDPUT");
    return ex;
}

Exchange put_exchange(const std::string& path, const std::string& data) {
    Exchange ex{{"sp " + path, "ep", "gf"}, {"XOK", "XNO", "XSTARTGET", "XOK"}};
    for (size_t at = 0; at < data.size(); at += kBlock)
        ex.commands.push_back(letter_line(data.substr(at, kBlock)));
    ex.commands.push_back("XE");
    ex.replies.push_back("XENDGET");
    return ex;
}

}  // namespace bench
