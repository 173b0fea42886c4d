// The command shell: start-up and the prompt loop, the dispatcher and its command table, and the
// command handlers. Handlers never write to the device themselves: they call the link
// operations of ovlib.h, each of which prints only its own documented messages. The shell is the
// top layer: the modules below reach its dispatcher only through the hook it lends them.
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

// The whole program, in the order of the start-up: options, link start-up, banner, rc file,
// then one command or the prompt. Never returns; every way out that involves the link ends in
// ovshutdown.
[[noreturn]] void orvelmain(int argc, char** argv, char** envp);
// Never returns: writes the usage text to standard error and exits with status 2.
[[noreturn]] void useage();
// Never returns: runs the rc file, then `argv` as one command (its words as given, not expanded)
// followed by quit or pause as `finish` says, or, without words, the prompt loop; then
// ovshutdown(0), which makes it 3 when a command failed in a non-interactive run (failure.h).
[[noreturn]] void runovcom(int argc, char** argv);
// The prompt loop: reads lines from standard input and runs them until `running` is cleared
// (pause, quit, or the end of input, which acts as pause). Returns 1.
int cmdintrprt();

// ---- dispatch.cpp: expansion, dispatch, help -------------------------------------------------
// A command handler: `argv[0]` is the command word, and `argc` fits its row's bounds.
using cmdhandler = int (*)(int argc, char** argv);

// One row of the command table: the word, the bounds on the argument count (the command word
// not counted), the handler, and the texts of usage and help.
struct CommandEntry {
    const char* name;
    int maxargs;
    int minargs;
    cmdhandler handler;
    const char* usage;
    const char* help;
};

extern const CommandEntry cmds[];  // cmdtable.cpp: searched in order, the first fitting row wins
extern const int kCommandCount;    // 58 rows (57 in the revision 3.22 build)

// Trims, splits and expands a command line, then dispatches it. Returns the handler's result;
// -2 after an unknown variable ("No Such Variable"); -3 when the line has too many words or a
// word too long, or dispatches are nested more than 128 deep (with a message). `level` is one
// higher while the command runs.
int cmdintr(std::string line);
// Dispatches ready-made words (no splitting, no variable expansion): used for the command lines
// that the program composes itself around names that may hold blanks or brackets. Returns the
// handler's result (-3, with a message, when nested more than 128 deep); no words at all act as
// one empty word. The lower layers reach it through dispatchwords (hooks.h).
int cmdintrwords(const std::vector<std::string>& words);
// True while the command now running was dispatched by cmdintrwords: its words are names read
// from a listing, a names file or a tree walk, or composed around them, so they are data and
// never patterns. False for a typed line, a command-file line and the command-line command.
bool readymadewords();
// Refuses a line read from standard input or a names file that holds a NUL byte, which would cut
// the command short: prints "Error, line begins with a NUL byte, ignored" or "Error, line holds
// a NUL byte, ignored", notes the failure and returns true. False, nothing printed, otherwise.
bool refusenul(const std::string& line);
// Calls the handler of the first row whose word and argument bounds fit `argv` (which has at
// least the command word) and returns its result; prints "Error Cmd not known" (a failure) and
// returns -2 when none fits. Then checks the command's output: standard output that cannot be
// written ends the run (status 1, the line restored), a log that cannot is a failure.
int cmdrun(int argc, char** argv);
// help [command] and usage [command]: the list of commands, or one row's help or usage text
// ("%s: %s not found" for an unknown one). Returns -2.
int cmhelp(int argc, char** argv);

// ---- the command handlers, one file per group -------------------------------------------------
// Each returns -2 (kDone), also after the errors it reports, unless its line says otherwise; -3
// (kFailed) where said. A path that would not fit one frame is reported and gives kFailed,
// with nothing sent. Handlers may change their words in place.

// ---- cmd_remote.cpp: remote file commands -----------------------------------------------------
// list path [file]: the organiser's listing on standard output or into `file` (opened without
// following a link); kFailed when the file cannot be opened or the path not sent.
int cmlist(int argc, char** argv);
// rm path: removes the organiser file, after a yes under `rmcheck` (no: nothing is sent).
int cmrm(int argc, char** argv);
// mkdir path: creates the organiser directory; its refusal is silent.
int cmmkdir(int argc, char** argv);
// info path: size, access, attributes and time of an organiser path, or that it does not exist.
// Below release 2.8 only the release message.
int cminfo(int argc, char** argv);
// setro path / setrw path: the organiser path made read-only / writable (from release 2.8).
int cmsetwriteflag(int argc, char** argv);
// rcd path: the organiser's current directory (from release 2.18); a failure says the directory
// is unchanged.
int cmrcd(int argc, char** argv);
// rpwd: prints the organiser's current directory (from release 2.19).
int cmrpwd(int argc, char** argv);
// lcd path / lpwd: changes / prints the workstation's current directory; a failure is reported
// and changes nothing. No link traffic.
int cmlcd(int argc, char** argv);
int cmlpwd(int argc, char** argv);

