// The backup tree (BackupNode), the walk that builds it from the organiser one directory level
// at a time, and the recursive listing `rlist`.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <utility>

#include "backuprules.h"
#include "failure.h"
#include "hooks.h"
#include "localnames.h"
#include "ovbackup.h"
#include "ovbackupexclude.h"
#include "ovlib.h"
#include "ovvar.h"
#include "owned.h"
#include "tempfile.h"
#include "textutil.h"

std::unique_ptr<BackupNode> backhead;
int incremental = 0;
int dircount = 0, filecount = 0;
int failcount = 0;

namespace {

// One directory's listing at a time goes through a private temporary file of this name and six
// random characters (tempfile.h): the `list` command writes it, the walk reads it back and
// removes it. So two runs never share one, and no other program can reach it.
const char* const kBackupListStem = "orvelbackuplist";

// The directory path that the listing of `pname` names: the path and one backslash, unless the
// path already ends in one (so "m:\" is listed as "m:\", not "m:\\").
std::string listingpath(const std::string& pname) {
    if (!pname.empty() && pname.back() == '\\') return pname;
    return pname + "\\";
}

[[noreturn]] void listfilemissing() {
    std::printf("ERROR: Error in opening backup temporary file quiting\n");
    notefailure();
    ovdc();
}

// A stream that reads the listing back from its start, through the descriptor of the file
// made for it rather than its name.
FilePtr openlisting(const TempFile& listing) {
    UniqueFd fd(fcntl(listing.fd(), F_DUPFD_CLOEXEC, 0));
    if (!fd || lseek(fd.get(), 0, SEEK_SET) != 0) return nullptr;
    return fdstream(std::move(fd), "r");
}

// Adds one child per listing line, each the full organiser path of an entry, lower-cased. Lines
// are read whole, however long, so that no long name is cut into several entries. Each must name
// a member of the folder listed, or it is refused: so no name leads outside the tree or back into
// it. A folder not known by its full path (a root given relative to the organiser's current
// directory) is known by the folder that its first entry names. Returns how many names it
// refused, or -1 when the file could not be read to its end.
int readlisting(BackupNode* node, FILE* in) {
    std::string folder = trimorvelroot(node->pname);
    std::string entry, name;
    int refused = 0;
    while (readwholeline(in, entry)) {
        if (entry.back() == '\n') entry.pop_back();
        if (debugbackup) std::printf("Now working on %s\n", shown(entry).c_str());
        lowerpath(entry);
        if (!fullorvelfolder(folder) && fullorvelfolder(orvelfolder(entry)))
            folder = orvelfolder(entry);
        const NameCheck check = orvelmember(entry, folder, &name);
        if (check == NameCheck::kFits) {
            backupaddchild(node, entry);
        } else {
            refusename(entry, check, folder);
            ++refused;
        }
    }
    return std::ferror(in) ? -1 : refused;
}

// Lists directory `node` on the organiser into a listing file and adds its entries as children.
// A directory whose path cannot be sent is reported by the link and left out (skip). Returns
// how many listed names were refused.
int listdirectory(BackupNode* node) {
    const std::string dir = listingpath(node->pname);
    if (!ovlinefits("sp " + dir)) {
        node->skip = 1;
        return 0;
    }
    // A listing that cannot be made, written whole or read back ends the run as a missing one
    // does: a cut-off listing must never pass for all that the directory holds.
    TempFile listing;
    if (!listing.make(kBackupListStem)) listfilemissing();
    int listed = dispatchwords({"list", dir, listing.name()});
    FilePtr in = openlisting(listing);
    const int refused = in ? readlisting(node, in.get()) : -1;
    if (listed != kDone || refused < 0) listfilemissing();
    in.reset();
    if (listing.remove() != 0) {
        std::printf("ERROR: Error in removing backup temporary file\n");
        notefailure();
    }
    return refused;
}

// A hostile organiser can list a folder inside every folder for ever; no real tree is so deep.
constexpr int kMaxWalkDepth = 64;
int walkdepth = 0;  // how far below the root the node being walked lies

// Where a child of a node that lands at `backupdir` lands; nothing for a walk without a
// workstation side (rlist).
std::string childtarget(const std::string& backupdir, const BackupNode* child) {
    if (backupdir.empty()) return backupdir;
    return backupbuildpath(child->pname, backupdir, orvelfolder(child->pname));
}

// Types `node` (a path that cannot be sent is skipped), lists it when it is a directory (unless
// it lies as deep as the walk goes: then its contents are reported and left out), and in an
// incremental run marks an unchanged file. Returns how many listed names were refused.
int examinenode(BackupNode* node, const std::string& backupdir, const std::string& orvelroot) {
    int type = backuppathtype(node->pname);
    if (type == kFailed) {
        node->skip = 1;
        return 0;
    }
    node->type = type;
    if (type == kNodeDir && walkdepth >= kMaxWalkDepth) {
        std::printf(
            "Error, refused the contents of orvel folder %s: more than %d folders deep, skipped\n",
            shown(node->pname).c_str(), kMaxWalkDepth);
        notefailure();
    } else if (type == kNodeDir) {
        return listdirectory(node);
    } else if (incremental == 1) {
        node->skip = backupmodified(node->pname, backupdir, orvelroot);
    }
    return 0;
}

}  // namespace

