// The suffix filter list and the running of a filter on a workstation file.
#include "ovfilt.h"

#include <cstdio>
#include <string>
#include <utility>

#include "hooks.h"
#include "ovlib.h"
#include "ovvar.h"
#include "trace.h"

std::unique_ptr<FilterEntry> filters;

namespace {

// Direction words of addfilter/delfilter: anything but "in" and "restore" means out.
int directionword(const std::string& word) {
    if (word == "in") return kFilterIn;
    if (word == "restore") return kFilterRestore;
    return kFilterOut;
}

}  // namespace

void initfilters() {
    calltrace(3, "CALL: initfilters()\n");
    releasechain(filters);
}

int setupfilter(int filttype, const std::string& suffix, const std::string& ovcmd) {
    calltrace(3, "CALL: setupfilter (filttype = %d, suffix = %s, ovcmd = %s)\n", filttype,
              suffix.c_str(), ovcmd.c_str());
    // The removal looks for the suffix as typed, the new entry stores it without its ".".
    removefilter(filttype, suffix);
    return newfilter(filttype, suffix, ovcmd);
}

int removefilter(int filttype, const std::string& suffix) {
    calltrace(3, "CALL: removefilter (filttype = %d, suffix = %s, )\n", filttype, suffix.c_str());
    for (std::unique_ptr<FilterEntry>* link = &filters; *link; link = &(*link)->next) {
        if ((*link)->direction == filttype && (*link)->suffix == suffix) {
            *link = std::move((*link)->next);  // frees the entry
            break;
        }
    }
    return kDone;
}

int newfilter(int filttype, const std::string& suffix, const std::string& ovcmd) {
    calltrace(3, "CALL: newfilter (filttype = %d, suffix = %s, ovcmd = %s, )\n", filttype,
              suffix.c_str(), ovcmd.c_str());
    auto entry = std::make_unique<FilterEntry>();
    entry->next = std::move(filters);
    filters = std::move(entry);
    return installfilter(filttype, suffix, ovcmd, filters.get());
}

int installfilter(int filttype, const std::string& suffix, const std::string& ovcmd,
                  FilterEntry* current) {
    calltrace(3,
              "CALL: installfilter (filttype = %d, suffix = %s, ovcmd = %s, current = "
              "(OMITED))\n",
              filttype, suffix.c_str(), ovcmd.c_str());
    current->direction = filttype;
    current->suffix = (!suffix.empty() && suffix[0] == '.') ? suffix.substr(1) : suffix;
    current->ovcmd = ovcmd;
    return kDone;
}

const char* filtertype(int direction) {
    switch (direction) {
        case kFilterIn:
            return "Input,  ";
        case kFilterRestore:
            return "Restore,";
        default:
            return "Output, ";
    }
}

int printfilters() {
    calltrace(3, "CALL: printfilters ()\n");
    if (!filters) {
        std::printf("No filters currently installed\n");
        return kDone;
    }
    std::printf("Current installed filters\n");
    for (const FilterEntry* entry = filters.get(); entry; entry = entry->next.get())
        std::printf("Direction %s Suffix %s, Ovcmd %s\n", filtertype(entry->direction),
                    entry->suffix.c_str(), entry->ovcmd.c_str());
    return kDone;
}

const char* locatefilter(int direction, const std::string& suffix) {
    calltrace(3, "CALL: locatefilter (direction = %d, suffix = %s)\n", direction, suffix.c_str());
    for (const FilterEntry* entry = filters.get(); entry; entry = entry->next.get())
        if (entry->direction == direction && entry->suffix == suffix) return entry->ovcmd.c_str();
    return nullptr;
}

void filefilt(int direction, const std::string& fname) {
    calltrace(3, "CALL: filefilt (direction = %d, fname = %s )\n", direction, fname.c_str());
    const std::size_t dot = fname.find('.');
    if (dot == std::string::npos) {
        if (findvar("helpfull")) {
            std::printf("HELP: You have initiated a transfer of (%s) for which there\n",
                        fname.c_str());
            std::printf("is no suffix, no filter will be run\n");
        }
        return;
    }
    const char* found = locatefilter(direction, fname.substr(dot + 1));
    if (!found) return;
    // A copy: the filter's own lines may change the list that `found` points into.
    const std::string ovcmd = found;
    if (findvar("verbose"))
        std::printf("Calling %s filter (%s)\n", filtertype(direction),
                    ("run " + ovcmd + " " + fname).c_str());
    // Ready-made words, so that a name with blanks or "[" reaches the filter as it is.
    dispatchwords({"run", ovcmd, fname});
}

int cmfilter(int argc, char** argv) {
    calltrace(1, "CALL: cmfilter\n");
    dodebugargs(argc, argv);
    const int direction = directionword(argv[1]);
    if (std::string(argv[0]) == "addfilter") return setupfilter(direction, argv[2], argv[3]);
    return removefilter(direction, argv[2]);
}

int cmfilterprint(int argc, char** argv) {
    calltrace(1, "CALL: cmfilterprint\n");
    dodebugargs(argc, argv);
    return printfilters();
}
