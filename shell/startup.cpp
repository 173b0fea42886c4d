// The program's outer control: mode flags, options, the start-up sequence, the one command of
// the command line or the prompt loop, and the way out through the link's shut-down.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "failure.h"
#include "fixedfile.h"
#include "lineedit.h"
#include "ovbackupexclude.h"
#include "ovfile.h"
#include "ovfilt.h"
#include "ovmain.h"
#include "words.h"

#ifdef ORVEL_REVISION_322
#define ORVEL_REVISION "3.22"
#else
#define ORVEL_REVISION "3.24"
#endif

int finish = 1;
int runtype = 0;
int linecmd = 0;
int running = 0;
int level = 0;
std::string lfname;

namespace {
const char kUsage[] =
    "Useage: orvel [-v|-nv] [-i|-b] [-p|-q] [-r] [-d devname] [cmds] [-var varable_name "
    "[variable_value]] [-log [logname]]\n";

// What the options decide for the link start-up.
struct LinkOptions {
    int restart = 0;
    std::string devname;  // empty: the default device
};

// The device when -d names none: $ORVEL_DEVICE when set and not empty, else empty (the link's
// own default).
std::string environmentdevice() {
    const char* name = std::getenv("ORVEL_DEVICE");
    return name ? name : "";
}

// Each option handler gets the arguments left (the option first) and returns how many it used.
using optionhandler = int (*)(int left, char** args, LinkOptions& opts);

// -var name [value]: set through setv, so a debug name also sets its switch. The value is
// taken only when it is there and does not look like the next option.
int optvar(int left, char** args, LinkOptions&) {
    if (left < 2) useage();
    bool hasvalue = left > 2 && args[2][0] != '-';
    char setv[] = "setv";
    char* setvargs[] = {setv, args[1], hasvalue ? args[2] : nullptr, nullptr};
    cmsetv(hasvalue ? 3 : 2, setvargs);
    return hasvalue ? 3 : 2;
}

// Reopens standard error on the log file, emptied. The log holds the transferred data, so a new
// one is readable by this user alone; the default name in /tmp is a fixed name (fixedfile.h),
// which a second run logging there at the same time is refused. False, with `why` set for a
// refused fixed name, when the log cannot be used.
bool openlog(const std::string& name, bool fixed, std::string& why) {
    UniqueFd fd = fixed ? openfixedfile(name, 0600, false, why)
                        : UniqueFd(open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600));
    if (!fd || (fixed && ftruncate(fd.get(), 0) != 0)) return false;
    std::fflush(stderr);
    if (dup2(fd.get(), STDERR_FILENO) < 0) return false;
    std::clearerr(stderr);
    return true;
}

// -log [logname]: standard error goes to the log file (emptied), traced at level 5.
int optlog(int left, char** args, LinkOptions&) {
    bool hasname = left > 1 && args[1][0] != '-';
    lfname = hasname ? args[1] : "/tmp/orvel.log";
    logfile = 1;
    std::string why;
    if (!openlog(lfname, !hasname, why)) {
        std::printf("ERROR - opening log file %s\n", lfname.c_str());
        if (!why.empty()) std::printf("ERROR - %s %s, not used\n", lfname.c_str(), why.c_str());
        std::exit(kExitLost);
    }
    std::printf("Logging to %s\n", lfname.c_str());
    debugcall = 5;
    return hasname ? 2 : 1;
}

int optdevice(int left, char** args, LinkOptions& opts) {
    if (left < 2) useage();
    opts.devname = args[1];
    return 2;
}

// The one-word options: each sets one flag and uses its own word.
int optrestart(int, char**, LinkOptions& opts) {
    opts.restart = 1;
    return 1;
}
int optnothing(int, char**, LinkOptions&) {
    return 1;
}
int setflag(int& flag, int value) {
    flag = value;
    return 1;
}
int optquit(int, char**, LinkOptions&) {
    return setflag(finish, 1);
}
int optpause(int, char**, LinkOptions&) {
    return setflag(finish, 2);
}
int optbatch(int, char**, LinkOptions&) {
    return setflag(runtype, 2);
}
int optinteractive(int, char**, LinkOptions&) {
    return setflag(runtype, 1);
}
int optnoversion(int, char**, LinkOptions&) {
    return setflag(dovsnchk, 0);
}
int optversion(int, char**, LinkOptions&) {
    return setflag(dovsnchk, 1);
}

// --help and --version answer on standard output and end the program before the device is
// opened, so they work without an organiser.
[[noreturn]] int opthelp(int, char**, LinkOptions&) {
    std::printf("%s", kUsage);
    std::printf(
        "Links to a handheld organiser over a serial line and runs the command given after the\n"
        "options (cmds) once, or a prompt when there is none.\n"
        "\n"
        "  -d devname         the serial device (default $ORVEL_DEVICE, else /dev/term/a)\n"
        "  -r                 re-attach to an organiser left active by pause\n"
        "  -v, -nv            ask the organiser its release (the default), or assume 2.3\n"
        "  -q, -p             after the command, leave as quit does (the default) or as pause\n"
        "  -var name [value]  set a variable before start-up\n"
        "  -log [logname]     trace to logname (default /tmp/orvel.log)\n"
        "  -i, -b, -t         accepted, no effect\n"
        "  --help             this text\n"
        "  --version          the program's revision\n"
        "\n"
        "At the prompt, help lists the commands and usage NAME explains one. Manual: man orvel\n");
    std::exit(0);
}
[[noreturn]] int optprintversion(int, char**, LinkOptions&) {
    std::printf("orvel " ORVEL_REVISION "\n");
    std::exit(0);
}

