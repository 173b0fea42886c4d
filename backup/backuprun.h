// What backup and restore share around their two stages: the opening prompt, the yes/no
// questions, the calendar lines, and suspending `autofilefilter` for the run. Reads standard
// input and the variable store only; never talks to the organiser.
#pragma once

#include <ctime>
#include <string>

// 1 when the variable `name` exists at the current level (its value is not looked at).
bool varisset(const char* name);

// Waits for return after the "Press return to continue" prompt: reads one whole line from
// standard input, so that its newline does not reach the next prompt. End of input ends the wait.
void waitforreturn();

// Flushes the question already printed and reads one answer line: true when it begins with y or
// Y, false otherwise and at end of input.
bool answeredyes();

// The `ctime` text of `t` (ending in its own newline).
std::string calendartext(std::time_t t);

// Removes `autofilefilter` from the current level; true when it was set.
bool suspendfilefilter();
// Sets `autofilefilter` again, with an empty value, when `wasset` is true.
void resumefilefilter(bool wasset);
