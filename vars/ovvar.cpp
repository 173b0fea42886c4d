// The levelled variable store.
#include "ovvar.h"

#include <cstdio>
#include <cstring>

#include "hooks.h"
#include "trace.h"

VarLevel* varstackbase = nullptr;
VarLevel* curlevel = nullptr;

namespace {
// Releases every entry of `lev`, leaving its list empty.
void freeentries(VarLevel* lev) {
    VarEntry* e = lev->entries;
    while (e) {
        VarEntry* next = e->next;
        delete e;
        e = next;
    }
    lev->entries = nullptr;
}

// Releases a whole stack from its base up (used when the store is created again).
void freestack(VarLevel* base) {
    while (base) {
        VarLevel* up = base->up;
        freeentries(base);
        delete base;
        base = up;
    }
}
}  // namespace

void initvars() {
    calltrace(2, "CALL: initvars()\n");
    freestack(varstackbase);
    varstackbase = new VarLevel;
    curlevel = varstackbase;
    setvarlookup(findvar);  // the link reads its switches from here on
}

void upvarlevel() {
    calltrace(2, "CALL: upvarlevel()\n");
    VarLevel* lev = new VarLevel;
    lev->down = curlevel;
    curlevel->up = lev;
    curlevel = lev;
    copyuplev();
}

// Each copy goes to the front, so the new level lists the variables in reverse order.
void copyuplev() {
    calltrace(2, "CALL: copyuplev ()\n");
    for (VarEntry* e = curlevel->down ? curlevel->down->entries : nullptr; e; e = e->next)
        addvar(e->name, e->value);
}

void downvarlevel() {
    calltrace(2, "CALL: downvarlevel () \n");
    clearvarlevel();
    if (curlevel == varstackbase) return;
    VarLevel* old = curlevel;
    curlevel = old->down;
    curlevel->up = nullptr;
    delete old;
}

void clearvarlevel() {
    calltrace(2, "CALL: clearvarlevel () \n");
    freeentries(curlevel);
}

// Name and value are copied before the old entry goes, since either may be that entry's text
// (setv x [x]).
void addvar(const std::string& name, const std::string& value) {
    VarEntry* e = new VarEntry{name, value, nullptr};
    delvar(e->name);
    calltrace(2, "CALL: addvar (name = %s, value = %s)\n", e->name.c_str(), e->value.c_str());
    e->next = curlevel->entries;
    curlevel->entries = e;
}

const char* findvar(const std::string& name) {
    calltrace(2, "CALL: findvar (name = %s)\n", name.c_str());
    for (VarEntry* e = curlevel->entries; e; e = e->next)
        if (e->name == name) return e->value.c_str();
    return nullptr;
}

void delvar(const std::string& name) {
    calltrace(2, "CALL: delvar (name = %s)\n", name.c_str());
    for (VarEntry** link = &curlevel->entries; *link; link = &(*link)->next) {
        if ((*link)->name != name) continue;
        VarEntry* gone = *link;
        *link = gone->next;
        delete gone;
        return;
    }
}

void dumpvars() {
    calltrace(2, "CALL: dumpvars()\n");
    std::printf("Vars\n");
    for (VarEntry* e = curlevel->entries; e; e = e->next)
        std::printf("%s = %s\n", e->name.c_str(), e->value.c_str());
    std::printf("End\n");
}

// A prefix match: the character after the name is not examined.
const char* extractenv(const std::string& var, char** env) {
    calltrace(2, "CALL: extractenv (var = %s, env = OMITED)\n", var.c_str());
    for (; env && *env; ++env)
        if (std::strncmp(*env, var.c_str(), var.size()) == 0) return *env;
    return nullptr;
}

int loadvar(const std::string& var, const std::string& name, char** env) {
    calltrace(2, "CALL: loadvar (var = %s, name = %s env = OMITED)\n", var.c_str(), name.c_str());
    const char* entry = extractenv(var, env);
    if (!entry) return 0;
    const char* eq = std::strchr(entry, '=');
    if (!eq) return 0;
    addvar(name, eq + 1);
    return 1;
}
