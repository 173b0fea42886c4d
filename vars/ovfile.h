// Command files (".ovcmd"), their search along the `path` variable, their line format, and the
// rc file. Finding and reading files only: running their lines is the shell's `run`/`source`.
#pragma once

#include <cstdio>
#include <string>

// Finds command file `ovcmd` (without its suffix) along `path` (":"-separated; may be null).
// Returns 1 and fills `res` with the path of the first readable candidate, or 0.
int ovcmdpath(const std::string& ovcmd, const char* path, std::string& res);
// 1 when the candidate can be opened for reading, else 0. It is opened without waiting, so a
// FIFO or a device never blocks here (1: it is there, but see openinput before reading it).
int ovcmdexists(const std::string& path);
// Sources the rc file ".ovrc.ovcmd" found in "." or in the directory named by `HOME`.
void runrc();

// The longest command-file line taken (its newline not counted).
inline constexpr std::size_t kMaxCmdLine = 9999;
enum class CmdLineRead { kLine, kNulStart, kEnd, kTooLong, kReadError, kNulInside };
// Reads the next line of a command file into `line`: without its newline (a last line without
// one keeps all its characters), cut at its first NUL byte. kNulStart for a line that begins
// with NUL and kNulInside for one that holds a NUL further on (both to be refused, since the NUL
// would cut the command short), kTooLong for a line of more than kMaxCmdLine characters (the
// rest of the file is not read), kEnd at end of file, kReadError when the read fails.
CmdLineRead readovcmdline(std::FILE* f, std::string& line);
