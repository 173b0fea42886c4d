// The levelled variable store: named text variables in a stack of levels, the program's
// configuration and the arguments of command files. Lookups see only the current (top) level.
// It owns every entry and level; it never talks to the link or runs commands, and lends the link
// only its lookup.
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
extern VarLevel* curlevel;      // the current (top) level; null until initvars

// Creates the store anew with one empty base level (whatever it held is released), and lends
// findvar to the link as its variable lookup (hooks.h).
void initvars();
// Opens a new top level that starts as a copy of the current one (in reverse order).
void upvarlevel();
// Adds every variable of the level below to the current level (addvar, so in reverse order).
void copyuplev();
// Empties the current level and drops it, back to the level below; the base level is only
// emptied.
void downvarlevel();
// Removes every variable of the current level; the level itself stays.
void clearvarlevel();
// Sets `name` to `value` in the current level, replacing an entry of that name; the entry goes
// to the front. Either text may be an existing entry's: both are copied first.
void addvar(const std::string& name, const std::string& value);
// The stored value, or null when the current level has no such variable. The pointer stays
// valid until that variable is replaced or removed or its level is dropped.
const char* findvar(const std::string& name);
// Removes `name` from the current level; a missing name changes nothing. Other levels are never
// touched.
void delvar(const std::string& name);
// Prints "Vars", every variable of the current level as "name = value", newest first, and "End".
void dumpvars();
// The first environment entry whose first strlen(name) characters equal `name`, or null.
const char* extractenv(const std::string& name, char** env);
// Sets variable `name` from the environment entry found for `var` (what follows its first "=");
// 1 when set, else 0 and nothing changes.
int loadvar(const std::string& var, const std::string& name, char** env);
