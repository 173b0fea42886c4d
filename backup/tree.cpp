// The backup tree (BackupNode), the walk that builds it from the organiser one directory level
// at a time, and the recursive listing `rlist`.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "ovbackup.h"
#include "ovbackupexclude.h"
#include "ovlib.h"
#include "ovmain.h"
#include "ovvar.h"

BackupNode* backhead = nullptr;
int incremental = 0;
int dircount = 0, filecount = 0;

namespace {

// One directory's listing at a time goes through this fixed name; the `list` command writes it
// (refusing a symbolic link there) and the walk reads it back and removes it.
const char* const kBackupListFile = "/tmp/orvelbackuplist";

// The directory path that the listing of `pname` names: the path and one backslash, unless the
// path already ends in one (so "m:\" is listed as "m:\", not "m:\\").
std::string listingpath(const std::string& pname) {
    if (!pname.empty() && pname.back() == '\\') return pname;
    return pname + "\\";
}

[[noreturn]] void listfilemissing() {
    std::printf("ERROR: Error in opening backup temporary file quiting\n");
    ovdc();
}

// Opens the listing file for reading without following a symbolic link, so that whatever was
// planted at the fixed name is never read in place of the organiser's listing.
FILE* openlistfile() {
    int fd = open(kBackupListFile, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return nullptr;
    FILE* in = fdopen(fd, "r");
    if (in == nullptr) close(fd);
    return in;
}

// Adds one child per listing line, each the full organiser path of an entry, lower-cased. Lines
// are read whole, however long, so that no long name is cut into several entries.
void readlisting(BackupNode* node, FILE* in) {
    char* line = nullptr;
    std::size_t cap = 0;
    ssize_t len;
    while ((len = getline(&line, &cap, in)) >= 0) {
        std::string entry(line, static_cast<std::size_t>(len));
        if (!entry.empty() && entry.back() == '\n') entry.pop_back();
        if (debugbackup) std::printf("Now working on %s\n", entry.c_str());
        lowerpath(entry);
        backupaddchild(node, entry);
    }
    std::free(line);
}

// Lists directory `node` on the organiser into the listing file and adds its entries as
// children. A directory whose path cannot be sent is reported by the link and left out (skip).
void listdirectory(BackupNode* node) {
    const std::string dir = listingpath(node->pname);
    if (!ovlinefits("sp " + dir)) {
        node->skip = 1;
        return;
    }
    // A refused or failed `list` (for example a symbolic link at the fixed name) ends the run
    // just as a missing file does; a stale file from an earlier run is never read back.
    int listed = cmdintrwords({"list", dir, kBackupListFile});
    FILE* in = openlistfile();
    if (listed != kDone || in == nullptr) {
        if (in != nullptr) std::fclose(in);
        listfilemissing();
    }
    readlisting(node, in);
    std::fclose(in);
    if (unlink(kBackupListFile) != 0) {
        std::printf("ERROR: Error in removing backup temporary file\n");
    }
}

}  // namespace

BackupNode* backupnode(const std::string& path) {
    calltrace(3, "CALL: backupentry (path = %s)\n", path.c_str());
    if (debugbackup) std::printf("BACKUP: adding %s\n", path.c_str());
    auto* node = new BackupNode;
    node->pname = path;
    return node;
}

void initbackuplist(const std::string& path) {
    calltrace(3, "CALL: initbackuplist ()\n");
    backhead = backupnode(path);
}

// Links the new node in front of the parent's children: constant time, so children end up in
// the reverse of the order in which they were added.
BackupNode* backupaddchild(BackupNode* parent, const std::string& path) {
    calltrace(3, "CALL: backupaddchild (currnode->pname, nodepath = %s)\n", parent->pname.c_str());
    BackupNode* child = backupnode(path);
    child->next = parent->child;
    parent->child = child;
    return child;
}

void closebackuplist(BackupNode* node) {
    calltrace(3, "CALL: closebackuplist (currnode->pname = %s)\n", node->pname.c_str());
    BackupNode* child = node->child;
    while (child != nullptr) {
        BackupNode* next = child->next;
        closebackuplist(child);
        child = next;
    }
    delete node;
}

void printbackuplist(BackupNode* node, FILE* out) {
    calltrace(3, "CALL: printbackuplist (currnode->pname = %s)\n", node->pname.c_str());
    std::fprintf(out != nullptr ? out : stdout, "%s\n", node->pname.c_str());
    for (BackupNode* child = node->child; child != nullptr; child = child->next) {
        printbackuplist(child, out);
    }
}

// 2 for a directory (also for a path the organiser does not know: -1 has every bit set), 1 for
// anything else; kFailed, with the link's message, when the path cannot be sent at all.
int backuppathtype(const std::string& path) {
    if (ovsetpath(path) == kFailed) return kFailed;
    return (ovgetatts() & kAttDir) != 0 ? kNodeDir : kNodeFile;
}

void backuplist(BackupNode* node, int useexclude, const std::string& backupdir,
                const std::string& orvelroot) {
    calltrace(3,
              "CALL: backuplist (currnode->pname = %s, exclude = %d, backupdir = %s, orvelpath= "
              "%s)\n",
              node->pname.c_str(), useexclude, backupdir.c_str(), orvelroot.c_str());
    if (useexclude) {
        node->skip = findexclude(node->pname);
        if (node->skip) return;
    }
    int type = backuppathtype(node->pname);
    if (type == kFailed) {
        node->skip = 1;
        return;
    }
    node->type = type;
    if (type == kNodeDir) {
        listdirectory(node);
        for (BackupNode* child = node->child; child != nullptr; child = child->next) {
            backuplist(child, useexclude, backupdir, orvelroot);
        }
    } else if (incremental == 1) {
        node->skip = backupmodified(node->pname, backupdir, orvelroot);
    }
}

void ovrlist(std::string path, FILE* out) {
    calltrace(3, "CALL: ovrlist (path = %s)\n", path.c_str());
    if (findvar("verbose") != nullptr) {
        std::printf("Generating a recursive listing of %s\n", path.c_str());
    }
    incremental = 0;
    lowerpath(path);
    initbackuplist(path);
    backuplist(backhead, 0, "", "");
    printbackuplist(backhead, out);
    closebackuplist(backhead);
    backhead = nullptr;
}

// rlist path [file]. A refusal by the release gate returns 0, which stops a command file.
int cmrlist(int argc, char** argv) {
    calltrace(1, "CALL: cmrlist\n");
    dodebugargs(argc, argv);
    if (ovvsnlt("2.8")) {
        versiontolow(argv[0], "2.8", 0);
        return kRefused;
    }
    if (argc < 3) {
        ovrlist(argv[1], nullptr);
        return kDone;
    }
    FILE* out = std::fopen(argv[2], "we");
    if (out == nullptr) {
        std::printf("Error, cant open %s for output\n", argv[2]);
        return kDone;
    }
    ovrlist(argv[1], out);
    std::fclose(out);
    return kDone;
}
