// The command shell: start-up and the prompt loop, the dispatcher and its command table, and the
// command handlers. Handlers never write to the device themselves: they call the link
// operations of ovlib.h, each of which prints only its own documented messages.
#pragma once

#include <string>
#include <vector>

#include "hooks.h"
#include "ovlib.h"
#include "ovvar.h"
#include "textutil.h"

// ---- startup.cpp: process-wide mode flags, options, start-up, prompt loop ---------------------
extern int finish;          // after a command-line command: 1 quit, 2 pause
extern int runtype;         // 0 undecided, 1 interactive, 2 batch
extern int linecmd;         // 1 while the prompt loop prints its prompt
extern int running;         // 1 while the prompt loop is to go on
extern int level;           // command-expansion nesting depth, shown in the prompt
extern std::string lfname;  // the log file's name

// The whole program: options, link start-up, banner, rc file, then one command or the prompt.
[[noreturn]] void orvelmain(int argc, char** argv, char** envp);
[[noreturn]] void useage();
[[noreturn]] void runovcom(int argc, char** argv);
int cmdintrprt();

// ---- dispatch.cpp: expansion, dispatch, help -------------------------------------------------
using cmdhandler = int (*)(int argc, char** argv);

struct CommandEntry {
    const char* name;
    int maxargs;
    int minargs;
    cmdhandler handler;
    const char* usage;
    const char* help;
};

extern const CommandEntry cmds[];  // cmdtable.cpp
extern const int kCommandCount;    // 58 rows (57 in the revision 3.22 build)

// Trims, splits and expands a command line, then dispatches it. Returns the handler's result,
// -2 after an unknown variable or a refused line, -3 when the line has too many words.
int cmdintr(std::string line);
// Dispatches ready-made words (no splitting, no variable expansion): used for the command lines
// that the program composes itself around names that may hold blanks or brackets.
int cmdintrwords(const std::vector<std::string>& words);
int cmdrun(int argc, char** argv);
int cmhelp(int argc, char** argv);

// ---- cmd_remote.cpp: remote file commands -----------------------------------------------------
int cmlist(int argc, char** argv);
int cmrm(int argc, char** argv);
int cmmkdir(int argc, char** argv);
int cminfo(int argc, char** argv);
int cmsetwriteflag(int argc, char** argv);
int cmrcd(int argc, char** argv);
int cmrpwd(int argc, char** argv);
int cmlcd(int argc, char** argv);
int cmlpwd(int argc, char** argv);

// ---- cmd_transfer.cpp: get, put, foreach ------------------------------------------------------
int cmget(int argc, char** argv);
int cmput(int argc, char** argv);
int cmforeach(int argc, char** argv);

// ---- cmd_script.cpp: scripting and variable commands ------------------------------------------
int cmecho(int argc, char** argv);
int cmignore(int argc, char** argv);
int cmsetv(int argc, char** argv);
int cmunsetv(int argc, char** argv);
int cmifusetv(int argc, char** argv);
int cmgetenv(int argc, char** argv);
int cmdumpv(int argc, char** argv);
int cmsystem(int argc, char** argv);
int cmrun(int argc, char** argv);

// ---- cmd_link.cpp: link mode and statistics commands, pause and quit --------------------------
int cmspeed(int argc, char** argv);
int cmtmode(int argc, char** argv);
int cmfilechksum(int argc, char** argv);
int cmcs(int argc, char** argv);
int cmtrans(int argc, char** argv);
int cmtransreset(int argc, char** argv);
int cmftransinfo(int argc, char** argv);
int cmftransreset(int argc, char** argv);
int cmdiscon(int argc, char** argv);

// ---- cmd_process.cpp: organiser processes -----------------------------------------------------
int cmproclist(int argc, char** argv);
int cmprocprot(int argc, char** argv);
int cmprockill(int argc, char** argv);
#ifndef ORVEL_REVISION_322
int cmprocshut(int argc, char** argv);
#endif
