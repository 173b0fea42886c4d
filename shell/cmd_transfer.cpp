// get, put and foreach: one file each way between organiser and workstation, the wildcard get
// built from list and foreach, statistics, the sum check with its correction, and the suffix
// filters around the transfers. Composed command lines go out as ready-made words.
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string_view>

#include "failure.h"
#include "filecmds.h"
#include "fixedfile.h"
#include "localnames.h"
#include "ovfilt.h"
#include "ovmain.h"
#include "owned.h"
#include "words.h"

namespace {

// Time and block counters noted when a transfer starts, for the verbose statistics.
struct TransferClock {
    std::time_t start;
    int good;
    int bad;
};

void verbosestats(const TransferClock& clock, int good, int bad) {
    long elapsed = static_cast<long>(std::time(nullptr) - clock.start);
    if (elapsed < 1) elapsed = 1;
    int bytes = ovtrans();
    std::printf("Transfer time %d, bytes %d, speed %d (bytes / sec)\n", static_cast<int>(elapsed),
                bytes, transferspeed(bytes, elapsed));
    std::printf("transmission information good blocks %d, bad blocks %d\n", good - clock.good,
                bad - clock.bad);
}

// The words that repeat this transfer: command, organiser path and the local name if given.
std::vector<std::string> retrywords(const char* cmd, int argc, char** argv) {
    std::vector<std::string> words{cmd, argv[1]};
    if (argc > 2) words.emplace_back(argv[2]);
    return words;
}

// The folder a wildcard get fetches from, while its foreach runs. The gets that the foreach
// dispatches run at `getlevel` and must name members of `folder`. A pattern whose folder part is
// no full path (relative, or holding "*") takes the folder of the first name listed.
struct WildcardFolder {
    std::string folder;
    int getlevel = -1;  // -1: no wildcard get is running
};
WildcardFolder wildfolder;

// A get with a "*": list the pattern into the names file, then get every name in it. The names
// are ready-made words, so a "*" in one of them is a character, not another pattern. The file is
// held from the listing to the last get, so that another run's wildcard get waits for this one
// instead of rewriting the list that this one reads.
int wildget(int argc, char** argv) {
    if (argc > 2)
        std::printf("Sorry cannot use specific recieving names with wildcard get (yet)\n");
    NamesFileHold hold;
    if (!hold.take()) return kFailed;
    if (cmdintrwords({"list", argv[1], kNamesFile}) != kDone) return kFailed;
    const WildcardFolder outer = wildfolder;
    const std::string folder = orvelfolder(argv[1]);
    // This get runs at `level`; the foreach one deeper, and its gets one deeper again.
    wildfolder = {fullorvelfolder(folder) ? folder : std::string(), level + 2};
    cmdintrwords({"foreach", kNamesFile, "get"});
    wildfolder = outer;
    return kDone;
}

// A get without a local name writes the organiser file's own name, which must be a plain name;
// one listed for a wildcard get must also be in the folder listed. False after the refusal.
bool localnamefits(const std::string& path) {
    std::string folder = orvelfolder(path);
    if (wildfolder.getlevel == level && readymadewords()) {
        if (wildfolder.folder.empty() && fullorvelfolder(folder)) wildfolder.folder = folder;
        folder = wildfolder.folder;
    }
    std::string name;
    const NameCheck check = orvelmember(path, folder, &name);
    if (check == NameCheck::kFits) return true;
    refusename(path, check, folder);
    return false;
}

int singleget(int argc, char** argv) {
    if (findvar("dolower")) lowerpath(argv[1]);
    if (argc < 3 && !localnamefits(argv[1])) return kDone;
    bool verbose = findvar("verbose") != nullptr;
    if (verbose && argc > 2)
        std::printf("Getting %s to %s\n", shown(argv[1]).c_str(), shown(argv[2]).c_str());
    if (verbose && argc <= 2) std::printf("Getting one file %s\n", shown(argv[1]).c_str());
    if (ovsetpath(argv[1]) == kFailed) return kFailed;
    TransferClock clock{std::time(nullptr), recgood, recbad};
    int rc = ovrecfile(argc > 2 ? argv[2] : "");
    if (rc != kDone) {
        std::printf("File not transfered\n");
        notefailure();
        return kDone;
    }
    if (verbose)
        verbosestats(clock, recgood, recbad);
    else
        progresssummary();  // on a terminal only
    std::string local = argc > 2 ? std::string(argv[2]) : ovfname;
    chksumafter(retrywords("get", argc, argv), local);
    if (findvar("autofilefilter")) filefilt(kFilterIn, local);
    return kDone;
}

// The send itself, with its verbose lines and statistics; the sum check when it went well.
void sendandcheck(int argc, char** argv, const std::string& local) {
    bool verbose = findvar("verbose") != nullptr;
    if (verbose && argc > 2)
        std::printf("putting %s from %s\n", shown(argv[1]).c_str(), shown(argv[2]).c_str());
    if (verbose && argc <= 2) std::printf("putting one file %s\n", shown(argv[1]).c_str());
    TransferClock clock{std::time(nullptr), transgood, transbad};
    if (ovsendfile(argc > 2 ? argv[2] : "") != kDone) {
        notefailure();  // reported by the link, or refused by the organiser
        return;
    }
    if (verbose)
        verbosestats(clock, transgood, transbad);
    else
        progresssummary();  // on a terminal only
    chksumafter(retrywords("put", argc, argv), local);
}

}  // namespace

