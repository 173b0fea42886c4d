// Result codes of the simulated organiser. The values of the shared three match the rest of the
// system; the others name the ways a wait on the line can end early. Nothing else lives here.
#pragma once

namespace sim {

inline constexpr int kDone = -2;    // finished: go on
inline constexpr int kFailed = -3;  // failed (bad path, cannot open, ...)
inline constexpr int kPause = -4;   // unused here; kept so the codes read like the workstation's

inline constexpr int kStop = -10;         // the simulator was asked to stop (signal, child gone)
inline constexpr int kHangup = -11;       // the line is closed (hang-up fault or device gone)
inline constexpr int kInterrupted = -12;  // a new frame began while an exchange was pending
inline constexpr int kReopened = -13;     // the workstation closed the line before answering
inline constexpr int kMuted = -14;        // the mute quirk took effect: answer nothing more

}  // namespace sim

namespace sim {

inline constexpr int kTimedOut = -15;      // a bounded wait ran out
inline constexpr int kDisconnected = -16;  // "dc" was answered: behave as freshly started
inline constexpr int kReady = -17;         // the workstation has opened and set up the line

}  // namespace sim
