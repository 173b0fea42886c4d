// Call tracing, argument dumps and link-debug output.
#include "trace.h"

#include <cstdio>
#include <string>

int debugcall = 0;
int logfile = 0;
int debuglink = 0;
int debugargs = 0, debugpath = 0, debugrun = 0, debugbackup = 0;

namespace {

// Writes one formatted line and flushes it. Control bytes other than newline and tab (a
// carriage return in an organiser name, say) are written as \xHH, so that they cannot break
// the line or move back over it. Newlines stay: some trace lines show a command line whole.
void writeline(std::FILE* f, const char* fmt, va_list ap) {
    va_list copy;
    va_copy(copy, ap);
    char small[512];
    const int n = std::vsnprintf(small, sizeof small, fmt, copy);
    va_end(copy);
    if (n < 0) return;
    std::string line(small, static_cast<std::size_t>(n) < sizeof small ? n : 0);
    if (static_cast<std::size_t>(n) >= sizeof small) {
        line.resize(static_cast<std::size_t>(n) + 1);
        std::vsnprintf(line.data(), line.size(), fmt, ap);
        line.resize(static_cast<std::size_t>(n));
    }
    std::string out;
    out.reserve(line.size());
    for (char byte : line) {
        const unsigned char c = static_cast<unsigned char>(byte);
        if ((c < 0x20 || c == 0x7F) && c != '\n' && c != '\t') {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else {
            out += byte;
        }
    }
    std::fwrite(out.data(), 1, out.size(), f);
    std::fflush(f);
}

}  // namespace

void calltrace(int lvl, const char* fmt, ...) {
    if (debugcall < lvl) return;
    va_list ap;
    va_start(ap, fmt);
    writeline(stderr, fmt, ap);
    va_end(ap);
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
        writeline(stdout, outfmt, copy);
        va_end(copy);
    }
    if (logfile && logfmt) writeline(stderr, logfmt, ap);
    va_end(ap);
}
