// The backup exclude list: paths that backup and restore leave out with everything below them.
// In memory only, newest first, each path at most once. Matching is exact, byte for byte.
#pragma once

#include <memory>
#include <string>

#include "owned.h"

struct ExcludeEntry {
    std::string path;
    std::unique_ptr<ExcludeEntry> next;  // the rest of the list, owned by this entry
    ~ExcludeEntry() { releasechain(next); }
};

extern std::unique_ptr<ExcludeEntry> exclude;  // the list, newest first

void initexclude();
int setupexclude(const std::string& path);
int newexclude(const std::string& path);
int installexclude(const std::string& path, ExcludeEntry* current);
int removeexclude(const std::string& path);
int printexclude();
int findexclude(const std::string& path);
int cmexclude(int argc, char** argv);
int cmexclprint(int argc, char** argv);
