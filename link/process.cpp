// Organiser processes: listing, killing, shutting down, and the protection switch.
#include <cstdio>
#include <cstdlib>

#include "failure.h"
#include "hooks.h"
#include "ovlib.h"
#include "textutil.h"

namespace {

// The words of one kill or shut-down reply, and the messages they call for.
struct PatternWords {
    const char* verb;      // "pk" or "ps"
    const char* noproc;    // "KILLNOPROC" / "SDNOPROC"
    const char* errproc;   // "KILLERRPROC" / "SDERRPROC"
    const char* badparam;  // help line for "XBADPARAM"
    const char* nomatch;   // help line for no matching process
    const char* failed;    // help line for an error inside the organiser program
    const char* counted;   // confirmation with the count
};

const PatternWords kKill = {
    "pk ",
    "KILLNOPROC",
    "KILLERRPROC",
    "HELP: Error in killing processes using pattern %s, posibly the pattern is to long or was "
    "not supplied\n",
    "HELP: Error in killing processes, no processes found matching patterm %s\n",
    "HELP: Error in killing processes, tavlin error\n",
    "%d processes killed matching pattern %s\n",
};

#ifndef ORVEL_REVISION_322
const PatternWords kShut = {
    "ps ",
    "SDNOPROC",
    "SDERRPROC",
    "HELP: Error in shutting down processes using pattern %s, posibly the pattern is to long or "
    "was not supplied\n",
    "HELP: Error in shutting down processes, no processes found matching patterm %s\n",
    "HELP: Error in shutting down processes, tavlin error\n",
    "%d processes shutdown matching pattern %s\n",
};
#endif

// Sends "pk"/"ps" with the pattern and reports the one reply as the words say.
int patterncommand(const PatternWords& w, const std::string& pattern) {
    const std::string line = w.verb + pattern;
    if (!ovlinefits(line)) return kFailed;
    ovcommand(line);
    std::string reply;
    ovresponse(reply);
    const bool help = linkvar("helpfull") != nullptr;
    if (reply == "XBADPARAM") {
        if (help) std::printf(w.badparam, pattern.c_str());
        notefailure();
    } else if (reply == w.noproc) {
        if (help) std::printf(w.nomatch, pattern.c_str());  // nothing to do is no failure
    } else if (reply == w.errproc) {
        if (help) std::printf("%s", w.failed);
        notefailure();
    } else if (linkvar("verbose")) {
        int count = reply.empty() ? 0 : std::atoi(reply.c_str() + 1);
        std::printf(w.counted, count, pattern.c_str());
    }
    return kDone;
}

}  // namespace

int ovpo(int mode) {
    calltrace(3, "CALL:ovpo(mode = %d)\n", mode);
    if (mode == 1) {
        ovcommand("po 1");
        ovreply("XON");
    } else {
        ovcommand("po 0");
        ovreply("XOFF");
    }
    return kDone;
}

int ovpl(FILE* out, const std::string& pattern) {
    calltrace(3, "CALL: ovpl(OMITED FD, pattern = %s)\n", pattern.c_str());
    const std::string line = "pl " + pattern;
    if (!ovlinefits(line)) return kFailed;
    ovcommand(line);
    if (ovquery("XBADPARAM")) {
        if (linkvar("helpfull"))
            std::printf(
                "HELP: Error in listing processes using pattern %s, posibly the pattern is to "
                "long\n",
                pattern.c_str());
        notefailure();
        return kDone;
    }
    for (;;) {
        std::string entry;
        ovresponse(entry);
        if (entry == "XENDLIST") return kDone;
        if (out)
            std::fprintf(out, "%s\n", entry.c_str());
        else
            std::printf("Process :%s\n", shown(entry).c_str());
    }
}

int ovpk(const std::string& pattern) {
    calltrace(3, "CALL: ovpk( pattern = %s)\n", pattern.c_str());
    return patterncommand(kKill, pattern);
}

#ifndef ORVEL_REVISION_322
int ovps(const std::string& pattern) {
    calltrace(3, "CALL: ovps( pattern = %s)\n", pattern.c_str());
    return patterncommand(kShut, pattern);
}
#endif
