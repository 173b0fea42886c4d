// The prompts, questions and filter suspension shared by backup and restore.
#include "backuprun.h"

#include <cstdio>

#include "ovvar.h"
#include "textutil.h"

bool varisset(const char* name) {
    return findvar(name) != nullptr;
}

void waitforreturn() {
    std::fflush(stdout);
    int c;
    do {
        c = std::getchar();
    } while (c != '\n' && c != EOF);
}

bool answeredyes() {
    std::fflush(stdout);
    return askyes(9) == 1;
}

std::string calendartext(std::time_t t) {
    char buf[64];
    if (ctime_r(&t, buf) == nullptr) return "\n";
    return buf;
}

bool suspendfilefilter() {
    if (!varisset("autofilefilter")) return false;
    delvar("autofilefilter");
    return true;
}

void resumefilefilter(bool wasset) {
    if (wasset) addvar("autofilefilter", "");
}
