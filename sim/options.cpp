#include "options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "simresult.h"

namespace sim {

namespace {

const char kHelp[] =
    "Usage: tavlin-sim --root DIR [options] -- ORVEL [ARGS...]   (run mode)\n"
    "       tavlin-sim --root DIR [options]                      (serve mode)\n"
    "\n"
    "A simulated organiser running the link program. Drives a, b, c and m are the folders\n"
    "a/ b/ c/ m/ under DIR (created when missing).\n"
    "\n"
    "Run mode starts ORVEL with \"-d PTY\" inserted after its first word, serves it on a new\n"
    "pseudo-terminal, and exits with its exit status (128+N when killed by signal N).\n"
    "Serve mode prints the pseudo-terminal's path as the first line of standard output and\n"
    "serves until SIGTERM or SIGINT; it stays active when the workstation pauses (re-attach\n"
    "with orvel -r) and starts over after a disconnect.\n"
    "\n"
    "Options (VALUE may also be given as --option=VALUE):\n"
    "  --root DIR          the organiser's drives live here (required)\n"
    "  --link PATH         serve mode: keep a symbolic link to the pseudo-terminal at PATH\n"
    "                      (replaced if present, removed at exit)\n"
    "  --device PATH       serve an existing terminal device (raw 8N1, 9600 baud unless\n"
    "                      --baud says otherwise); announces itself every second until answered\n"
    "  --release R         what \"vn\" answers after its tag (default 3.24); \"none\" makes\n"
    "                      \"vn\" answer XBADCMD\n"
    "  --baud N            pace output and input like an N-baud 8N1 line (default unpaced)\n"
    "  --fault K=V[,K=V]   seeded line noise (repeatable):\n"
    "                        seed=N     random seed (default 1)\n"
    "                        out=F      fraction of sent frames corrupted\n"
    "                        in=F       fraction of intact received frames answered R\n"
    "                        ack=F      fraction of intact received frames answered N\n"
    "                        datain=F   fraction of sent data lines with a wrong line sum\n"
    "                        dataout=F  fraction of good received data lines answered XBAD\n"
    "                        sum=F      fraction of \"cs\" sums that are one too large\n"
    "                        hangup=N   close the line after the N-th frame either way\n"
    "  --stats FILE        keep counts of frames and injected faults in FILE (key value)\n"
    "  --trace FILE        log every byte both ways: \"Y \" from the workstation, \"T \" sent,\n"
    "                      \"# \" notes and injected faults\n"
    "  --procs LIST        the process table: names separated by commas; a leading ! marks a\n"
    "                      system process, ~ an interpreted one; TAVLIN is the link program\n"
    "                      (default !SYS$SHLL,!SYS$WSRV,!SYS$FSRV,TAVLIN,Agenda,Word,Sheet,Data)\n"
    "\n"
    "Test quirks:\n"
    "  --reply CMD=TEXT[;TEXT...]  answer command word CMD with exactly these frame texts\n"
    "                      (repeatable)\n"
    "  --listing PATH=ENTRY[;ENTRY...]  answer \"lp\" of organiser path PATH (any case, a\n"
    "                      trailing backslash ignored) with exactly these entries, whatever\n"
    "                      they name (repeatable)\n"
    "  --online TEXT       announce with TEXT instead of XONLINE\n"
    "  --ack TEXT          acknowledge intact frames with the line TEXT (default O)\n"
    "  --prompt TEXT       the ready prompt line (default >)\n"
    "  --junk N            send N lines \"#junk\" before each ready prompt\n"
    "  --pad-blank         send a leading 0 of the length and checksum fields (and of a data\n"
    "                      line's sum) as a blank\n"
    "  --mute-after N      after N frames either way answer nothing, keeping the line open\n"
    "  --help              this text\n";

bool to_long(const std::string& v, long* out) {
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(v.c_str(), &end, 10);
    if (v.empty() || *end != '\0' || n < 0 || errno != 0) return false;
    *out = n;
    return true;
}

std::vector<std::string> split(const std::string& s, char sep) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t end = s.find(sep, start);
        parts.push_back(s.substr(start, end - start));
        if (end == std::string::npos) return parts;
        start = end + 1;
    }
}

