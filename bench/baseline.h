// The yardstick for orvel's frame rate: the same lines that orvel and the simulator exchanged,
// replayed in strict stop-and-wait order by a minimal writer on a pty's slave side (with
// orvel's line settings) and a minimal peer on its master side, in this process.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace bench {

// Replays trace records ('Y': the writer sends them, 'T': the peer sends them), each side
// reading the other's bytes in full before it goes on. Returns the seconds taken, or -1 when
// the replay failed or overran its 60-second deadline.
double replay_seconds(const std::vector<std::pair<char, std::string>>& records);

// The same, with the minimal writer in a child process of its own (as orvel is): shows what
// the process boundary alone costs.
double replay_seconds_forked(const std::vector<std::pair<char, std::string>>& records);

}  // namespace bench

namespace bench {

// Runs the real orvel (-d on a fresh pty, with `input` on its standard input, in `cwd`)
// against a peer that plays the 'T' records of a recorded session and reads orvel's bytes in
// place of the 'Y' records, checking that they are the recorded ones. Returns the seconds from
// the start of record `first` to the end of record `last - 1`, or -1 when orvel said anything
// else, or the run failed or overran its 60-second deadline.
double orvel_replay_seconds(const std::vector<std::pair<char, std::string>>& records, size_t first,
                            size_t last, const std::string& input, const std::string& cwd);

}  // namespace bench
