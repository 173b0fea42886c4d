// The line's signal handling: every way out that a program can catch gives the device back the
// settings found at the open, a stop gives the line back until the program goes on, and the
// receive file in progress never outlives an ending signal. Handlers make only
// async-signal-safe calls.
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <iterator>

#include "linkio.h"
#include "ovlib.h"
#include "progress.h"
#include "tempfile.h"

namespace {

// Only settings actually read from the device are ever written back to it, and the link's own
// settings only while the link holds the line (from its set-up to the shut-down).
volatile sig_atomic_t initialsaved = 0;
volatile sig_atomic_t linkheld = 0;

// The receive file in progress. The signal handlers read it, so the name lives in a buffer
// allocated before any handler runs, guarded by `pendingset`.
constexpr std::size_t kPendingMax = 8192;
char pendingname[kPendingMax];
volatile sig_atomic_t pendingset = 0;
std::string pendinglong;  // a name too long for the buffer: removed on the normal paths only

// Signals whose default action ends the process; each ends it the same way once the line is
// restored and the receive file removed.
constexpr int kEndSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM};
// Signals of a fault in the program itself: the line is restored, nothing else is trusted.
constexpr int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
// The handlers found for them (a sanitizer's, say), called after the line is restored.
struct sigaction crashprevious[std::size(kCrashSignals)];

void restoreline() {
    if (initialsaved && devid != -1) tcsetattr(devid, TCSANOW, &initial);
}

// Restores the line, removes the pending file and the temporary files, then lets the signal's
// default action end the process: the handler was reset by SA_RESETHAND, and the signal raised
// again is delivered as soon as the handler returns.
void onend(int sig) {
    progressabort();
    restoreline();
    if (pendingset) unlink(pendingname);
    removetempfiles();
    raise(sig);
}

// Gives the line back and stops, as the default action of SIGTSTP would; SIGCONT (oncontinue)
// takes the line again.
void onstop(int) {
    const int saved = errno;
    progressabort();
    restoreline();
    struct sigaction dfl, ours;
    std::memset(&dfl, 0, sizeof dfl);
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    sigaction(SIGTSTP, &dfl, &ours);
    sigset_t tstp;
    sigemptyset(&tstp);
    sigaddset(&tstp, SIGTSTP);
    raise(SIGTSTP);  // pending while blocked in its own handler: the stop comes with the unblock
    sigprocmask(SIG_UNBLOCK, &tstp, nullptr);
    sigaction(SIGTSTP, &ours, nullptr);
    errno = saved;
}

void oncontinue(int) {
    if (linkheld) tcsetattr(devid, TCSANOW, &modified);
}

void oncrash(int sig, siginfo_t* info, void* context) {
    restoreline();
    for (std::size_t i = 0; i < std::size(kCrashSignals); ++i) {
        if (kCrashSignals[i] != sig) continue;
        const struct sigaction& before = crashprevious[i];
        if ((before.sa_flags & SA_SIGINFO) && before.sa_sigaction != nullptr)
            before.sa_sigaction(sig, info, context);
        else if (before.sa_handler != SIG_DFL && before.sa_handler != SIG_IGN)
            before.sa_handler(sig);
    }
    // Dies by the same signal, at once (SA_NODEFER), with its default action.
    signal(sig, SIG_DFL);
    raise(sig);
}

// A write to a closed pipe then fails with EPIPE and is reported where it happens. A handler,
// not SIG_IGN, so that a child of `!` starts with the default action again.
void onpipe(int) {}

void install(int sig, void (*handler)(int), int flags) {
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    for (int other : kEndSignals) sigaddset(&sa.sa_mask, other);
    sigaddset(&sa.sa_mask, SIGTSTP);
    sigaddset(&sa.sa_mask, SIGCONT);
    sa.sa_flags = flags;
    sigaction(sig, &sa, nullptr);
}

}  // namespace

void ovmarkinitialsaved() {
    initialsaved = 1;
}

void ovmarklinkheld() {
    linkheld = 1;
}

void ovgivebackline() {
    linkheld = 0;
    restoreline();
}

void ovinstallsignals() {
    for (int sig : kEndSignals) install(sig, onend, SA_RESETHAND);
    install(SIGTSTP, onstop, SA_RESTART);
    install(SIGCONT, oncontinue, SA_RESTART);
    install(SIGPIPE, onpipe, SA_RESTART);
    for (std::size_t i = 0; i < std::size(kCrashSignals); ++i) {
        struct sigaction sa;
        std::memset(&sa, 0, sizeof sa);
        sigaction(kCrashSignals[i], nullptr, &crashprevious[i]);
        sa.sa_sigaction = oncrash;
        sigemptyset(&sa.sa_mask);
        // The alternate stack of a handler found there stays in use (a stack overflow).
        sa.sa_flags =
            SA_SIGINFO | SA_RESETHAND | SA_NODEFER | (crashprevious[i].sa_flags & SA_ONSTACK);
        sigaction(kCrashSignals[i], &sa, nullptr);
    }
}

void ovsetpending(const std::string& name) {
    pendingset = 0;
    pendinglong.clear();
    if (name.empty()) return;
    if (name.size() >= kPendingMax) {
        pendinglong = name;
        return;
    }
    std::memcpy(pendingname, name.c_str(), name.size() + 1);
    pendingset = 1;
}

void ovremovepending() {
    if (pendingset) unlink(pendingname);
    if (!pendinglong.empty()) unlink(pendinglong.c_str());
    ovsetpending("");
}
