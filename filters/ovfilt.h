// Suffix filters: command files run on a workstation file around a transfer, chosen by the
// file's suffix and the direction. Owns the filter list; runs filters only through `run` lines.
#pragma once

#include <memory>
#include <string>

#include "owned.h"

inline constexpr int kFilterIn = 1, kFilterOut = 2, kFilterRestore = 3;

struct FilterEntry {
    std::string suffix;  // as given, less one leading "."
    std::string ovcmd;
    int direction = 0;
    std::unique_ptr<FilterEntry> next;  // the rest of the list, owned by this entry
    ~FilterEntry() { releasechain(next); }
};

extern std::unique_ptr<FilterEntry> filters;  // the list, newest first

void initfilters();
int setupfilter(int filttype, const std::string& suffix, const std::string& ovcmd);
int removefilter(int filttype, const std::string& suffix);
int newfilter(int filttype, const std::string& suffix, const std::string& ovcmd);
int installfilter(int filttype, const std::string& suffix, const std::string& ovcmd,
                  FilterEntry* current);
const char* filtertype(int direction);
int printfilters();
// The ovcmd of the first filter with this direction and exactly this suffix, or null.
const char* locatefilter(int direction, const std::string& suffix);
void filefilt(int direction, const std::string& fname);
int cmfilter(int argc, char** argv);
int cmfilterprint(int argc, char** argv);
