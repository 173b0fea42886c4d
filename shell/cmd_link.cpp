// Link mode and statistics commands: the organiser's display (fast/display), binary mode,
// checksums inside transfers, file sums on either end, the block counters, pause and quit.
#include <cstdio>
#include <cstring>

#include "failure.h"
#include "ovmain.h"
#include "textutil.h"

namespace {
bool verboseset() {
    return findvar("verbose") != nullptr;
}

// sum PATH yal: the workstation's own sum, with no link traffic.
void yalchecksum(const char* path) {
    int v = yalsum(path);
    if (v == -2) {
        std::printf("Error, %s does not exist\n", path);
        notefailure();
    } else {
        std::printf("Checksum is %d\n", v);
    }
}

// sum PATH [orvel]: the organiser's sum. kFailed when the path cannot be sent.
int orvelchecksum(const char* cmd, const char* path) {
    if (ovvsnlt("2.30")) {
        versiontolow(cmd, "2.30", 0);
        return kDone;
    }
    if (ovsetpath(path) == kFailed) return kFailed;
    if (ovep()) {
        std::printf("Checksum is %ld\n", static_cast<long>(ovcs()));
    } else {
        std::printf("Error, %s does not exist\n", shown(path).c_str());
        notefailure();
    }
    return kDone;
}
}  // namespace

int cmspeed(int argc, char** argv) {
    calltrace(1, "CALL: cmspeed\n");
    dodebugargs(argc, argv);
    if (std::strcmp(argv[0], "fast") == 0) {
        ovverboseoff();
        ovscreenoff();
    } else {
        ovverboseon();
        ovscreenon();
    }
    return kDone;
}

int cmtmode(int argc, char** argv) {
    calltrace(1, "CALL: cmtmode\n");
    dodebugargs(argc, argv);
    ovbinary();
    return kDone;
}

int cmfilechksum(int argc, char** argv) {
    calltrace(1, "CALL: cmfilechksum\n");
    dodebugargs(argc, argv);
    if (argc < 2) {
        std::printf("File transfer checksumming is %s\n", filechksum ? "on" : "off");
        return kDone;
    }
    if (ovvsnlt("3.8")) {
        versiontolow(argv[0], "3.8", 0);
        return kDone;
    }
    if (std::strcmp(argv[1], "on") == 0) {
        ovfc(1);
        if (verboseset()) std::printf("Checksums within file transfers enabled\n");
    } else if (std::strcmp(argv[1], "off") == 0) {
        ovfc(0);
    } else {
        std::printf("Error, only on or off are valid arguments\n");
        notefailure();
    }
    return kDone;
}

int cmcs(int argc, char** argv) {
    calltrace(1, "CALL: cmcs\n");
    dodebugargs(argc, argv);
    if (argc > 2 && std::strcmp(argv[2], "yal") == 0) {
        yalchecksum(argv[1]);
        return kDone;
    }
    return orvelchecksum(argv[0], argv[1]);
}

int cmtrans(int argc, char** argv) {
    calltrace(1, "CALL: cmtrans\n");
    dodebugargs(argc, argv);
    std::printf("Transmited blocks, good = %d, bad = %d\n", transgood, transbad);
    std::printf("Recieved blocks, good = %d, bad = %d\n", recgood, recbad);
    return kDone;
}

int cmtransreset(int argc, char** argv) {
    calltrace(1, "CALL: cmtransreset\n");
    dodebugargs(argc, argv);
    transgood = transbad = recgood = recbad = 0;
    if (verboseset()) std::printf("Reset transmited and recieved good / bad block count\n");
    return kDone;
}

int cmftransinfo(int argc, char** argv) {
    calltrace(1, "CALL: cmftrans\n");
    dodebugargs(argc, argv);
    std::printf("File Transmited blocks, good = %d, bad = %d\n", ftransgood, ftransbad);
    std::printf("File Recieved blocks, good = %d, bad = %d\n", frecgood, frecbad);
    return kDone;
}

int cmftransreset(int argc, char** argv) {
    calltrace(1, "CALL: cmftransreset\n");
    dodebugargs(argc, argv);
    ftransgood = ftransbad = frecgood = frecbad = 0;
    if (verboseset())
        std::printf("Reset transmited and recieved good / bad block count for files\n");
    return kDone;
}

// quit disconnects the organiser and ends the program here; pause leaves the organiser's
// program running and lets the prompt loop or command file end (the shell then shuts down).
int cmdiscon(int argc, char** argv) {
    calltrace(1, "CALL: cmdiscon\n");
    dodebugargs(argc, argv);
    running = 0;
    if (std::strcmp(argv[0], "quit") == 0) {
        if (runtype != 2) std::printf("Disconnecting and closing down orvel\n");
        ovdc();
    }
    if (runtype != 2) std::printf("Disconnecting and leaving orvel active\n");
    return kPause;
}