int bad(std::string* err, const std::string& what) {
    *err = what;
    return kFailed;
}

// Options that take a value. kDone, or kFailed with `err` set.
int take_value(const std::string& name, const std::string& v, Options* o, std::string* err) {
    long n = 0;
    if (name == "root")
        o->root = v;
    else if (name == "device")
        o->device = v;
    else if (name == "link")
        o->link = v;
    else if (name == "release") {
        o->release_none = v == "none";
        o->release = v;
    } else if (name == "baud") {
        if (!to_long(v, &n) || n == 0) return bad(err, "bad --baud value '" + v + "'");
        o->baud = n;
    } else if (name == "fault") {
        if (!parse_fault_plan(v, &o->faults, err)) return kFailed;
    } else if (name == "stats")
        o->stats_path = v;
    else if (name == "trace")
        o->trace_path = v;
    else if (name == "reply") {
        const size_t eq = v.find('=');
        if (eq == std::string::npos || eq == 0) return bad(err, "bad --reply value '" + v + "'");
        o->replies[v.substr(0, eq)] = split(v.substr(eq + 1), ';');
    } else if (name == "listing") {
        const size_t eq = v.find('=');
        if (eq == std::string::npos) return bad(err, "bad --listing value '" + v + "'");
        o->listings[v.substr(0, eq)] = split(v.substr(eq + 1), ';');
    } else if (name == "online")
        o->online = v;
    else if (name == "ack")
        o->ack = v;
    else if (name == "prompt")
        o->prompt = v;
    else if (name == "junk") {
        if (!to_long(v, &n) || n > 1000) return bad(err, "bad --junk value '" + v + "'");
        o->junk = static_cast<int>(n);
    } else if (name == "mute-after") {
        if (!to_long(v, &n)) return bad(err, "bad --mute-after value '" + v + "'");
        o->mute_after = n;
    } else if (name == "procs") {
        if (!parse_procs(v, &o->procs)) return bad(err, "bad --procs value '" + v + "'");
    } else {
        return bad(err, "unknown option --" + name);
    }
    return kDone;
}

bool takes_value(const std::string& name) {
    static const char* const kNames[] = {
        "root",  "device", "link",    "release", "baud",   "fault", "stats",      "trace",
        "reply", "online", "listing", "ack",     "prompt", "junk",  "mute-after", "procs"};
    for (const char* n : kNames) {
        if (name == n) return true;
    }
    return false;
}

}  // namespace

const char* help_text() {
    return kHelp;
}

int parse_options(int argc, char** argv, Options* opts, std::string* err) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--") {
            for (int j = i + 1; j < argc; ++j) opts->child.push_back(argv[j]);
            if (opts->child.empty()) return bad(err, "no program after --");
            break;
        }
        if (a.rfind("--", 0) != 0) return bad(err, "unexpected argument '" + a + "'");
        std::string name = a.substr(2), value;
        const size_t eq = name.find('=');
        const bool inline_value = eq != std::string::npos;
        if (inline_value) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        if (name == "help" || name == "pad-blank") {
            if (inline_value) return bad(err, "--" + name + " takes no value");
            (name == "help" ? opts->help : opts->pad_blank) = true;
            continue;
        }
        if (!takes_value(name)) return bad(err, "unknown option " + a);
        if (!inline_value) {
            if (i + 1 >= argc) return bad(err, "--" + name + " needs a value");
            value = argv[++i];
        }
        if (take_value(name, value, opts, err) != kDone) return kFailed;
    }
    if (!opts->help && opts->root.empty()) return bad(err, "--root DIR is required");
    if (!opts->device.empty() && !opts->child.empty()) {
        return bad(err, "--device serves an existing line; it cannot start a program");
    }
    return kDone;
}

}  // namespace sim
