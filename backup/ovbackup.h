// Backup, restore and the recursive listing: an in-memory tree of paths (BackupNode), built by
// a walk of the organiser (backup, rlist) or of the workstation (restore), then acted on.
// Every copy goes through the dispatcher as get/put/mkdir/list words; no name reaches a shell.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "owned.h"

inline constexpr int kNodeUnknown = 3, kNodeFile = 1, kNodeDir = 2;

struct BackupNode {
    std::string pname;
    int type = kNodeUnknown;
    int skip = 0;
    std::unique_ptr<BackupNode> next;   // next sibling, owned by this node
    std::unique_ptr<BackupNode> child;  // first child, owned by this node
    ~BackupNode() {
        releasechain(child);
        releasechain(next);
    }
};

extern std::unique_ptr<BackupNode> backhead;
extern int incremental;
extern int dircount, filecount;

// tree.cpp
std::unique_ptr<BackupNode> backupnode(const std::string& path);
void initbackuplist(const std::string& path);
BackupNode* backupaddchild(BackupNode* parent, const std::string& path);
void closebackuplist(std::unique_ptr<BackupNode>& node);
void printbackuplist(BackupNode* node, FILE* out);
int backuppathtype(const std::string& path);
void backuplist(BackupNode* node, int useexclude, const std::string& backupdir,
                const std::string& orvelroot);
void ovrlist(std::string path, FILE* out);
int cmrlist(int argc, char** argv);

// backup.cpp
int cmbackup(int argc, char** argv);
void ovbackup(std::string orvelroot, const std::string& backupdir, int incr);
void dobackup(const std::string& backupdir, BackupNode* node, const std::string& orvelroot);
std::string backupbuildpath(const std::string& path, const std::string& backupdir,
                            const std::string& orvelroot);
int backupmodified(const std::string& path, const std::string& backupdir,
                   const std::string& orvelroot);

// restore.cpp
void ovrestore(std::string orvelroot, const std::string& restoredir, int incr);
void restorelist(BackupNode* node, int useexclude, const std::string& orvelroot,
                 const std::string& restoredir);
int restorepathtype(const std::string& path);
void dorestore(const std::string& orvelroot, BackupNode* node, const std::string& restoredir);
std::string restorebuildpath(const std::string& path, const std::string& orvelroot,
                             const std::string& restoredir);
int restoremodified(const std::string& path, const std::string& orvelroot,
                    const std::string& restoredir);
