// backup and ibackup (and the handler that also starts restores): the organiser tree is walked
// first, then every directory is created on the workstation and every file fetched with `get`.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "backuprules.h"
#include "backuprun.h"
#include "failure.h"
#include "hooks.h"
#include "localfs.h"
#include "localnames.h"
#include "ovbackup.h"
#include "ovlib.h"
#include "textutil.h"

namespace {

// Creates `target`, the workstation directory of `node` ("mkdir -p" done by system calls).
// Returns false when the user declined it under `backupask`, so that its subtree is left alone.
bool backupdirectory(BackupNode* node, const std::string& target) {
    const std::string name = shown(node->pname);
    if (debugbackup) std::printf("BACKUP: Making dir %s\n", name.c_str());
    const std::string command = "mkdir -p  " + target;
    if (debugbackup) std::printf("BACKUP: doing system(%s)\n", shown(command).c_str());
    if (varisset("backupnodo")) {
        std::printf("BACKUP: Would have done \"%s\"\n", shown(command).c_str());
        return true;
    }
    if (varisset("backupask")) {
        std::printf("BACKUP: Do you want to backup directory %s ? (y/n) ", name.c_str());
        if (!answeredyes()) {
            std::printf(
                "BACKUP: Warning, as you are not backing up directory %s none of its children "
                "will be backed up\n",
                name.c_str());
            return false;
        }
    }
    if (makedirs(target) != 0) {
        std::fprintf(stderr, "mkdir: cannot create directory %s: %s\n", target.c_str(),
                     std::strerror(errno));
        notefailure();
    }
    return true;
}

// Fetches one file to `target` with a `get` line, whose words keep names with blanks intact.
void backupfile(BackupNode* node, const std::string& target) {
    const std::string name = shown(node->pname);
    if (debugbackup) std::printf("BACKUP: Getting %s\n", name.c_str());
    const std::string line = "get " + node->pname + " " + target;
    if (debugbackup) std::printf("BACKUP: doing %s\n", shown(line).c_str());
    if (varisset("backupnodo")) {
        std::printf("BACKUP: Would have done \"%s\"\n", shown(line).c_str());
    } else if (varisset("backupask")) {
        std::printf("BACKUP: Do you want to backup file %s ? (y/n) ", name.c_str());
        if (answeredyes()) dispatchwords({"get", node->pname, target});
    } else {
        dispatchwords({"get", node->pname, target});
    }
    ++filecount;
}

void printstart(const std::string& typedroot, const std::string& backupdir, std::time_t start) {
    std::printf("BACKUP: Starting %sbackup of %s to %s\n", incremental ? "incremental " : "",
                typedroot.c_str(), backupdir.c_str());
    std::printf("BACKUP: %s\n", calendartext(start).c_str());
    std::printf("BACKUP: Stage 1, Building file list\n");
}

void printend(const std::string& orvelroot, const std::string& backupdir, std::time_t start) {
    std::time_t end = std::time(nullptr);
    std::printf("BACKUP: %s of %s to %s complete\n", incremental ? "Incremental backup" : "Backup",
                orvelroot.c_str(), backupdir.c_str());
    std::printf("BACKUP: %s\n", calendartext(end).c_str());
    std::printf("BACKUP: %d directories, %d files\n", dircount, filecount);
    std::printf("BACKUP: Time taken %d seconds\n", static_cast<int>(end - start));
}

}  // namespace

int cmbackup(int argc, char** argv) {
    calltrace(1, "CALL: cmbackup\n");
    dodebugargs(argc, argv);
    if (ovvsnlt("2.8")) {
        versiontolow(argv[0], "2.8", 0);
        return kRefused;
    }
    const std::string_view word = argv[0];
    if (word == "ibackup") {
        ovbackup(argv[1], argv[2], 1);
    } else if (word == "backup") {
        ovbackup(argv[1], argv[2], 0);
    } else if (word == "irestore") {
        ovrestore(argv[1], argv[2], 1);
    } else if (word == "restore") {
        ovrestore(argv[1], argv[2], 0);
    }
    return kDone;
}