// ---- cmd_transfer.cpp: get, put, foreach ------------------------------------------------------
// get path [file]: one organiser file to the workstation, or, with a "*" in the path, every file
// that `list` names (kFailed when that listing fails). A failed transfer prints "File not
// transfered" and leaves the local file as it was; then the sum check, and the in filter under
// `autofilefilter`.
int cmget(int argc, char** argv);
// put path [file]: one workstation file to the organiser, the sum check after it, and the out
// and restore filters around it under `autofilefilter`. A failed send is reported by the link.
int cmput(int argc, char** argv);
// foreach file cmd [args]: runs cmd args NAME for each line of `file`, the line (less its
// newline) as one word; kFailed when the file cannot be opened.
int cmforeach(int argc, char** argv);

// ---- cmd_script.cpp: scripting and variable commands ------------------------------------------
// echo words: prints them with single blanks between. # and REM: do nothing.
int cmecho(int argc, char** argv);
int cmignore(int argc, char** argv);
// setv name [value]: sets the variable (empty value without one) and a debug switch of that
// name; debugcall takes its level. chksumwarn/chksumcorrect are refused below release 2.30.
int cmsetv(int argc, char** argv);
// unsetv name: removes the variable and clears a debug switch of that name (debugcall stays
// while logging).
int cmunsetv(int argc, char** argv);
// ifusetv name value: sets the variable only when it is not set.
int cmifusetv(int argc, char** argv);
// getenv unixname [varname [default]]: the environment value into the variable, else `default`
// when given; otherwise nothing changes.
int cmgetenv(int argc, char** argv);
// printv (and vars): prints the current level's variables, newest first.
int cmdumpv(int argc, char** argv);
// ! words: runs the words, each followed by a blank, through the workstation's shell after
// flushing both output streams. kFailed when the command is longer than 9,999 characters (not
// run) or no shell could be started.
int cmsystem(int argc, char** argv);
// run file [args] / source file / which file: runs a command file found along `path` (run at a
// new variable level with arg0, arg1, ...), or names it. "not found" is -2; kFailed when it
// cannot be opened or command files are nested too deeply.
int cmrun(int argc, char** argv);

// ---- cmd_link.cpp: link mode and statistics commands, pause and quit --------------------------
// fast / display: the organiser's verbose display and data screen off / on.
int cmspeed(int argc, char** argv);
// binary: makes sure the organiser transfers in binary mode.
int cmtmode(int argc, char** argv);
// filesum [on|off]: per-line checksums in transfers on or off (from release 3.8), or, without a
// word, prints whether they are on.
int cmfilechksum(int argc, char** argv);
// sum path [yal|orvel]: prints the workstation's sum of a local file (yal, no link traffic) or
// the organiser's sum (from release 2.30).
int cmcs(int argc, char** argv);
// trans / transreset, ftrans / ftransreset: print / zero the frame counters and the data-line
// counters. No link traffic.
int cmtrans(int argc, char** argv);
int cmtransreset(int argc, char** argv);
int cmftransinfo(int argc, char** argv);
int cmftransreset(int argc, char** argv);
// quit: never returns (the organiser is disconnected, ovdc). pause: clears `running` and returns
// -4, leaving the organiser's program running.
int cmdiscon(int argc, char** argv);

// ---- cmd_process.cpp: organiser processes -----------------------------------------------------
// From release 3.24 (shutdown: 3.27); below it only the release message.
// proclist [pattern [file]]: the matching processes ("*" without a pattern) on standard output
// or into `file`, closed before the command returns.
int cmproclist(int argc, char** argv);
// procprotect [on|off]: process protection on, or off (after a yes unless `procprotnocheck`).
int cmprocprot(int argc, char** argv);
// prockill pattern: kills the matching processes, after a yes unless `prockillnocheck`.
int cmprockill(int argc, char** argv);
#ifndef ORVEL_REVISION_322
// shutdown pattern: asks the matching processes to close themselves; no question.
int cmprocshut(int argc, char** argv);
#endif
