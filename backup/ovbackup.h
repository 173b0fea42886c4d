// Backup, restore and the recursive listing: an in-memory tree of paths (BackupNode), built by
// a walk of the organiser (backup, rlist) or of the workstation (restore), then acted on.
// Every copy goes through the dispatcher as get/put/mkdir/list words; no name reaches a shell.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "owned.h"

// Node types: not yet known (in a restore also: neither a file nor a directory), file, directory.
inline constexpr int kNodeUnknown = 3, kNodeFile = 1, kNodeDir = 2;

// One path of the tree, owned by its parent (the root by `backhead`).
struct BackupNode {
    std::string pname;  // the full path: organiser path, or workstation path in a restore
    int type = kNodeUnknown;
    int skip = 0;                       // non-zero: this node and all below it are left alone
    bool counted = false;               // already counted in failcount
    std::unique_ptr<BackupNode> next;   // next sibling, owned by this node
    std::unique_ptr<BackupNode> child;  // first child, owned by this node
    ~BackupNode() {
        releasechain(child);
        releasechain(next);
    }
};

extern std::unique_ptr<BackupNode> backhead;  // root of the current operation's tree, or null
extern int incremental;                       // 1 while an incremental backup or restore runs
extern int dircount, filecount;               // directories and files handled by the current run
// Entries of the current backup or restore that were skipped or failed, each counted once
// however many errors it reported, in either stage; a refused listed name is an entry too.
extern int failcount;

// ---- tree.cpp: the tree, the walk of the organiser, rlist -----------------------------------
// A new node for `path`: type unknown, no skip, no links ("BACKUP: adding" under debugbackup).
std::unique_ptr<BackupNode> backupnode(const std::string& path);
// Makes a new root node for `path` the tree (`backhead`); a tree left there is freed.
void initbackuplist(const std::string& path);
// Adds a node for `path` in front of the parent's children, so children end up in the reverse
// of the order added. Returns it; the parent owns it.
BackupNode* backupaddchild(BackupNode* parent, const std::string& path);
// Frees `node` and its subtree, each child's subtree before the next child; `node` ends null.
void closebackuplist(std::unique_ptr<BackupNode>& node);
// Writes each path of the subtree and a newline to `out` (standard output when null, the paths
// then as shown() makes them): the node, then each child's subtree in link order. Changes
// nothing.
void printbackuplist(BackupNode* node, FILE* out);
// Sets `path` as the operand path and asks its attributes: 2 for a directory (also for a path
// the organiser does not know), 1 for anything else; kFailed, with the link's message and
// nothing asked, when the path cannot be sent.
int backuppathtype(const std::string& path);
// Stage 1 of a backup, and the walk of rlist: from `node` down, leaves out excluded paths (when
// `useexclude`), types every node, lists every directory into its children through a `list`
// command and marks unchanged files in an incremental run. `backupdir` is where `node` lands on
// the workstation (empty for rlist), `orvelroot` the root of the whole walk (traced). A listed
// entry that is no member of its folder, or whose name may not become a local name, is refused
// with a message (localnames.h), as is every entry more than 64 folders below the root; a root
// given relative to the organiser's current directory is known by what its listing names. A
// path that cannot be sent is skipped. Each refused name counts once in failcount, and so does
// each entry whose examination reported an error of its own. Does not return when a listing
// cannot be made, written whole or read back (after "dc"; a failure).
void backuplist(BackupNode* node, int useexclude, const std::string& backupdir,
                const std::string& orvelroot);
// Counts `node` in failcount when anything reported an error since `before`, a failurecount()
// (failure.h) taken as the entry's step began, unless it was counted already (an entry that
// fails in both stages counts once).
void countiffailed(BackupNode* node, int before);
// The recursive listing of organiser `path` (lower-cased first) into `out` or on standard
// output, excludes not applied; the tree is freed before it returns.
void ovrlist(std::string path, FILE* out);
// rlist path [file]. -2; 0 (the release message) below release 2.8. A file that cannot be
// opened is reported and nothing is listed; one that cannot be written whole is reported.
int cmrlist(int argc, char** argv);

