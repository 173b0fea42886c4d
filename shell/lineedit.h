// The prompt of the interactive loop. When standard input and standard output are terminals
// (and the program was built with libedit), lines are read through an editor: editing keys,
// history kept in ~/.orvel_history, Ctrl-R search and Tab completion; Ctrl-C discards the line
// being typed, and Ctrl-Z stops the program with the terminal's own settings back and draws the
// line anew when it goes on. Everywhere else the prompt is printed and a plain line read, byte
// for byte as always. Nothing here runs a command.
#pragma once

#include <string>

#include "words.h"

// True when standard input and standard output are both terminals: a person types and reads.
bool interactiveterminal();

// Shows the prompt (when `linecmd` is set) and reads one line into `line`, newline kept: kLine,
// kTooLong (more than kMaxLineLen characters; `line` left empty) or kEnd (end of input). In the
// editor, Ctrl-C discards the line being typed and prompts again, and a line that the
// dispatcher will take (not blank, no word too long, not too many words) joins the history.
LineRead promptread(std::string& line);
