// What the layers below the shell borrow from above them, one function pointer each: the
// variable store's lookup, through which the link reads its few switches (the store lends it
// when it is created), and the shell's dispatcher of ready-made words, through which the
// variable, filter and backup modules run the command lines they compose (the shell lends it
// when the program is loaded). So no lower layer includes a header of a layer above it.
#pragma once

#include <string>
#include <vector>

// Looks a variable up: its value, or null when there is no such variable.
using varlookup = const char* (*)(const std::string& name);

// Dispatches ready-made words as one command line (no splitting, no variable expansion) and
// returns the command's result code.
using wordsdispatcher = int (*)(const std::vector<std::string>& words);

// Installs the lookup behind linkvar; null takes it away again.
void setvarlookup(varlookup lookup);

// The value of variable `name` through the installed lookup: null when it is not set, and
// always null while no lookup is installed. The pointer is the store's: see findvar.
const char* linkvar(const std::string& name);

// Installs the dispatcher behind dispatchwords; null takes it away again.
void setwordsdispatcher(wordsdispatcher dispatch);

// Runs `words` through the installed dispatcher and returns its result; -3 (failed), with
// nothing run, while no dispatcher is installed.
int dispatchwords(const std::vector<std::string>& words);
