// The progress line of a running get or put: one line on standard error, rewritten in place and
// fitted to the terminal's width, and one summary line when a transfer has ended well. Shown
// only when standard error is a terminal and nothing else writes there (no log, no link tracing,
// no `noprogress` variable). It never touches standard output or the link.
#pragma once

#include <string>

// True when a transfer started now would show the progress line. Only then does a get ask the
// organiser for the file's size, so runs without a terminal keep their exact wire.
bool progresswanted();
// Starts the display for a transfer of the local file `name`, `total` bytes long (0 or less
// when unknown). Does nothing when the display is not wanted.
void progressstart(const std::string& name, long total);
// Reports `done` bytes so far; the line is redrawn at most a few times a second.
void progressupdate(long done);
// Erases the line, if one is shown; safe to call at any time and more than once.
void progressend();
// progressend for a signal handler: async-signal-safe, leaves the state as it is.
void progressabort();
// Prints one line on standard error on the last transfer (name, bytes, time, rate) if its
// progress was displayed; prints nothing otherwise and nothing a second time. The shell calls it
// after a transfer that ended well, when `verbose` does not print the statistics already.
void progresssummary();
