// Small text helpers that every layer shares and none owns: lower-casing organiser paths,
// reading whole lines of any length, and the yes/no answer. They sit below everything that uses
// them; they neither talk to the serial line nor read variables.
#pragma once

#include <cstdio>
#include <string>

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
