// The backup exclude list: paths that backup and restore leave out with everything below them.
// In memory only, newest first, each path at most once. Matching is exact, byte for byte.
#pragma once

#include <memory>
#include <string>

#include "owned.h"

struct ExcludeEntry {
    std::string path;                    // as typed, lower-cased by addexcl
    std::unique_ptr<ExcludeEntry> next;  // the rest of the list, owned by this entry
    ~ExcludeEntry() { releasechain(next); }
};

extern std::unique_ptr<ExcludeEntry> exclude;  // the list, newest first; empty at start

// The start-up's hook: the list is empty already, so it only writes its trace line.
void initexclude();
// Adds `path` through newexclude and returns -2; returns 0, changing nothing, when an entry with
// exactly this path exists.
int setupexclude(const std::string& path);
// Adds an entry in front of the list, filled by installexclude. Returns -2.
int newexclude(const std::string& path);
// Stores `path` in `current`. Returns -2.
int installexclude(const std::string& path, ExcludeEntry* current);
// Removes the first entry whose path equals `path`; none found changes nothing. Returns -2.
int removeexclude(const std::string& path);
// Prints "Current installed backup excludes" and each path, newest first, or "No backup excludes
// currently installed". Returns -2.
int printexclude();
// 1 when some entry equals `path` byte for byte, else 0. Changes nothing.
int findexclude(const std::string& path);
// addexcl path / delexcl path: the path, lower-cased in place, added (setupexclude) or removed
// (removeexclude). Prints nothing; returns -2.
int cmexclude(int argc, char** argv);
// printexcl: printexclude. Returns -2.
int cmexclprint(int argc, char** argv);
