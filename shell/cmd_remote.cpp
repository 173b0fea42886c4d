// Remote file commands (list, rm, mkdir, info, setro/setrw, rcd, rpwd) and the two that work on
// the workstation's current directory (lcd, lpwd). Each sets the organiser path and calls one
// remote operation; a path that would not fit one frame fails before anything is sent.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string_view>

#include "failure.h"
#include "filecmds.h"
#include "fixedfile.h"
#include "ovmain.h"
#include "textutil.h"

std::string attwords(int mask) {
    static const struct {
        int bit;
        const char* word;
    } kWords[] = {{kAttDir, "DIRECTORY "}, {kAttText, "TEXT "},     {kAttFile, "FILE "},
                  {kAttHidden, "HIDDEN "}, {kAttSystem, "SYSTEM "}, {kAttVolume, "VOLUMEDIR "}};
    std::string words;
    for (const auto& w : kWords)
        if (mask & w.bit) words += w.word;
    return words;
}

FilePtr openlistfile(const std::string& name) {
    return fdstream(
        UniqueFd(open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644)),
        "w");
}

namespace {

// Handler prologue: the trace line and the argument dump.
void enter(const char* tracefmt, int argc, char** argv) {
    calltrace(1, "%s", tracefmt);
    dodebugargs(argc, argv);
}

// True (after the non-fatal message) when the organiser is older than `vsn`; nothing is sent.
bool refusedbelow(const char* name, const char* vsn) {
    if (!ovvsnlt(vsn)) return false;
    versiontolow(name, vsn, 0);
    return true;
}

// The part of `info` after the path is known to exist: size, time, and the printed lines.
void printinfo(const char* path, int rw, int atts) {
    long size = ovgetfsize();
    std::time_t modtime = static_cast<std::time_t>(ovgetmodtime());
    const char* when = std::ctime(&modtime);
    std::printf("Information on %s\n", shown(path).c_str());
    std::printf("Size %d\n", static_cast<int>(size));
    std::printf("Access is %s\n", rw == 1 ? "Read / Write" : "Read only");
    std::printf("Attributes are %s\n", attwords(atts).c_str());
    if (atts & kAttFile) std::printf("Last modification time is %s\n", when ? when : "?\n");
}

// `info` on a path the organiser calls bad: the -1/0 values of the queries mean nothing, so
// say plainly that the path is not there.
void printnopath(const char* path) {
    std::printf("Information on %s\n", shown(path).c_str());
    std::printf("ERROR: %s does not exist on the orvel\n", shown(path).c_str());
}

}  // namespace

// The names file of a wildcard get is written under its hold (fixedfile.h). A listing file that
// did not take every line fails the command: it must not pass for the whole listing.
int cmlist(int argc, char** argv) {
    enter("CALL: cmlist\n", argc, argv);
    NamesFileHold hold;
    FilePtr out;
    if (argc > 2) {
        if (argv[2] != std::string_view(kNamesFile))
            out = openlistfile(argv[2]);
        else if (hold.take())
            out = hold.rewrite();
        if (!out) {
            std::printf("%s, Bad file %s\n", argv[0], argv[2]);
            notefailure();
            return kFailed;
        }
    }
    int rc = ovsetpath(argv[1]);
    if (rc != kFailed) ovlp(out.get());
    if (argc > 2 && !closestream(out)) {
        std::printf("ERROR: Cant write to %s, the listing is incomplete\n", argv[2]);
        notefailure();
        hold.discard();
        return kFailed;
    }
    return rc == kFailed ? kFailed : kDone;
}

int cmrm(int argc, char** argv) {
    enter("CALL: cmrm\n", argc, argv);
    if (findvar("rmcheck")) {
        std::printf("rm %s (y/n)\n", shown(argv[1]).c_str());
        std::fflush(stdout);
        if (!askyes()) return kDone;
    }
    if (ovsetpath(argv[1]) == kFailed) return kFailed;
    ovrp();
    return kDone;
}

int cmmkdir(int argc, char** argv) {
    enter("CALL: cmmkdir\n", argc, argv);
    std::printf("Creating directory %s\n", shown(argv[1]).c_str());
    if (ovsetpath(argv[1]) == kFailed) return kFailed;
    ovmd();
    return kDone;
}

// The queries go in their fixed order (rw, ft, sz, ti), but a query that answers "XBADPATH"
// (-1 from rw or ft) ends the command there: the later ones could only say the same.
int cminfo(int argc, char** argv) {
    enter("CALL: cminfo\n", argc, argv);
    if (refusedbelow(argv[0], "2.8")) return kDone;
    if (ovsetpath(argv[1]) == kFailed) return kFailed;
    int rw = ovgetrw();
    int atts = rw == -1 ? -1 : ovgetatts();
    if (atts == -1) {
        printnopath(argv[1]);
        notefailure();
        return kDone;
    }
    printinfo(argv[1], rw, atts);
    return kDone;
}

int cmsetwriteflag(int argc, char** argv) {
    enter("CALL: cmsetwriteflag\n", argc, argv);
    if (refusedbelow(argv[0], "2.8")) return kDone;
    if (ovsetpath(argv[1]) == kFailed) return kFailed;
    if (std::strcmp(argv[0], "setro") == 0)
        ovsetro();
    else
        ovsetrw();
    return kDone;
}

int cmrcd(int argc, char** argv) {
    enter("CALL: cmrcd\n", argc, argv);
    if (refusedbelow(argv[0], "2.18")) return kDone;
    if (ovsetpath(argv[1]) == kFailed) return kFailed;
    if (ovrcd() != kDone) {
        std::printf("ERROR: in rcd to %s remote CWD is unchanged\n", shown(argv[1]).c_str());
        notefailure();
    }
    return kDone;
}

int cmrpwd(int argc, char** argv) {
    enter("CALL: cmrpwd\n", argc, argv);
    if (refusedbelow(argv[0], "2.19")) return kDone;
    std::string cwd;
    ovgetpwd(cwd);
    std::printf("CWD on orvel is %s\n", shown(cwd).c_str());
    return kDone;
}

int cmlcd(int argc, char** argv) {
    enter("CALL: cmlcd\n", argc, argv);
    if (chdir(argv[1]) != 0) {
        std::printf("ERROR: Problem in changing CWD to %s, CWD is unchanged\n", argv[1]);
        notefailure();
    }
    return kDone;
}

int cmlpwd(int argc, char** argv) {
    enter("CALL: cmlpwd\n", argc, argv);
    std::error_code ec;
    std::filesystem::path cwd = std::filesystem::current_path(ec);
    if (ec) {
        std::printf("ERROR: cant get pwd\n");
        notefailure();
    } else {
        std::printf("%s\n", cwd.c_str());
    }
    return kDone;
}
