// Small text helpers that every layer shares and none owns: lower-casing organiser paths,
// reading whole lines of any length, the yes/no answer, and organiser text made safe to show on
// a terminal. They sit below everything that uses them; they neither talk to the serial line nor
// read variables.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

// Lower-cases every byte of `path` in place (tolower of the C locale); nothing else changes.
void lowerpath(char* path);
void lowerpath(std::string& path);

// Reads one line from `in` into `line`, however long, keeping its newline and any NUL bytes.
// False, with `line` empty, at end of input with nothing read; a last line without a newline is
// read as it is.
bool readwholeline(std::FILE* in, std::string& line);

// Reads one answer line from standard input (stdout is flushed first, so the question shows);
// 1 when it begins with "y" or "Y", 0 otherwise, at end of input and when `maxchars` is below 1.
// The whole line is consumed, so no part of a long answer is read later as a command.
int askyes(int maxchars = 9);

// Organiser text (a name, a path, a process) as it may be printed on standard output. When that
// is a terminal, every control byte (below 0x20, 0x7F, and the two-byte UTF-8 form of a C1
// control, C2 80 to C2 9F) is written as \xNN, so that no name can drive the terminal; other
// bytes stay. When standard output is not a terminal the text is returned exactly as it is.
std::string shown(std::string_view text);
// The same escaping whatever standard output is. Pure.
std::string escapecontrols(std::string_view text);
