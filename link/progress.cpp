// The progress line of get and put on a terminal.
#include "progress.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <ctime>

#include "hooks.h"
#include "trace.h"

namespace {

constexpr double kRedrawSeconds = 0.25;
const char kErase[] = "\r\033[K";

volatile sig_atomic_t shown = 0;  // a line is on the terminal
bool active = false;              // a transfer is being displayed
long totalbytes = -1;
double started = 0, lastdraw = 0;

double now() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

bool wanted() {
    return isatty(2) && !logfile && debugcall < 3 && !debuglink && linkvar("noprogress") == nullptr;
}

// "   12.3 KB" style amounts, to keep the line short.
void amount(char* out, std::size_t size, double bytes) {
    if (bytes < 10000)
        std::snprintf(out, size, "%.0f bytes", bytes);
    else if (bytes < 10000000)
        std::snprintf(out, size, "%.1f KB", bytes / 1024);
    else
        std::snprintf(out, size, "%.1f MB", bytes / (1024 * 1024));
}

void draw(long done, double elapsed) {
    char text[160], moved[32], rate[32];
    double speed = elapsed > 0 ? static_cast<double>(done) / elapsed : 0;
    amount(moved, sizeof moved, static_cast<double>(done));
    amount(rate, sizeof rate, speed);
    int len = std::snprintf(text, sizeof text, "%s%s, %s/s", kErase, moved, rate);
    if (totalbytes > 0 && len > 0 && len < static_cast<int>(sizeof text)) {
        long percent = done >= totalbytes ? 100 : done * 100 / totalbytes;
        long left = speed > 0 && done < totalbytes
                        ? static_cast<long>(static_cast<double>(totalbytes - done) / speed)
                        : 0;
        std::snprintf(text + len, sizeof text - static_cast<std::size_t>(len),
                      ", %ld%%, %ld:%02ld left", percent, left / 60, left % 60);
    }
    std::fputs(text, stderr);
    std::fflush(stderr);
    shown = 1;
}

}  // namespace

void progressstart(long total) {
    active = wanted();
    totalbytes = total;
    started = lastdraw = now();
}

void progressupdate(long done) {
    if (!active) return;
    double t = now();
    if (t - lastdraw < kRedrawSeconds) return;
    lastdraw = t;
    draw(done, t - started);
}

void progressend() {
    active = false;
    if (!shown) return;
    std::fputs(kErase, stderr);
    std::fflush(stderr);
    shown = 0;
}

void progressabort() {
    if (shown) {
        ssize_t ignored = write(2, kErase, sizeof kErase - 1);
        (void)ignored;
    }
}
