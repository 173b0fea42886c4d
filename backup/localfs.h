// The workstation side of backup and restore, done with system calls so that no file name ever
// passes through a shell: creating a directory with its parents, and listing a directory the way
// `ls` lists it in the C locale. Knows nothing of the organiser or of the backup tree.
#pragma once

#include <string>
#include <vector>

// Creates `path` and every missing parent directory (mode 0777 less the umask), as "mkdir -p"
// does; directories that exist already are fine. Returns 0, or -1 with errno set when a
// component cannot be created or exists and is not a directory.
int makedirs(const std::string& path);

// Fills `names` with the entries of directory `path`, names beginning with "." left out, sorted
// bytewise. Returns 0, or -1 with errno set when the directory cannot be opened; `names` is then
// empty.
int listdirsorted(const std::string& path, std::vector<std::string>& names);