void ovbackup(std::string orvelroot, const std::string& backupdir, int incr) {
    calltrace(3, "CALL: ovbackup (path = %s, backupdir = %s, incr = %d)\n", orvelroot.c_str(),
              backupdir.c_str(), incr);
    if (!varisset("backupnocheck")) {
        std::printf("BACKUP: Please ensure that all files on the orvel are closed\n");
        std::printf("BACKUP: Press return to continue\n");
        waitforreturn();
    }
    incremental = incr;
    filecount = dircount = failcount = 0;
    const std::time_t start = std::time(nullptr);
    const bool verbose = varisset("verbose");
    if (verbose) printstart(orvelroot, backupdir, start);
    orvelroot = trimorvelroot(orvelroot);
    lowerpath(orvelroot);
    initbackuplist(orvelroot);
    const bool hadfilter = suspendfilefilter();
    backuplist(backhead.get(), 1, backupdir, orvelroot);
    if (verbose) std::printf("BACKUP: Stage 2, Getting files\n");
    dobackup(backupdir, backhead.get(), orvelroot);
    closebackuplist(backhead);
    resumefilefilter(hadfilter);
    if (verbose) printend(orvelroot, backupdir, start);
    if (failcount > 0) {
        std::printf("BACKUP: %d skipped or failed, the backup is incomplete\n", failcount);
        notefailure();
    }
}

// Stage 2 for `node` and its subtree, in tree order. Skipped nodes are neither acted on nor
// counted; a declined directory is not counted either.
void dobackup(const std::string& backupdir, BackupNode* node, const std::string& orvelroot) {
    calltrace(3, "CALL: dobackup (path = %s, currnode->pname = %s, orvelpath= %s)\n",
              backupdir.c_str(), node->pname.c_str(), orvelroot.c_str());
    if (node->skip) return;
    const int before = failurecount();
    if (node->type == kNodeFile) {
        backupfile(node, backupdir);
        countiffailed(node, before);
        return;
    }
    const bool wanted = backupdirectory(node, backupdir);
    countiffailed(node, before);
    if (!wanted) return;
    for (BackupNode* child = node->child.get(); child != nullptr; child = child->next.get()) {
        // The walk took only members of this folder, so each child lands right inside it.
        dobackup(backupbuildpath(child->pname, backupdir, orvelfolder(child->pname)), child,
                 orvelroot);
    }
    ++dircount;
}

// Whole components are compared, as the organiser compares names, so that m:\docsx is not
// taken for a part of m:\docs.
std::string backupbuildpath(const std::string& path, const std::string& backupdir,
                            const std::string& orvelroot) {
    calltrace(3, "CALL backupbuildpath (path = %s, root = %s, target = OMITTED, purge = %s)\n",
              path.c_str(), backupdir.c_str(), orvelroot.c_str());
    const std::vector<std::string_view> parts = orvelcomponents(path),
                                        root = orvelcomponents(orvelroot);
    std::string target = backupdir;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i < root.size()) {
            if (!sameorvelname(parts[i], root[i])) return std::string();
            continue;
        }
        target += '/';
        for (char c : parts[i]) target += c == '$' ? 'S' : c;
    }
    calltrace(3, "EXIT: backupbuildpath (target = %s)\n", target.c_str());
    return target;
}

int backupmodified(const std::string& path, const std::string& backupdir,
                   const std::string& orvelroot) {
    calltrace(3, "CALL: backupmodified (ovname = %s, backupdir = %s, orvelpath= %s)\n",
              path.c_str(), backupdir.c_str(), orvelroot.c_str());
    if (ovsetpath(path) == kFailed) return 0;
    const long ovtime = ovgetmodtime();
    const std::string& target = backupdir;
    struct stat st;
    const int ret = stat(target.c_str(), &st);
    if (ret != 0) return 0;
    const long yaltime = static_cast<long>(st.st_mtime);
    if (debugbackup) std::printf("ret = %d yaltime = %ld ovtime = %ld\n", ret, yaltime, ovtime);
    return backupcopycurrent(ovtime, yaltime) ? 1 : 0;
}
