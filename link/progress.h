// The progress line of a running get or put: one line on standard error, rewritten in place,
// shown only when standard error is a terminal and nothing else writes there (no log, no
// tracing, no `noprogress` variable). It never touches standard output or the link.
#pragma once

// Starts the display for a transfer of `total` bytes (-1 when the size is unknown). Does
// nothing when the display is not wanted.
void progressstart(long total);
// Reports `done` bytes so far; the line is redrawn at most a few times a second.
void progressupdate(long done);
// Erases the line, if one is shown; safe to call at any time and more than once.
void progressend();
// progressend for a signal handler: async-signal-safe, leaves the state as it is.
void progressabort();