// ---- backup.cpp --------------------------------------------------------------------------------
// backup, ibackup, restore and irestore: ovbackup or ovrestore. -2; 0 (the release message)
// below release 2.8.
int cmbackup(int argc, char** argv);
// The whole backup of organiser tree `orvelroot` into workstation folder `backupdir` (full, or
// incremental when `incr` is 1): the close-your-files prompt unless `backupnocheck`, stage 1,
// stage 2, the verbose lines. `autofilefilter` is suspended for the run and set again after it.
// When entries were skipped or failed, a last line says how many and that the backup is
// incomplete (a failure of the command).
void ovbackup(std::string orvelroot, const std::string& backupdir, int incr);
// Stage 2 of a backup from `node`, which lands at `backupdir`, down, in tree order: creates each
// directory on the workstation and fetches each file with a `get` command, or prints what it
// would do under `backupnodo`, or asks first under `backupask` (a declined directory leaves its
// subtree). Each child lands inside its parent's folder. Skipped nodes are left. An entry whose
// copy reported an error counts in failcount (countiffailed). `orvelroot` is traced only.
void dobackup(const std::string& backupdir, BackupNode* node, const std::string& orvelroot);
// The workstation path of organiser path `path` when organiser folder `orvelroot` lands at
// `backupdir`: `backupdir`, then a "/" and the name of each component of `path` below the
// components of `orvelroot` (compared whole, ASCII case ignored), "$" turned into "S". Empty when
// `path` is neither `orvelroot` nor below it. Pure but for the trace.
std::string backupbuildpath(const std::string& path, const std::string& backupdir,
                            const std::string& orvelroot);
// 1 when `backupdir`, the workstation copy of organiser file `path`, is current (leave it), 0
// when the file must be fetched (also when there is no copy, the path cannot be sent or the
// organiser's time is absurd). Sets the operand path and asks "ti". `orvelroot` is traced only.
int backupmodified(const std::string& path, const std::string& backupdir,
                   const std::string& orvelroot);

// ---- restore.cpp -------------------------------------------------------------------------------
// The whole restore of workstation folder `restoredir` onto organiser tree `orvelroot` (full, or
// incremental when `incr` is 1), built as ovbackup is, with `restoreask` for the questions, and
// its own last line when entries were skipped or failed.
void ovrestore(std::string orvelroot, const std::string& restoredir, int incr);
// Stage 1 of a restore, on the workstation: from `node` down, leaves out excluded paths (when
// `useexclude`), types every node, lists every directory (dot names left out, sorted bytewise)
// into its children, and in an incremental run marks the files whose organiser copy is newer.
// Below the restore folder a symbolic link is reported and left alone, never followed, and a
// folder met again (the same device and inode) is reported and not walked twice. Each entry
// that reported an error (a link, a folder met again, one that cannot be listed) counts once
// in failcount.
void restorelist(BackupNode* node, int useexclude, const std::string& orvelroot,
                 const std::string& restoredir);
// 2 for a directory, 1 for a regular file, 3 for anything else or a path whose status cannot be
// read, by lstat: a symbolic link is 3, reported (and counted a failure). No link traffic.
int restorepathtype(const std::string& path);
// Stage 2 of a restore from `node` down, in tree order: creates each directory on the organiser
// with `mkdir` and sends each file with `put`, or prints or asks as dobackup does. Skipped nodes
// and those of type 3 are left; failures are counted as dobackup counts them.
void dorestore(const std::string& orvelroot, BackupNode* node, const std::string& restoredir);
// The organiser path of workstation path `path`: `orvelroot`, then what follows the part it
// shares with `restoredir`, with "/" turned into "\" and "S" into "$". Pure but for the trace.
std::string restorebuildpath(const std::string& path, const std::string& orvelroot,
                             const std::string& restoredir);
// 1 when the organiser's copy is more than ten minutes newer than the workstation file (leave
// it), 0 when the file must be sent (also when the organiser has no copy, the path cannot be
// sent or the organiser's time is absurd). Sets the operand path and asks "ep" and "ti".
int restoremodified(const std::string& path, const std::string& orvelroot,
                    const std::string& restoredir);