int transferspeed(int bytes, long elapsed) {
    return static_cast<int>(bytes / (elapsed < 1 ? 1 : elapsed));
}

std::vector<std::string> foreachwords(int argc, char** argv, const std::string& line) {
    std::vector<std::string> words(argv + 2, argv + argc);
    std::string name = line;
    if (!name.empty() && name.back() == '\n') name.pop_back();
    if (name.empty()) return words;
    words.push_back(isshellline(words) ? shellword(name) : name);
    return words;
}

// Only a path typed or written in a command file is a pattern: names that a listing gave come
// as ready-made words and are fetched as they are.
int cmget(int argc, char** argv) {
    calltrace(1, "CALL: cmget\n");
    dodebugargs(argc, argv);
    if (!readymadewords() && std::strchr(argv[1], '*')) return wildget(argc, argv);
    return singleget(argc, argv);
}

// The out filter may run organiser commands of its own, so the path is set again (nothing is
// sent when it is unchanged) before the send that acts on it.
int cmput(int argc, char** argv) {
    calltrace(1, "CALL: cmput\n");
    dodebugargs(argc, argv);
    if (findvar("dolower")) lowerpath(argv[1]);
    if (ovsetpath(argv[1]) == kFailed) return kFailed;
    ovgetfname();
    std::string local = argc > 2 ? std::string(argv[2]) : ovfname;
    bool filter = findvar("autofilefilter") != nullptr;
    if (filter) {
        filefilt(kFilterOut, local);
        if (ovsetpath(argv[1]) == kFailed) return kFailed;
    }
    sendandcheck(argc, argv, local);
    if (filter) filefilt(kFilterRestore, local);
    return kDone;
}

// Lines are read whole, however long; each one, less its newline, is the last word of a command.
// The names file of a wildcard get is held while it is read (fixedfile.h). A read error stops
// the loop with a message: what was read is not the whole list.
int cmforeach(int argc, char** argv) {
    calltrace(1, "CALL: cmforeach\n");
    dodebugargs(argc, argv);
    NamesFileHold hold;
    FilePtr names;
    if (argv[1] != std::string_view(kNamesFile))
        names.reset(std::fopen(argv[1], "re"));
    else if (hold.take())
        names = hold.reread();
    if (!names) {
        std::printf("%s error on opening names file\n", argv[0]);
        notefailure();
        return kFailed;
    }
    std::string line;
    while (readwholeline(names.get(), line)) {
        if (debugrun) std::printf("Foreach input :%s:\n", line.c_str());
        if (!refusenul(line)) cmdintrwords(foreachwords(argc, argv, line));
    }
    if (!std::ferror(names.get())) return kDone;
    std::printf("ERROR: Error in reading %s, the list is incomplete\n", argv[1]);
    notefailure();
    return kFailed;
}
