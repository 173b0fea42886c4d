// The levelled variable store.
#include "ovvar.h"

#include <cstdio>
#include <cstring>
#include <list>
#include <memory>
#include <utility>

#include "hooks.h"
#include "trace.h"

VarLevel* varstackbase = nullptr;
VarLevel* curlevel = nullptr;

namespace {
// Every level, base first: the top is always the last.
std::list<VarLevel> levels;
}  // namespace

void initvars() {
    calltrace(2, "CALL: initvars()\n");
    levels.clear();
    varstackbase = curlevel = &levels.emplace_back();
    setvarlookup(findvar);  // the link reads its switches from here on
}

void upvarlevel() {
    calltrace(2, "CALL: upvarlevel()\n");
    VarLevel* lev = &levels.emplace_back();
    lev->down = curlevel;
    curlevel->up = lev;
    curlevel = lev;
    copyuplev();
}

// Each copy goes to the front, so the new level lists the variables in reverse order.
void copyuplev() {
    calltrace(2, "CALL: copyuplev ()\n");
    for (VarEntry* e = curlevel->down ? curlevel->down->entries.get() : nullptr; e;
         e = e->next.get())
        addvar(e->name, e->value);
}

void downvarlevel() {
    calltrace(2, "CALL: downvarlevel () \n");
    clearvarlevel();
    if (curlevel == varstackbase) return;
    curlevel = curlevel->down;
    curlevel->up = nullptr;
    levels.pop_back();
}

void clearvarlevel() {
    calltrace(2, "CALL: clearvarlevel () \n");
    releasechain(curlevel->entries);
}

// Name and value are copied before the old entry goes, since either may be that entry's text
// (setv x [x]).
void addvar(const std::string& name, const std::string& value) {
    auto e = std::make_unique<VarEntry>();
    e->name = name;
    e->value = value;
    delvar(e->name);
    calltrace(2, "CALL: addvar (name = %s, value = %s)\n", e->name.c_str(), e->value.c_str());
    e->next = std::move(curlevel->entries);
    curlevel->entries = std::move(e);
}

const char* findvar(const std::string& name) {
    calltrace(2, "CALL: findvar (name = %s)\n", name.c_str());
    for (const VarEntry* e = curlevel->entries.get(); e; e = e->next.get())
        if (e->name == name) return e->value.c_str();
    return nullptr;
}

void delvar(const std::string& name) {
    calltrace(2, "CALL: delvar (name = %s)\n", name.c_str());
    for (std::unique_ptr<VarEntry>* link = &curlevel->entries; *link; link = &(*link)->next) {
        if ((*link)->name != name) continue;
        *link = std::move((*link)->next);  // frees the entry; `name` is not used after this
        return;
    }
}

void dumpvars() {
    calltrace(2, "CALL: dumpvars()\n");
    std::printf("Vars\n");
    for (const VarEntry* e = curlevel->entries.get(); e; e = e->next.get())
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
