// The progress line of get and put on a terminal, and the summary line after them.
#include "progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "hooks.h"
#include "textutil.h"
#include "trace.h"

namespace {

constexpr double kRedrawSeconds = 0.25;
const char kErase[] = "\r\033[K";

volatile sig_atomic_t onscreen = 0;  // a line is on the terminal
volatile sig_atomic_t resized = 0;   // the terminal's size changed since it was last read
bool active = false;                 // a transfer is being displayed
bool summarypending = false;         // the last displayed transfer has not been summed up yet
std::string filename;
long totalbytes = -1, donebytes = 0;
double started = 0, lastdraw = 0, finished = 0;
int columns = 80;
struct sigaction oldwinch;

double now() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

void onwinch(int) {
    resized = 1;
}

int terminalwidth() {
    struct winsize ws;
    if (ioctl(2, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) return ws.ws_col;
    return 80;
}

// One unit for the amounts of a line, chosen by the largest of them, so they read alike.
struct Unit {
    double size;
    const char* name;
    const char* format;
};
Unit unitfor(double bytes) {
    if (bytes < 1024) return {1, "bytes", "%.0f"};
    if (bytes < 1024 * 1024) return {1024, "KiB", "%.1f"};
    return {1024 * 1024, "MiB", "%.1f"};
}

std::string inunit(double bytes, const Unit& u) {
    char text[32];
    std::snprintf(text, sizeof text, u.format, bytes / u.size);
    return text;
}

std::string rate(double bytespersecond) {
    Unit u = unitfor(bytespersecond);
    return inunit(bytespersecond, u) + " " + u.name + "/s";
}

// "m:ss", or "h:mm:ss" from an hour on.
std::string clock(long seconds) {
    char text[32];
    if (seconds < 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld", seconds / 60, seconds % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", seconds / 3600, seconds / 60 % 60,
                      seconds % 60);
    return text;
}

// The forms of the line, fullest first; the first that fits the terminal is drawn.
std::vector<std::string> forms(double elapsed) {
    double speed = elapsed > 0 ? static_cast<double>(donebytes) / elapsed : 0;
    std::string name = filename + ": ", persec = rate(speed);
    if (totalbytes <= 0) {
        Unit u = unitfor(static_cast<double>(donebytes));
        std::string amount = inunit(static_cast<double>(donebytes), u) + " " + u.name;
        return {name + amount + ", " + persec, amount + ", " + persec, amount};
    }
    Unit u = unitfor(static_cast<double>(totalbytes));
    std::string amounts = inunit(static_cast<double>(donebytes), u) + " of " +
                          inunit(static_cast<double>(totalbytes), u) + " " + u.name;
    long percent = donebytes >= totalbytes ? 100 : donebytes * 100 / totalbytes;
    std::string share = std::to_string(percent) + "%";
    std::string left =
        speed > 0 && donebytes < totalbytes
            ? clock(static_cast<long>(static_cast<double>(totalbytes - donebytes) / speed))
            : std::string(donebytes < totalbytes ? "-:--" : "0:00");
    left += " left";
    return {name + amounts + ", " + share + ", " + persec + ", " + left,
            amounts + ", " + share + ", " + persec + ", " + left,
            share + ", " + persec + ", " + left, share + ", " + left, share};
}

void draw(double elapsed) {
    if (resized) {
        resized = 0;
        columns = terminalwidth();
    }
    // One column is kept free: writing the last one makes some terminals wrap at once.
    std::size_t room = columns > 1 ? static_cast<std::size_t>(columns - 1) : 1;
    std::vector<std::string> all = forms(elapsed);
    std::string line = all.back().substr(0, room);
    for (const std::string& f : all) {
        if (f.size() <= room) {
            line = f;
            break;
        }
    }
    std::fputs(kErase, stderr);
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
    onscreen = 1;
}

void watchwidth() {
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = onwinch;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGWINCH, &sa, &oldwinch);
    resized = 0;
    columns = terminalwidth();
}

}  // namespace

bool progresswanted() {
    return isatty(2) && !logfile && debugcall < 3 && !debuglink && linkvar("noprogress") == nullptr;
}

void progressstart(const std::string& name, long total) {
    active = progresswanted();
    summarypending = false;
    if (!active) return;
    filename = escapecontrols(name);  // the organiser's name: no control byte reaches the terminal
    totalbytes = total;
    donebytes = 0;
    started = lastdraw = now();
    watchwidth();
}

void progressupdate(long done) {
    if (!active) return;
    donebytes = done;
    double t = now();
    if (t - lastdraw < kRedrawSeconds) return;
    lastdraw = t;
    draw(t - started);
}

void progressend() {
    if (active) {
        active = false;
        summarypending = true;
        finished = now();
        sigaction(SIGWINCH, &oldwinch, nullptr);
    }
    if (!onscreen) return;
    std::fputs(kErase, stderr);
    std::fflush(stderr);
    onscreen = 0;
}

void progressabort() {
    if (onscreen) {
        ssize_t ignored = write(2, kErase, sizeof kErase - 1);
        (void)ignored;
    }
}

void progresssummary() {
    if (!summarypending) return;
    summarypending = false;
    double elapsed = finished - started;
    double speed = static_cast<double>(donebytes) / (elapsed > 0.001 ? elapsed : 0.001);
    char took[32];
    if (elapsed < 60)
        std::snprintf(took, sizeof took, "%.1f s", elapsed);
    else
        std::snprintf(took, sizeof took, "%s", clock(static_cast<long>(elapsed)).c_str());
    std::fprintf(stderr, "%s: %ld bytes in %s, %s\n", filename.c_str(), donebytes, took,
                 rate(speed).c_str());
    std::fflush(stderr);
}
