// Scripting and variable commands: echo, comments, setv/unsetv (with the debug switches),
// ifusetv, getenv and printv.
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "ovmain.h"

namespace {
// The on/off debug switch kept in step with a variable of this name, or null.
int* debugflag(const std::string& name) {
    if (name == "debugargs") return &debugargs;
    if (name == "debuglink") return &debuglink;
    if (name == "debugpath") return &debugpath;
    if (name == "debugrun") return &debugrun;
    if (name == "debugbackup") return &debugbackup;
    return nullptr;
}

// setv debugcall [level]: without a level, 1; a value that does not start with a number
// leaves the level as it was.
void setdebugcall(int argc, char** argv) {
    if (logfile)
        std::printf("Logging enabled, changing debug call will affect loging information\n");
    int newlevel = 0;
    if (argc < 3)
        debugcall = 1;
    else if (std::sscanf(argv[2], "%d", &newlevel) == 1)
        debugcall = newlevel;
    std::printf("Call debuging now at level %d\n", debugcall);
}

// The release is asked only once the link is up; before that (a -var option) the gate is left
// to the start-up floor of 3.7, which every release that passes it also clears here.
void gatechksum(const std::string& name) {
    if (name != "chksumwarn" && name != "chksumcorrect") return;
    if (version == "X" || !ovvsnlt("2.30")) return;
    versiontolow("setv chksumwarn / setv chksumcorrect", "2.30", 0);
    delvar(name);
}
}  // namespace

int cmecho(int argc, char** argv) {
    calltrace(1, "CALL: cmecho\n");
    dodebugargs(argc, argv);
    for (int i = 1; i < argc; ++i) std::printf(i + 1 < argc ? "%s " : "%s\n", argv[i]);
    return kDone;
}

int cmignore(int argc, char** argv) {
    calltrace(1, "CALL: cmignore\n");
    dodebugargs(argc, argv);
    return kDone;
}

int cmsetv(int argc, char** argv) {
    calltrace(1, "CALL: cmsetv\n");
    dodebugargs(argc, argv);
    std::string name = argv[1];
    addvar(name, argc > 2 ? argv[2] : "");
    gatechksum(name);
    if (int* flag = debugflag(name)) *flag = 1;
    if (name == "debugcall") setdebugcall(argc, argv);
    return kDone;
}

// The name is copied first: argv[1] may be the stored value that delvar releases.
int cmunsetv(int argc, char** argv) {
    calltrace(1, "CALL: cmunsetv\n");
    dodebugargs(argc, argv);
    std::string name = argv[1];
    delvar(name);
    if (int* flag = debugflag(name)) *flag = 0;
    if (name != "debugcall") return kDone;
    if (logfile)
        std::printf("Logging enabled, debugcall cannot be changed\n");
    else
        debugcall = 0;
    return kDone;
}

int cmifusetv(int argc, char** argv) {
    calltrace(1, "CALL: cmifusetv\n");
    dodebugargs(argc, argv);
    if (!findvar(argv[1])) addvar(argv[1], argv[2]);
    return kDone;
}

int cmgetenv(int argc, char** argv) {
    calltrace(1, "CALL: cmtgetenv\n");
    dodebugargs(argc, argv);
    const char* varname = argc > 2 ? argv[2] : argv[1];
    int found = loadvar(argv[1], varname, environ);
    if (!found && argc > 3) addvar(varname, argv[3]);
    return kDone;
}

int cmdumpv(int argc, char** argv) {
    calltrace(1, "CALL: cmdumpv\n");
    dodebugargs(argc, argv);
    dumpvars();
    return kDone;
}
