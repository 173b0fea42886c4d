// Call tracing, argument dumps and link-debug output, shared by every subsystem.
// Owns the trace switches that every layer reads (`debugcall`, `logfile` and the debug flags);
// the shell's options and its setv/unsetv commands set them. Nothing here talks to the serial
// line.
#pragma once

#include <cstdarg>

extern int debugcall;  // call-trace level: 0 none, 1 shell, 2 variables, 3 link, 4 frames, ...
extern int logfile;    // 1 once -log has sent standard error to the log file
extern int debuglink;  // link traffic is traced on standard output
// The other debug flags, kept in step with the variables of the same name by setv/unsetv.
extern int debugargs;    // command lines and argument vectors are printed
extern int debugpath;    // the command-file search is traced
extern int debugrun;     // each command-file line and each foreach command is printed first
extern int debugbackup;  // backup and restore are traced

// Writes one trace line (a printf format) to standard error and flushes it, when `debugcall`
// is at least `lvl`. Control bytes other than newline and tab are written as \xHH, so that
// bytes from the line (a carriage return in a name) never break a trace line.
void calltrace(int lvl, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

// Writes the argument vector as one line to standard error and flushes it, when `debugcall` is
// at least 2; otherwise does nothing.
void dodebugargs(int argc, char** argv);

// Writes a link-debug event: `outfmt` to standard output when `debuglink` is set, `logfmt` to
// standard error (the log) when `logfile` is set. Both formats take the same arguments; a null
// format skips that side. Control bytes are written as in calltrace.
void linkdebug(const char* outfmt, const char* logfmt, ...);
