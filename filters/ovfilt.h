// Suffix filters: command files run on a workstation file around a transfer, chosen by the
// file's suffix and the direction. Owns the filter list; runs filters only through `run` lines.
#pragma once

#include <memory>
#include <string>

#include "owned.h"

// Directions: "in" after a get, "out" before a put, "restore" after a put.
inline constexpr int kFilterIn = 1, kFilterOut = 2, kFilterRestore = 3;

struct FilterEntry {
    std::string suffix;                 // as given, less one leading "."
    std::string ovcmd;                  // the command file run
    int direction = 0;                  // kFilterIn, kFilterOut or kFilterRestore
    std::unique_ptr<FilterEntry> next;  // the rest of the list, owned by this entry
    ~FilterEntry() { releasechain(next); }
};

extern std::unique_ptr<FilterEntry> filters;  // the list, newest first; empty at start

// Empties the list.
void initfilters();
// Removes the first filter of this direction whose suffix equals `suffix` as typed (so one given
// with its "." removes nothing), then adds the new one in front. Returns -2.
int setupfilter(int filttype, const std::string& suffix, const std::string& ovcmd);
// Removes the first filter with this direction and exactly this suffix; none found changes
// nothing. Returns -2.
int removefilter(int filttype, const std::string& suffix);
// Adds a filter in front of the list, filled by installfilter. Returns -2.
int newfilter(int filttype, const std::string& suffix, const std::string& ovcmd);
// Fills `current`: the direction, the suffix less one leading ".", the command file. Returns -2.
int installfilter(int filttype, const std::string& suffix, const std::string& ovcmd,
                  FilterEntry* current);
// The printed word of a direction: "Input,  ", "Restore," or, for anything else, "Output, ".
const char* filtertype(int direction);
// Prints the list, newest first, or "No filters currently installed". Returns -2.
int printfilters();
// The ovcmd of the first filter with this direction and exactly this suffix, or null. The
// pointer stays valid until that filter is removed.
const char* locatefilter(int direction, const std::string& suffix);
// Runs the filter chosen by the suffix of `fname` (what follows its first ".") and `direction`
// as "run ovcmd fname" through the dispatcher, the name as one word; no suffix or no filter
// runs nothing (a HELP line under `helpfull` for no suffix). The list may change meanwhile.
void filefilt(int direction, const std::string& fname);
// addfilter in|out|restore suffix ovcmd (setupfilter) and delfilter in|out|restore suffix
// (removefilter); a direction word other than "in" and "restore" means out. Returns -2.
int cmfilter(int argc, char** argv);
// printfilters: printfilters. Returns -2.
int cmfilterprint(int argc, char** argv);
