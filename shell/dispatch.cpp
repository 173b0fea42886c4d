// The dispatcher: command lines to words, words to the first fitting row of the command table,
// and the help and usage commands that read the same table.
#include <cstdio>
#include <cstring>

#include "failure.h"
#include "lineedit.h"
#include "ovmain.h"
#include "words.h"

namespace {
// Deeper than this, a dispatch is a runaway recursion (no command nests so deep on its own:
// command files stop at 64): it is refused before it can exhaust the stack.
constexpr int kMaxLevel = 128;

// Whether the words of the command now running are ready-made (see readymadewords).
bool readymade = false;

// Raises the nesting depth for the life of one dispatch and lowers it on every way out, and
// marks the command's words as ready-made or typed for as long as it runs.
struct LevelGuard {
    explicit LevelGuard(bool ready) : outer(readymade) {
        ++level;
        readymade = ready;
    }
    ~LevelGuard() {
        --level;
        readymade = outer;
    }
    LevelGuard(const LevelGuard&) = delete;
    LevelGuard& operator=(const LevelGuard&) = delete;
    // False, after the message, when this dispatch is nested too deeply to run.
    bool allowed() const {
        if (level <= kMaxLevel) return true;
        std::printf("Error, commands nested too deeply (more than %d), not run\n", kMaxLevel);
        notefailure();
        return false;
    }
    const bool outer;
};

// Hands the words to cmdrun as a writable, null-terminated argument vector whose strings
// belong to `words` (handlers may change their arguments in place).
int runwords(std::vector<std::string>& words) {
    std::vector<char*> argv;
    argv.reserve(words.size() + 1);
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    return cmdrun(static_cast<int>(words.size()), argv.data());
}

std::string joinwords(const std::vector<std::string>& words) {
    std::string line;
    for (const std::string& w : words) line += (line.empty() ? "" : " ") + w;
    return line;
}

// The first row named `name`, whatever its argument bounds, or null.
const CommandEntry* findrow(const char* name) {
    for (int i = 0; i < kCommandCount; ++i)
        if (std::strcmp(cmds[i].name, name) == 0) return &cmds[i];
    return nullptr;
}

// Checks what every command wrote as it ends. Standard output that cannot take it ends the
// run, with the line restored: nothing the command printed may be lost unnoticed. A log that
// cannot be written fails the command loudly, and logging goes on.
void checkwrites() {
    if (logfile && std::ferror(stderr)) {
        std::clearerr(stderr);
        std::printf("ERROR - writing log file %s, the log is incomplete\n", lfname.c_str());
        notefailure();
    }
    std::fflush(stdout);  // a failed flush marks the stream, which ovcheckoutput reads
    ovcheckoutput();
}

// The variable, filter and backup modules run the command lines they compose through this
// dispatcher without knowing the shell. It is lent to them when the program is loaded, before
// main, so that it is in place for every caller of those modules.
struct LendDispatcher {
    LendDispatcher() { setwordsdispatcher(cmdintrwords); }
};
[[maybe_unused]] const LendDispatcher lenddispatcher;
}  // namespace

int cmdintr(std::string line) {
    calltrace(1, "CALL: cmdintr(%s)\n", line.c_str());
    trimtrailing(line);
    if (debugargs) std::printf("Command line = :%s:\n", line.c_str());
    LevelGuard depth(false);
    if (!depth.allowed()) return kFailed;
    std::vector<std::string> words;
    std::size_t badlen = 0;
    switch (splitwords(line, words, &badlen)) {
        case SplitResult::kTooManyWords:
            notefailure();
            return kFailed;
        case SplitResult::kWordTooLong:
            std::printf("Error, word too long (%zu characters, at most 254)\n", badlen);
            notefailure();
            return kFailed;
        case SplitResult::kOk:
            break;
    }
    std::string missing;
    if (!expandwords(words, findvar, missing)) {
        std::printf("No Such Variable %s\n", missing.c_str());
        notefailure();
        return kDone;
    }
    return runwords(words);
}

int cmdintrwords(const std::vector<std::string>& words) {
    std::string line = joinwords(words);
    calltrace(1, "CALL: cmdintrwords(%s)\n", line.c_str());
    if (debugargs) std::printf("Command line = :%s:\n", line.c_str());
    LevelGuard depth(true);
    if (!depth.allowed()) return kFailed;
    std::vector<std::string> copy = words.empty() ? std::vector<std::string>(1) : words;
    return runwords(copy);
}

bool refusenul(const std::string& line) {
    const std::size_t nul = line.find('\0');
    if (nul == std::string::npos) return false;
    if (nul == 0)
        std::printf("Error, line begins with a NUL byte, ignored\n");
    else
        std::printf("Error, line holds a NUL byte, ignored\n");
    notefailure();
    return true;
}

bool readymadewords() {
    return readymade;
}

namespace {
// Runs the first row that fits. An unknown command, or a known one with an argument count
// outside its bounds, answers kDone: a mistyped line in a command file does not stop the file.
// On a terminal a known command is followed by its usage line.
int runrow(int argc, char** argv) {
    for (int i = 0; i < kCommandCount; ++i) {
        const CommandEntry& row = cmds[i];
        if (std::strcmp(row.name, argv[0]) != 0) continue;
        if (argc - 1 < row.minargs || argc - 1 > row.maxargs) continue;
        int rc = row.handler(argc, argv);
        checkwrites();
        return rc;
    }
    std::printf("Error Cmd not known\n");
    const CommandEntry* known = findrow(argv[0]);
    if (known && interactiveterminal()) std::printf("Usage: %s %s\n", known->name, known->usage);
    notefailure();
    checkwrites();
    return kDone;
}
}  // namespace

// "!cmd" that is no row of the table runs as "! cmd".
int cmdrun(int argc, char** argv) {
    calltrace(1, "CALL: cmdrun\n");
    dodebugargs(argc, argv);
    if (debugargs) {
        std::printf("argc %d\n", argc);
        for (int i = 0; i < argc; ++i) std::printf("argv[%d] = %s\n", i, argv[i]);
    }
    if (argv[0][0] != '!' || argv[0][1] == '\0' || findrow(argv[0])) return runrow(argc, argv);
    char bang[] = "!";
    std::vector<char*> split{bang, argv[0] + 1};
    split.insert(split.end(), argv + 1, argv + argc);
    split.push_back(nullptr);
    return runrow(argc + 1, split.data());
}

int cmhelp(int argc, char** argv) {
    calltrace(1, "CALL: cmhelp\n");
    dodebugargs(argc, argv);
    if (argc < 2) {
        std::printf("%s, list of available commands is\n", argv[0]);
        for (int i = 0; i < kCommandCount; ++i) std::printf("%s\n", cmds[i].name);
        return kDone;
    }
    const CommandEntry* row = findrow(argv[1]);
    if (!row) {
        std::printf("%s: %s not found\n", argv[0], argv[1]);
        notefailure();
    } else if (std::strcmp(argv[0], "help") == 0) {
        std::printf("help for %s\n%s\n", argv[1], row->help);
    } else {
        std::printf("Usage: %s %s\n", argv[1], row->usage);
        std::printf("Argument count, Min %d, Max %d\n", row->minargs, row->maxargs);
    }
    return kDone;
}
