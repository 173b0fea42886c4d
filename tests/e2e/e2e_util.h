// Small shared pieces of the end-to-end tests: the start-up exchange as it must appear on the
// wire, the banner lines and text searches. Test code only; no process handling here.
#pragma once

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

// What orvel sends for a normal start against a sim in its first state (not yet binary):
// the ack of XONLINE, then ia, tm, vn, po 1, each frame followed by the ack of its reply.
inline std::string startup_wire(bool ask_version = true) {
    std::string w = "O" + frame_of("ia") + "O" + frame_of("tm") + "O";
    if (ask_version) w += frame_of("vn") + "O";
    return w + frame_of("po 1") + "O";
}

inline bool contains(const std::string& hay, const std::string& needle) {
    return hay.find(needle) != std::string::npos;
}

inline int count_of(const std::string& hay, const std::string& needle) {
    int n = 0;
    for (size_t at = hay.find(needle); at != std::string::npos; at = hay.find(needle, at + 1)) ++n;
    return n;
}

// In serve mode the simulator keeps the line open after orvel has gone. A prompt that it sends
// after orvel gave the line its echo back returns at once through the line discipline as
// ">\r\n"; that is the terminal's doing, not orvel's, so it is cut off the end.
inline std::string without_echo(std::string wire) {
    while (wire.size() >= 3 && wire.compare(wire.size() - 3, 3, ">\r\n") == 0)
        wire.resize(wire.size() - 3);
    return wire;
}

// One orvel run against a simulator in serve mode, whose trace holds every byte orvel sent up
// to its exit (in run mode the simulator stops reading once orvel has exited, so a last
// acknowledgement can be missing from the trace).
inline RunResult served_once(const RunSpec& spec) {
    ServedSim sim(spec.root, spec.simargs);
    RunResult r = sim.run(spec);
    r.from_yal = without_echo(r.from_yal);
    return r;
}

// A run against a fresh organiser tree, for the many tests that need nothing else.
inline RunResult quick(const std::string& root, const std::string& input,
                       std::vector<std::string> args = {}, std::vector<std::string> simargs = {}) {
    RunSpec s;
    s.root = root;
    s.input = input;
    s.args = std::move(args);
    s.simargs = std::move(simargs);
    return run_orvel(s);
}

}  // namespace e2e
