// Whether any command of this run has failed. A command has failed when it reported an error,
// whatever result code its handler returns, so the places that print an error note it here and
// the handlers' codes and the command-file flow stay as they are. The program's exit status in
// a non-interactive run is read from it. Nothing here prints or talks to the organiser.
#pragma once

// The program's exit statuses.
inline constexpr int kExitOk = 0;        // success, and an interactive session's quit or pause
inline constexpr int kExitLost = 1;      // lost contact, a protocol failure, lost output
inline constexpr int kExitUsage = 2;     // the usage text
inline constexpr int kExitFailed = 3;    // a command failed in a non-interactive run
inline constexpr int kExitTooOld = 4;    // the organiser's release is too old
inline constexpr int kExitNoDevice = 6;  // the device cannot be opened or is in use

// Notes that the command now running reported an error. Never fails; safe to call repeatedly.
void notefailure();

// True once notefailure has been called in this run; nothing resets it.
bool anyfailure();

// How many times notefailure has been called in this run, so that a caller can tell whether a
// step of its own reported anything (compare before and after).
int failurecount();

// Makes failures decide the exit status from now on: set for a non-interactive run (a command
// on the command line, or standard input that is not a terminal). Never undone.
void failuresdecidestatus();

// The status a run that ends with `status` exits with: kExitFailed in place of kExitOk once a
// command has failed and failures decide the status; otherwise `status` itself.
int exitstatus(int status);
