// Small shared pieces of the end-to-end tests: the start-up exchange as it must appear on the
// wire, the banner and other fixed lines, text searches. Test code only; no process handling.
#pragma once

#include <dirent.h>

#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "harness.h"

namespace e2e {

inline const char kPrompt[] = "0, CMD> ";
inline const char kPauseMsg[] = "Disconnecting and leaving orvel active\n";
inline const char kQuitMsg[] = "Disconnecting and closing down orvel\n";
inline const char kNotKnown[] = "Error Cmd not known\n";
inline const char kLostContact[] = "ERROR, Lost contact with the orvel, exiting\n";

inline std::string banner(const std::string& tavlin, const std::string& orvel = "3.24") {
    return "Tavlin program version " + tavlin + ", orvel program version, " + orvel + ",\n";
}

// The banner and the hint line under it: what every interactive start prints first.
inline std::string greeting(const std::string& tavlin, const std::string& orvel = "3.24") {
    return banner(tavlin, orvel) +
           " type help for the commands, usage <command> for their arguments\n";
}

// What orvel sends in a normal start, spelt out: the ack of XONLINE, then ia, tm, vn, po 1,
// each frame followed by the ack of its reply. "dc" and its ack follow a quit.
inline const std::string kStartHead = "O$02ia$CAO$02tm$E1O";
inline const std::string kVn = "$02vn$E4O", kPo = "$04po 1$30O", kDc = "$02dc$C7O";
inline const std::string kStartWire = kStartHead + kVn + kPo;

// The blank-separated words of a line: argument lists written as one string in tables.
inline std::vector<std::string> words(const std::string& line) {
    std::istringstream in(line);
    return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

// Names starting with a dot in a local folder: the temporary files a receive could leave behind.
inline std::vector<std::string> dot_files(const std::string& dir) {
    std::vector<std::string> found;
    DIR* d = opendir(dir.c_str());
    if (d == nullptr) return found;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name != "." && name != ".." && name[0] == '.') found.push_back(name);
    }
    closedir(d);
    return found;
}

inline bool contains(const std::string& hay, const std::string& needle) {
    return hay.find(needle) != std::string::npos;
}

inline int count_of(const std::string& hay, const std::string& needle) {
    int n = 0;
    for (size_t at = hay.find(needle); at != std::string::npos; at = hay.find(needle, at + 1)) ++n;
    return n;
}

// One orvel run against a simulator in serve mode (a fresh one unless given): its trace holds
// every byte orvel sent up to its exit. A prompt that the simulator sends after orvel gave the
// line its echo back returns at once as ">\r\n": the terminal's doing, cut off the end.
inline RunResult served_once(const RunSpec& spec, ServedSim* sim = nullptr) {
    std::unique_ptr<ServedSim> own(sim ? nullptr : new ServedSim(spec.root, spec.simargs));
    RunResult r = (sim ? sim : own.get())->run(spec);
    while (r.from_yal.ends_with(">\r\n")) r.from_yal.resize(r.from_yal.size() - 3);
    return r;
}

// A run in run mode against the organiser tree `root`, for the many tests that need no more.
inline RunResult quick(const std::string& root, const std::string& input,
                       std::vector<std::string> args = {}, std::vector<std::string> simargs = {}) {
    return run_orvel({.args = args, .input = input, .simargs = simargs, .root = root});
}

}  // namespace e2e
