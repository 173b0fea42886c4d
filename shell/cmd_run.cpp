// Running command files (`run`, `source`, `which`) and Unix commands (`!`).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "failure.h"
#include "inputfile.h"
#include "ovfile.h"
#include "ovmain.h"
#include "owned.h"

namespace {

// More command files open at once than this is a runaway recursion: the next one is refused
// before it can exhaust the stack or the descriptors.
constexpr int kMaxOpenCmdFiles = 64;
int opencmdfiles = 0;

// The longest command string `!` hands to the shell (its message names the number).
constexpr std::size_t kMaxSystemCommand = 9999;

// Opens a found command file for reading; null, after the message, when it cannot be opened or
// is no regular file (a folder has no lines, and a FIFO or a device would block).
FilePtr opencmdfile(const std::string& found, const char* name) {
    bool notregular = false;
    FilePtr f = fdstream(openinput(found, &notregular), "r");
    if (notregular) {
        std::printf("Error, %s is not a regular file, not read\n", found.c_str());
        notefailure();
    } else if (!f) {
        std::fprintf(stderr, "Error in opening %s\n", name);
        notefailure();
    }
    return f;
}

// Gives the new level arg0 (the name as typed), arg1, ... from run's arguments.
void setargvars(int argc, char** argv) {
    for (int i = 0; i + 1 < argc; ++i) addvar("arg" + std::to_string(i), argv[i + 1]);
}

// Runs the file's lines in order; stops at the first line whose result is not -2, at a line
// that is too long and at a read error.
void runlines(std::FILE* f, const std::string& found) {
    std::string line;
    for (;;) {
        switch (readovcmdline(f, line)) {
            case CmdLineRead::kEnd:
                return;
            case CmdLineRead::kTooLong:
                static_assert(kMaxCmdLine == 9999, "the message names the limit");
                std::printf("Error, line too long (more than 9999 characters) in %s, stopping\n",
                            found.c_str());
                notefailure();
                return;
            case CmdLineRead::kReadError:
                std::fprintf(stderr, "Error in reading %s, stopping\n", found.c_str());
                notefailure();
                return;
            case CmdLineRead::kNulStart:
                std::printf("Error, line begins with a NUL byte, ignored\n");
                notefailure();
                continue;
            case CmdLineRead::kNulInside:
                std::printf("Error, line holds a NUL byte, ignored\n");
                notefailure();
                continue;
            case CmdLineRead::kLine:
                break;
        }
        if (debugrun) std::printf("Cmd :%s:\n", line.c_str());
        if (cmdintr(line) != kDone) return;
    }
}

// `run` (with its own variable level and arg variables) or `source` of an open file.
void runcmdfile(std::FILE* f, const std::string& found, int argc, char** argv) {
    const bool newlevel = std::string(argv[0]) == "run";
    if (newlevel) {
        upvarlevel();
        setargvars(argc, argv);
    }
    ++opencmdfiles;
    runlines(f, found);
    --opencmdfiles;
    if (newlevel) downvarlevel();
}

}  // namespace

int cmrun(int argc, char** argv) {
    calltrace(1, "CALL: cmrun\n");
    dodebugargs(argc, argv);
    const char* pathvar = findvar("path");
    const std::string path = pathvar ? pathvar : ".";  // a copy: the file may change `path`
    std::string found;
    if (!ovcmdpath(argv[1], path.c_str(), found)) {
        std::printf("Error, %s not found\n", argv[1]);
        notefailure();
        return kDone;
    }
    const bool which = std::string(argv[0]) == "which";
    if (!which && opencmdfiles >= kMaxOpenCmdFiles) {
        std::printf("Error, command files nested too deeply, %s not run\n", argv[1]);
        notefailure();
        return kFailed;
    }
    FilePtr f = opencmdfile(found, argv[1]);
    if (!f) return kFailed;
    if (which) {
        std::printf("run %s would use: %s\n", argv[1], found.c_str());
        return kDone;
    }
    runcmdfile(f.get(), found, argc, argv);
    return kDone;
}

int cmsystem(int argc, char** argv) {
    calltrace(1, "CALL: cmsystem\n");
    dodebugargs(argc, argv);
    std::string command;
    for (int i = 1; i < argc; ++i) {
        command += argv[i];
        command += ' ';
    }
    if (command.size() > kMaxSystemCommand) {
        std::printf("Error, command too long for ! (%zu characters, at most 9999)\n",
                    command.size());
        notefailure();
        return kFailed;
    }
    // The command's own output must come after everything printed so far.
    std::fflush(stdout);
    std::fflush(stderr);
    // The command's own exit status is its business; only a shell that cannot start fails.
    if (std::system(command.c_str()) >= 0) return kDone;
    std::printf("Error, cannot start a shell for ! (%s)\n", std::strerror(errno));
    notefailure();
    return kFailed;
}
