// Bringing the link up (normal start and restart) and down: every way out of the program that
// involves the line ends here, which gives the device back the settings it had at the open.
#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "failure.h"
#include "linkio.h"
#include "ovlib.h"
#include "progress.h"
#include "tempfile.h"

namespace {

// Only settings actually read from the device are ever written back to it.
volatile sig_atomic_t initialsaved = 0;

// The receive file in progress. The signal handlers read it, so the name lives in a buffer
// allocated before any handler runs, guarded by `pendingset`.
constexpr std::size_t kPendingMax = 8192;
char pendingname[kPendingMax];
volatile sig_atomic_t pendingset = 0;
std::string pendinglong;  // a name too long for the buffer: removed on the normal paths only

void restoreline() {
    if (initialsaved && devid != -1) tcsetattr(devid, TCSANOW, &initial);
}

// Async-signal-safe: restores the line, removes the pending file, then lets the signal's
// default action end the process (the handler was reset by SA_RESETHAND).
void onsignal(int sig) {
    progressabort();
    restoreline();
    if (pendingset) unlink(pendingname);
    removetempfiles();
    raise(sig);
}

}  // namespace

void ovmarkinitialsaved() {
    initialsaved = 1;
}

void ovinstallsignals() {
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = onsignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESETHAND;
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &sa, nullptr);
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

void ovinit(int restart, const std::string& devname) {
    calltrace(3, "CALL: ovinit (restart = %d, devname = %s)\n", restart, devname.c_str());
    devid = 0;
    ovinitlink(devname);
    if (restart == 0)
        ovreply("XONLINE");
    else
        ovrestart();
    ovbinary();
}

void ovrestart() {
    calltrace(1, "CALL: ovrestart()\n");
    // A pseudo-terminal keeps the peer's last ready prompt across our close and reopen; read
    // now, it would look like a refusal of "ol" and the frame would go out twice.
    tcflush(devid, TCIFLUSH);
    ovputline1("ol", 0);
    ovreply("XONLINE");
    ovpath.clear();
    ovsp("m:");
}

void ovbinary() {
    calltrace(3, "CALL: ovbinary()\n");
    ovcommand("ia");
    if (ovquery("XYES")) ovtm();
}

void ovtm() {
    calltrace(3, "CALL: ovtm()\n");
    ovcommand("tm");
    ovreply("XOK");
}

void ovshutdown(int ret) {
    calltrace(3, "CALL ovshutdown (ret = %d)\n", ret);
    progressend();
    ovremovepending();
    removetempfiles();
    restoreline();
    ovclosedevice();
    // Output that could not be written makes an error of a run that went well otherwise.
    if ((std::fflush(stdout) != 0 || std::ferror(stdout)) && ret == 0) {
        std::fprintf(stderr, "ERROR, Cannot write to standard output, exiting\n");
        ret = 1;
    }
    std::exit(exitstatus(ret));
}

void overror(const char* str) {
    calltrace(3, "CALL: overror (str = %s)\n", str);
    std::fprintf(stderr, "%s\n", str);
    ovshutdown(6);
}

void ovlostcontact() {
    progressend();
    std::printf("ERROR, Lost contact with the orvel, exiting\n");
    ovshutdown(1);
}

int ovtrans() {
    calltrace(3, "CALL: ovtrans()\n");
    return transct;
}
