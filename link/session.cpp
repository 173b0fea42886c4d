// Bringing the link up (normal start and restart) and down: every way out of the program that
// involves the line ends here, which gives the device back the settings it had at the open.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "failure.h"
#include "linkio.h"
#include "ovlib.h"
#include "progress.h"
#include "tempfile.h"

namespace {

// How long a plain start waits for "XONLINE" before a user at a terminal is told what it waits
// for.
constexpr int kWaitNoticeMs = 2000;

// Messages kept whole on one line each, so that they can be found by their text.
const char kWaitingNotice[] =
    "Waiting for the orvel on %s: start tavlin there, or use -r if the last session was paused\n";
const char kRefusedTooOften[] =
    "ERROR, The orvel refused the same frame %d times in a row, the line is too noisy, exiting\n";
const char kDamagedTooOften[] =
    "ERROR, Got a damaged frame from the orvel %d times in a row, the line is too noisy, exiting\n";

const char* waitingdevice = "";

void noticewaiting() {
    std::fprintf(stderr, kWaitingNotice, waitingdevice);
    std::fflush(stderr);
}

// Waits for the organiser to announce itself. A user at a terminal is told, once, what a slow
// start waits for; scripts (standard error not a terminal) see nothing more than before.
void awaitonline(const std::string& devname) {
    if (isatty(STDERR_FILENO)) {
        waitingdevice = ovdevicepath(devname);
        ovnoticewait(kWaitNoticeMs, noticewaiting);
    }
    ovreply("XONLINE");
    ovnoticewait(0, nullptr);
}

}  // namespace

void ovinit(int restart, const std::string& devname) {
    calltrace(3, "CALL: ovinit (restart = %d, devname = %s)\n", restart, devname.c_str());
    devid = 0;
    ovinitlink(devname);
    if (restart == 0)
        awaitonline(devname);
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
    ovgivebackline();
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

void ovgiveupsend() {
    progressend();
    std::printf(kRefusedTooOften, kMaxRefusals);
    ovshutdown(1);
}

void ovgiveupreceive() {
    progressend();
    std::printf(kDamagedTooOften, kMaxRefusals);
    ovshutdown(1);
}

void ovcheckoutput() {
    if (!std::ferror(stdout)) return;
    progressend();
    std::fprintf(stderr, "ERROR, Cannot write to standard output, exiting\n");
    // The line is sound: the organiser's side is closed as a quit closes it, not left waiting.
    if (devid != -1) ovdc(1);
    ovshutdown(1);
}

int ovtrans() {
    calltrace(3, "CALL: ovtrans()\n");
    return transct;
}
