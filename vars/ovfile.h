// Command files (".ovcmd"), their search along the `path` variable, and the rc file.
// Finding files only: running their lines is the shell's `run`/`source` (cmrun).
#pragma once

#include <string>

// Finds command file `ovcmd` (without its suffix) along `path` (":"-separated; may be null).
// Returns 1 and fills `res` with the path of the first readable candidate, or 0.
int ovcmdpath(const std::string& ovcmd, const char* path, std::string& res);
// 1 when the candidate can be opened for reading, else 0.
int ovcmdexists(const std::string& path);
// Sources the rc file ".ovrc.ovcmd" found in "." or in the directory named by `HOME`.
void runrc();
