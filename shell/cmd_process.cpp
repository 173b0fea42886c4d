// Process commands: proclist, procprotect, prockill and shutdown. Each is gated on the
// organiser's release and asks before it turns protection off or kills anything.
#include <cstdio>
#include <cstring>

#include "failure.h"
#include "ovlib.h"
#include "ovmain.h"
#include "ovvar.h"
#include "owned.h"

namespace {

// True (after the non-fatal release message) when the organiser is older than `vsn`.
bool refusedbyrelease(char** argv, const char* vsn) {
    if (!ovvsnlt(vsn)) return false;
    versiontolow(argv[0], vsn, 0);
    return true;
}

// Reads the answer to a question just printed: true only for a line beginning with y or Y.
bool confirmed() {
    std::fflush(stdout);
    return askyes(9) == 1;
}

}  // namespace

// proclist [pattern [file]]: processes to the screen, or one per line into the file, which is
// closed (complete, or reported as not) before the command returns.
int cmproclist(int argc, char** argv) {
    calltrace(1, "CALL: cmproclist\n");
    dodebugargs(argc, argv);
    if (refusedbyrelease(argv, "3.24")) return kDone;
    if (argc < 2) return ovpl(nullptr, "*");
    if (argc < 3) return ovpl(nullptr, argv[1]);
    FilePtr out(std::fopen(argv[2], "we"));
    if (!out) {
        std::printf("ERROR: Cant open %s to write the process listing\n", argv[2]);
        notefailure();
        return kDone;
    }
    int rc = ovpl(out.get(), argv[1]);
    if (!closestream(out)) {
        std::printf("ERROR: Cant write to %s, the listing is incomplete\n", argv[2]);
        notefailure();
    }
    return rc;
}

// procprotect [on|off]: only the single word "off" turns protection off, after confirmation
// unless `procprotnocheck` is set.
int cmprocprot(int argc, char** argv) {
    calltrace(1, "CALL: cmprocprot\n");
    dodebugargs(argc, argv);
    if (refusedbyrelease(argv, "3.24")) return kDone;
    if (argc != 2 || std::strcmp(argv[1], "off") != 0) return ovpo(1);
    if (findvar("procprotnocheck") == nullptr) {
        std::printf("Are you sure you want to turn of process kill protection ?\n");
        if (!confirmed()) return kDone;
    }
    return ovpo(0);
}

// prockill pattern, after confirmation unless `prockillnocheck` is set.
int cmprockill(int argc, char** argv) {
    calltrace(1, "CALL: cmprockill\n");
    dodebugargs(argc, argv);
    if (refusedbyrelease(argv, "3.24")) return kDone;
    if (findvar("prockillnocheck") == nullptr) {
        std::printf(
            "Are you sure you want to kill processes with the pattern %s ?(Any unsaved work in "
            "the process WILL BE LOST !)\n",
            argv[1]);
        if (!confirmed()) return kDone;
    }
    return ovpk(argv[1]);
}

#ifndef ORVEL_REVISION_322
// shutdown pattern: asks the matching processes to close themselves; no confirmation.
int cmprocshut(int argc, char** argv) {
    calltrace(1, "CALL: cmprocshut\n");
    dodebugargs(argc, argv);
    if (refusedbyrelease(argv, "3.27")) return kDone;
    return ovps(argv[1]);
}
#endif