struct OptionRow {
    const char* name;
    optionhandler handler;
};

// Tested in this order.
const OptionRow kOptions[] = {
    {"-var", optvar},
    {"-log", optlog},
    {"-r", optrestart},
    {"-t", optnothing},
    {"-q", optquit},
    {"-p", optpause},
    {"-b", optbatch},
    {"-i", optinteractive},
    {"-d", optdevice},
    {"-nv", optnoversion},
    {"-v", optversion},
    {"--help", opthelp},
    {"--version", optprintversion},
};

const OptionRow* findoption(const char* word) {
    for (const OptionRow& r : kOptions)
        if (std::strcmp(r.name, word) == 0) return &r;
    return nullptr;
}

// Handles the options at the front of args; returns how many arguments they used. Stops at
// the first argument that does not begin with "-"; one that does but is no option ("-" too)
// prints the usage text and ends the program.
int parseoptions(int argc, char** argv, LinkOptions& opts) {
    int used = 0;
    while (used < argc && argv[used][0] == '-') {
        const OptionRow* row = findoption(argv[used]);
        if (!row) useage();
        used += row->handler(argc - used, argv + used, opts);
    }
    return used;
}

void printbanner() {
    std::printf("Tavlin program version %s, orvel program version, " ORVEL_REVISION ",\n",
                ovversion().c_str());
    std::printf(" type help for the commands, usage <command> for their arguments\n");
}

// One line from standard input, run or refused.
void promptline() {
    std::string line;
    switch (promptread(line)) {
        case LineRead::kEnd: {  // the end of input ends the run as pause does
            char pause[] = "pause";
            char* args[] = {pause, nullptr};
            cmdiscon(1, args);
            break;
        }
        case LineRead::kTooLong:
            std::printf("Error, line too long (more than 9999 characters), ignored\n");
            notefailure();
            break;
        case LineRead::kLine:
            if (!refusenul(line)) cmdintr(line);
            break;
    }
}
}  // namespace

[[noreturn]] void orvelmain(int argc, char** argv, char** envp) {
    calltrace(1, "CALL: Main\n");
    LinkOptions opts;
    opts.devname = environmentdevice();
    dovsnchk = 1;
    finish = 1;
    runtype = 0;
    logfile = 0;
    // 1. Create the base variable level: options may set variables from here on.
    initvars();
    // 2. Parse the options after the program name; the rest is the command-line command.
    int used = parseoptions(argc - 1, argv + 1, opts);
    int left = argc - 1 - used;
    char** rest = argv + 1 + used;
    // 3. Batch when a command is given, interactive otherwise, whatever -b or -i said. A failed
    //    command decides the exit status of a run that no one watches at a terminal.
    runtype = left > 0 ? 2 : 1;
    if (left > 0 || !isatty(STDIN_FILENO)) failuresdecidestatus();
    // 4. Open the line and bring the link up (re-attach under -r).
    ovinit(opts.restart, opts.devname);
    // 5. The empty filter and exclude lists.
    initfilters();
    initexclude();
    // 6. HOME from the environment, replacing one set by -var.
    loadvar("HOME", "HOME", envp);
    // 7. Under -nv the default release is assumed and the organiser is never asked.
    if (!dovsnchk) ovsetdefvsn();
    // 8. Start-up is complete.
    runtype = 1;
    // 9. The banner, which asks the organiser its release.
    printbanner();
    // 10. The release floor: an older organiser is disconnected and the program ends.
    if (ovvsnlt("3.7")) versiontolow("Orvel program", "3.7", 1);
    // 11. Process protection on ("po 1"), for organisers that know it.
    if (!ovvsnlt("3.24")) ovpo(1);
    // 12. The rc file, then the one command or the prompt loop; never returns.
    runovcom(left, rest);
}

[[noreturn]] void useage() {
    calltrace(1, "CALL: usage\n");
    std::fprintf(stderr, "%s", kUsage);
    std::exit(kExitUsage);
}

// The rc file runs before linecmd is set, so it never sees a prompt.
[[noreturn]] void runovcom(int argc, char** argv) {
    calltrace(1, "CALL: Runovcom\n");
    dodebugargs(argc, argv);
    runrc();
    if (argc > 0) {
        linecmd = 0;
        cmdrun(argc, argv);  // the command line's own words: no variable expansion
        cmdintr(finish == 1 ? "quit" : "pause");
    } else {
        linecmd = 1;
        cmdintrprt();
    }
    ovshutdown(0);
}

int cmdintrprt() {
    calltrace(1, "CALL: cmdintrprt\n");
    running = 1;
    do {
        promptline();
    } while (running);
    return 1;
}
