// Tab completion at the interactive prompt: which kind of word is being typed (a command name,
// a variable, a local or an organiser path) and the words that could finish it. Only the
// prompt's editor calls it, between two commands; organiser names come from remotenames.h.
#pragma once

#include <string>
#include <vector>

// What the arguments of one command are, by position: one letter each, 'O' an organiser path,
// 'L' a local path, 'V' a variable name, 'C' a command name whose own arguments follow it, '-'
// nothing to complete; a final '*' repeats the letter before it for every later argument.
struct ArgKinds {
    const char* name;
    const char* kinds;
};
extern const ArgKinds argkinds[];  // cmdtable.cpp, beside the command table
extern const int kArgKindsCount;

// One word that could finish the one being typed.
struct Candidate {
    std::string text;  // the whole word
    char end = 0;      // added after it when it is the only one: ' ', '/' or '\\' (a folder)
};

struct Completion {
    std::size_t start = 0;              // where the word being completed begins
    std::vector<Candidate> candidates;  // sorted by text, no two alike
    bool ignorecase = false;            // organiser names match whatever the case
};

// The candidates for the word that ends `before` (the line up to the cursor). Completing an
// organiser path may list the organiser folder in question (once; see remotenames.h).
Completion completeline(const std::string& before);

// What one Tab press does: the text that replaces the typed word (the one candidate and its
// end, or the candidates' longest common beginning); `list` when nothing can be added and the
// candidates are to be shown instead. With no candidate the replacement is the typed word.
struct TabEdit {
    std::string replacement;
    bool list = false;
};
TabEdit tabedit(const std::string& typed, const Completion& completion);

// The name to show for a candidate in a list: its last path component, with the folder mark.
std::string candidatename(const Candidate& candidate);
