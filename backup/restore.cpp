// restore and irestore: the workstation tree is walked first (by system calls, never a shell),
// then every directory is created on the organiser with `mkdir` and every file sent with `put`.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "backuprules.h"
#include "backuprun.h"
#include "failure.h"
#include "hooks.h"
#include "localfs.h"
#include "ovbackup.h"
#include "ovbackupexclude.h"
#include "ovlib.h"
#include "textutil.h"

namespace {

// The folders this restore has walked, by device and inode, so that none is walked twice (a
// bind mount can make a folder its own descendant).
std::set<std::pair<dev_t, ino_t>> walkedfolders;

// Adds the entries of workstation directory `node` as children, in sorted order (so they are
// visited in reverse), dot names left out, as a listing by `ls` would give them.
void listworkstationdir(BackupNode* node) {
    std::vector<std::string> names;
    if (listdirsorted(node->pname, names) != 0) {
        std::fprintf(stderr, "RESTORE: cannot list %s: %s\n", node->pname.c_str(),
                     std::strerror(errno));
        notefailure();
        return;
    }
    for (const std::string& name : names) {
        const std::string child = node->pname + "/" + name;
        if (debugbackup) std::printf("Now working on %s\n", child.c_str());
        backupaddchild(node, child);
    }
}

// Creates the organiser directory of `node` with a `mkdir` line. Returns false when the user
// declined it under `restoreask`, so that its subtree is left alone.
bool restoredirectory(BackupNode* node, const std::string& orvelroot,
                      const std::string& restoredir) {
    if (debugbackup) std::printf("RESTORE: Making dir %s\n", node->pname.c_str());
    const std::string target = restorebuildpath(node->pname, orvelroot, restoredir);
    const std::string line = "mkdir " + target;
    if (debugbackup) std::printf("RESTORE: doing cmdintr(%s)\n", line.c_str());
    if (varisset("backupnodo")) {
        std::printf("RESTORE: Would have done \"%s\"\n", line.c_str());
        return true;
    }
    if (varisset("restoreask")) {
        std::printf("RESTORE: Do you want to restore directory %s ? (y/n) ", node->pname.c_str());
        if (!answeredyes()) {
            std::printf(
                "RESTORE: Warning, as you are not restoring up directory %s none of its "
                "children will be backed up\n",
                node->pname.c_str());
            return false;
        }
    }
    dispatchwords({"mkdir", target});
    return true;
}

// Sends one file with a `put` line, whose words keep names with blanks intact.
void restorefile(BackupNode* node, const std::string& orvelroot, const std::string& restoredir) {
    if (debugbackup) std::printf("RESTORE: Putting %s\n", node->pname.c_str());
    const std::string target = restorebuildpath(node->pname, orvelroot, restoredir);
    const std::string line = "put " + target + " " + node->pname;
    if (debugbackup) std::printf("RESTORE: doing %s\n", line.c_str());
    if (varisset("backupnodo")) {
        std::printf("RESTORE: Would have done \"%s\"\n", line.c_str());
    } else if (varisset("restoreask")) {
        std::printf("RESTORE: Do you want to restore file %s ? (y/n) ", node->pname.c_str());
        if (answeredyes()) dispatchwords({"put", target, node->pname});
    } else {
        dispatchwords({"put", target, node->pname});
    }
    ++filecount;
}

// The restore folder as typed is the user's own choice, so a symbolic link there is followed.
int restoreroottype(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return kNodeUnknown;
    if (S_ISDIR(st.st_mode)) return kNodeDir;
    return S_ISREG(st.st_mode) ? kNodeFile : kNodeUnknown;
}

// True the first time this restore walks the folder of `node`; otherwise reported, and false.
bool firstvisit(const BackupNode* node) {
    struct stat st;
    if (stat(node->pname.c_str(), &st) != 0) return true;
    if (walkedfolders.insert({st.st_dev, st.st_ino}).second) return true;
    std::printf("RESTORE: %s is a folder already walked, skipped\n", shown(node->pname).c_str());
    notefailure();
    return false;
}

void printstart(const std::string& orvelroot, const std::string& restoredir, std::time_t start) {
    std::printf("RESTORE: Starting %srestore of %s to %s\n", incremental ? "incremental " : "",
                restoredir.c_str(), orvelroot.c_str());
    std::printf("RESTORE: %s\n", calendartext(start).c_str());
    std::printf("RESTORE: Stage 1, Building file list\n");
}

void printend(const std::string& orvelroot, const std::string& restoredir, std::time_t start) {
    std::time_t end = std::time(nullptr);
    std::printf("RESTORE: %s of %s to %s complete\n",
                incremental ? "Incremental restore" : "Restore", restoredir.c_str(),
                orvelroot.c_str());
    std::printf("RESTORE: %s\n", calendartext(end).c_str());
    std::printf("RESTORE: %d directories, %d files\n", dircount, filecount);
    std::printf("RESTORE: Time taken %d seconds\n", static_cast<int>(end - start));
}

}  // namespace

