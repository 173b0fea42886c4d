// Call tracing and link-debug output, shared by every subsystem.
// Owns the trace switches that the link reads (`debugcall`, `logfile`, `debuglink`); the shell's
// options and its setv/unsetv commands set them. Nothing here talks to the serial line.
#pragma once

#include <cstdarg>

extern int debugcall;  // call-trace level: 0 none, 1 shell, 2 variables, 3 link, 4 frames, ...
extern int logfile;    // 1 once -log has sent standard error to the log file
extern int debuglink;  // link traffic is traced on standard output

// Writes one trace line (a printf format) to standard error and flushes it, when `debugcall`
// is at least `lvl`. Control bytes other than newline and tab are written as \xHH, so that
// bytes from the line (a carriage return in a name) never break a trace line.
void calltrace(int lvl, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

// Writes a link-debug event: `outfmt` to standard output when `debuglink` is set, `logfmt` to
// standard error (the log) when `logfile` is set. Both formats take the same arguments; a null
// format skips that side. Control bytes are written as in calltrace.
void linkdebug(const char* outfmt, const char* logfmt, ...);
