// The levelled variable store: named text variables in a stack of levels, the program's
// configuration and the arguments of command files. Lookups see only the current (top) level.
// It owns every entry and level; it never talks to the link or runs commands.
#pragma once

#include <memory>
#include <string>

#include "owned.h"

struct VarEntry {
    std::string name;
    std::string value;
    std::unique_ptr<VarEntry> next;  // the rest of the level's list, owned by this entry
    ~VarEntry() { releasechain(next); }
};

// A level owns its entries; the store owns every level.
struct VarLevel {
    std::unique_ptr<VarEntry> entries;  // newest first
    VarLevel* down = nullptr;           // the level below; null for the base level
    VarLevel* up = nullptr;             // the level above; null for the top level
};

extern VarLevel* varstackbase;  // the base level, created at start-up, never released
extern VarLevel* curlevel;      // the current (top) level

void initvars();
void upvarlevel();
void copyuplev();
void downvarlevel();
void clearvarlevel();
void addvar(const std::string& name, const std::string& value);
// The stored value, or null when the current level has no such variable. The pointer stays
// valid until that variable is replaced or removed or its level is dropped.
const char* findvar(const std::string& name);
void delvar(const std::string& name);
void dumpvars();
// The first environment entry whose first strlen(name) characters equal `name`, or null.
const char* extractenv(const std::string& name, char** env);
// Sets variable `name` from the environment entry found for `var`; 1 when set, else 0.
int loadvar(const std::string& var, const std::string& name, char** env);