void ovrestore(std::string orvelroot, const std::string& restoredir, int incr) {
    calltrace(3, "CALL: ovrestore (orvelpath = %s, restoredir = %s, incr = %d)\n",
              orvelroot.c_str(), restoredir.c_str(), incr);
    if (!varisset("backupnocheck")) {
        std::printf("RESTORE: Please ensure that all files on the orvel are closed\n");
        std::printf("RESTORE: Press return to continue\n");
        waitforreturn();
    }
    incremental = incr;
    filecount = dircount = failcount = 0;
    const std::time_t start = std::time(nullptr);
    const bool verbose = varisset("verbose");
    if (verbose) printstart(orvelroot, restoredir, start);
    orvelroot = trimorvelroot(orvelroot);
    initbackuplist(restoredir);
    const bool hadfilter = suspendfilefilter();
    walkedfolders.clear();
    restorelist(backhead.get(), 1, orvelroot, restoredir);
    walkedfolders.clear();
    if (verbose) std::printf("RESTORE: Stage 2, Putting files\n");
    dorestore(orvelroot, backhead.get(), restoredir);
    closebackuplist(backhead);
    resumefilefilter(hadfilter);
    if (verbose) printend(orvelroot, restoredir, start);
    if (failcount > 0) {
        std::printf("RESTORE: %d skipped or failed, the restore is incomplete\n", failcount);
        notefailure();
    }
}

// Stage 1 on the workstation: types every node, lists directories, and in an incremental run
// marks the files whose organiser copy is newer.
void restorelist(BackupNode* node, int useexclude, const std::string& orvelroot,
                 const std::string& restoredir) {
    calltrace(3,
              "CALL: restorelist (currnode->pname = %s, exclude = %d, orvelpath = %s, "
              "restoredir = %s)\n",
              node->pname.c_str(), useexclude, orvelroot.c_str(), restoredir.c_str());
    if (useexclude) {
        node->skip = findexclude(node->pname);
        if (node->skip) return;
    }
    // Taken before the node is typed: a link reported there is this entry's failure.
    const int before = failurecount();
    node->type =
        node == backhead.get() ? restoreroottype(node->pname) : restorepathtype(node->pname);
    const bool walk = node->type == kNodeDir && firstvisit(node);
    if (walk) listworkstationdir(node);
    if (node->type == kNodeFile && incremental == 1)
        node->skip = restoremodified(node->pname, orvelroot, restoredir);
    countiffailed(node, before);
    if (!walk) return;
    for (BackupNode* child = node->child.get(); child != nullptr; child = child->next.get()) {
        restorelist(child, useexclude, orvelroot, restoredir);
    }
}

// lstat: a symbolic link found in the tree is reported and left alone, never followed, so that
// no link can lead the restore in a circle or to a file outside the tree.
int restorepathtype(const std::string& path) {
    calltrace(3, "CALL: restorepathtype(path = %s)\n", path.c_str());
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return kNodeUnknown;
    if (S_ISDIR(st.st_mode)) return kNodeDir;
    if (S_ISREG(st.st_mode)) return kNodeFile;
    if (S_ISLNK(st.st_mode)) {
        std::printf("RESTORE: %s is a symbolic link, skipped\n", shown(path).c_str());
        notefailure();
    }
    return kNodeUnknown;
}

// Stage 2 for `node` and its subtree, in tree order. Skipped nodes and nodes of type 3 are
// passed over; a declined directory is not counted.
void dorestore(const std::string& orvelroot, BackupNode* node, const std::string& restoredir) {
    calltrace(3, "CALL: dorestore (path = %s, currnode->pname = %s, restoredir = %s)\n",
              orvelroot.c_str(), node->pname.c_str(), restoredir.c_str());
    if (node->skip || node->type == kNodeUnknown) return;
    const int before = failurecount();
    if (node->type == kNodeFile) {
        restorefile(node, orvelroot, restoredir);
        countiffailed(node, before);
        return;
    }
    const bool wanted = restoredirectory(node, orvelroot, restoredir);
    countiffailed(node, before);
    if (!wanted) return;
    for (BackupNode* child = node->child.get(); child != nullptr; child = child->next.get()) {
        dorestore(orvelroot, child, restoredir);
    }
    ++dircount;
}

// The mapping undoes the backup's.
std::string restorebuildpath(const std::string& path, const std::string& orvelroot,
                             const std::string& restoredir) {
    calltrace(3, "CALL: restorebuildpath (path = %s, root = %s target = OMITTED, purge = %s )\n",
              path.c_str(), orvelroot.c_str(), restoredir.c_str());
    std::string rest = path.substr(commonprefixlength(path, restoredir));
    for (char& c : rest) {
        if (c == 'S') c = '$';
        if (c == '/') c = '\\';
    }
    std::string target = orvelroot + rest;
    calltrace(3, "EXIT: restorebuildpath (target = %s)\n", target.c_str());
    return target;
}

int restoremodified(const std::string& path, const std::string& orvelroot,
                    const std::string& restoredir) {
    calltrace(3, "CALL: restoremodified (yalname = %s, orveldir = %s, restdir = %s )\n",
              path.c_str(), orvelroot.c_str(), restoredir.c_str());
    const std::string target = restorebuildpath(path, orvelroot, restoredir);
    if (ovsetpath(target) == kFailed) return 0;
    if (!ovep()) return 0;
    const long ovtime = ovgetmodtime();
    struct stat st;
    const int ret = stat(path.c_str(), &st);
    const long yaltime = ret == 0 ? static_cast<long>(st.st_mtime) : 0;
    if (debugbackup) std::printf("ret = %d yaltime = %ld ovtime = %ld\n", ret, yaltime, ovtime);
    return restoreorvelnewer(ovtime, yaltime) ? 1 : 0;
}
