// What Tab completes in each argument of a command at the prompt, beside the command table
// (cmdtable.cpp): the letters are explained in complete.h. Commands not listed here complete
// nothing after their name; a word beginning with "!" completes as the arguments of "!".
#include "complete.h"

const ArgKinds argkinds[] = {
    {"get", "OL"},      {"put", "OL"},      {"lcd", "L"},         {"rcd", "O"},
    {"sum", "O"},       {"foreach", "LC"},  {"list", "OL"},       {"rlist", "OL"},
    {"info", "O"},      {"setro", "O"},     {"setrw", "O"},       {"mkdir", "O"},
    {"rm", "O"},        {"run", "L*"},      {"source", "L"},      {"which", "L"},
    {"!", "L*"},        {"setv", "V"},      {"unsetv", "V"},      {"ifusetv", "V"},
    {"help", "C"},      {"usage", "C"},     {"addfilter", "--L"}, {"addexcl", "O"},
    {"delexcl", "O"},   {"backup", "OL"},   {"ibackup", "OL"},    {"restore", "OL"},
    {"irestore", "OL"}, {"proclist", "-L"},
};

const int kArgKindsCount = sizeof(argkinds) / sizeof(argkinds[0]);
