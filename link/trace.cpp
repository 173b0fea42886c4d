// Call tracing, argument dumps and link-debug output.
#include "trace.h"

#include <cstdio>

int debugcall = 0;
int logfile = 0;
int debuglink = 0;
int debugargs = 0, debugpath = 0, debugrun = 0, debugbackup = 0;

void calltrace(int lvl, const char* fmt, ...) {
    if (debugcall < lvl) return;
    va_list ap;
    va_start(ap, fmt);
    std::vfprintf(stderr, fmt, ap);
    va_end(ap);
    std::fflush(stderr);
}

void dodebugargs(int argc, char** argv) {
    if (debugcall < 2) return;
    std::fprintf(stderr, "argc = (%d) ", argc);
    for (int i = 0; i < argc; ++i) std::fprintf(stderr, "argv[%d] = (%s) ", i, argv[i]);
    std::fprintf(stderr, "\n");
    std::fflush(stderr);
}

void linkdebug(const char* outfmt, const char* logfmt, ...) {
    va_list ap;
    va_start(ap, logfmt);
    if (debuglink && outfmt) {
        va_list copy;
        va_copy(copy, ap);
        std::vfprintf(stdout, outfmt, copy);
        va_end(copy);
        std::fflush(stdout);
    }
    if (logfile && logfmt) {
        std::vfprintf(stderr, logfmt, ap);
        std::fflush(stderr);
    }
    va_end(ap);
}