std::unique_ptr<BackupNode> backupnode(const std::string& path) {
    calltrace(3, "CALL: backupentry (path = %s)\n", path.c_str());
    if (debugbackup) std::printf("BACKUP: adding %s\n", path.c_str());
    auto node = std::make_unique<BackupNode>();
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
    std::unique_ptr<BackupNode> child = backupnode(path);
    child->next = std::move(parent->child);
    parent->child = std::move(child);
    return parent->child.get();
}

// Each child is unlinked (its sibling link taken first) and freed with its subtree before the
// next, so only the depth of the tree is a recursion.
void closebackuplist(std::unique_ptr<BackupNode>& node) {
    calltrace(3, "CALL: closebackuplist (currnode->pname = %s)\n", node->pname.c_str());
    while (node->child) {
        std::unique_ptr<BackupNode> child = std::move(node->child);
        node->child = std::move(child->next);
        closebackuplist(child);
    }
    node.reset();
}

// A listing file gets the exact names; standard output gets them as shown().
void printbackuplist(BackupNode* node, FILE* out) {
    calltrace(3, "CALL: printbackuplist (currnode->pname = %s)\n", node->pname.c_str());
    if (out != nullptr)
        std::fprintf(out, "%s\n", node->pname.c_str());
    else
        std::printf("%s\n", shown(node->pname).c_str());
    for (BackupNode* child = node->child.get(); child != nullptr; child = child->next.get()) {
        printbackuplist(child, out);
    }
}

// A path the organiser does not know is a directory: ovgetatts gives -1, every bit set.
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
    // A refused name is an entry of its own, counted here; the folder counts only for a failure
    // of its own (each refusal reported exactly one).
    const int before = failurecount();
    const int refused = examinenode(node, backupdir, orvelroot);
    failcount += refused;
    countiffailed(node, before + refused);
    if (node->type != kNodeDir) return;
    ++walkdepth;
    for (BackupNode* child = node->child.get(); child != nullptr; child = child->next.get()) {
        backuplist(child, useexclude, childtarget(backupdir, child), orvelroot);
    }
    --walkdepth;
}

void countiffailed(BackupNode* node, int before) {
    if (failurecount() == before || node->counted) return;
    node->counted = true;
    ++failcount;
}

void ovrlist(std::string path, FILE* out) {
    calltrace(3, "CALL: ovrlist (path = %s)\n", path.c_str());
    if (findvar("verbose") != nullptr) {
        std::printf("Generating a recursive listing of %s\n", path.c_str());
    }
    incremental = 0;
    lowerpath(path);
    initbackuplist(path);
    backuplist(backhead.get(), 0, "", "");
    printbackuplist(backhead.get(), out);
    closebackuplist(backhead);
}

// The release gate's 0 stops a command file.
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
    FilePtr out(std::fopen(argv[2], "we"));
    if (!out) {
        std::printf("Error, cant open %s for output\n", argv[2]);
        notefailure();
        return kDone;
    }
    ovrlist(argv[1], out.get());
    if (!closestream(out)) {
        std::printf("ERROR: Cant write to %s, the listing is incomplete\n", argv[2]);
        notefailure();
    }
    return kDone;
}
