// The backup exclude list and its three commands (addexcl, delexcl, printexcl).
#include "ovbackupexclude.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "ovlib.h"
#include "textutil.h"

std::unique_ptr<ExcludeEntry> exclude;

void initexclude() {
    calltrace(3, "CALL: initexclude()\n");
}

int setupexclude(const std::string& path) {
    calltrace(3, "CALL: setupexclude (path = %s)\n", path.c_str());
    for (const ExcludeEntry* e = exclude.get(); e != nullptr; e = e->next.get()) {
        if (e->path == path) return 0;
    }
    return newexclude(path);
}

int newexclude(const std::string& path) {
    calltrace(3, "CALL: newexclude (path = %s, )\n", path.c_str());
    auto entry = std::make_unique<ExcludeEntry>();
    entry->next = std::move(exclude);
    exclude = std::move(entry);
    return installexclude(path, exclude.get());
}

int installexclude(const std::string& path, ExcludeEntry* current) {
    calltrace(3, "CALL: installexclude (path = %s, current = (OMITED))\n", path.c_str());
    current->path = path;
    return kDone;
}

int removeexclude(const std::string& path) {
    calltrace(3, "CALL: removeexclude (path = %s)\n", path.c_str());
    for (std::unique_ptr<ExcludeEntry>* link = &exclude; *link != nullptr; link = &(*link)->next) {
        if ((*link)->path == path) {
            // Frees the entry: `path` may refer to its path, and is not used after this.
            *link = std::move((*link)->next);
            break;
        }
    }
    return kDone;
}

int printexclude() {
    calltrace(3, "CALL: printexclude ()\n");
    if (exclude == nullptr) {
        std::printf("No backup excludes currently installed\n");
        return kDone;
    }
    std::printf("Current installed backup excludes\n");
    for (const ExcludeEntry* e = exclude.get(); e != nullptr; e = e->next.get())
        std::printf("%s\n", e->path.c_str());
    return kDone;
}

int findexclude(const std::string& path) {
    calltrace(3, "CALL: findexclude (path = %s)\n", path.c_str());
    for (const ExcludeEntry* e = exclude.get(); e != nullptr; e = e->next.get()) {
        if (e->path == path) return 1;
    }
    return 0;
}

int cmexclude(int argc, char** argv) {
    calltrace(1, "CALL: cmexclude\n");
    dodebugargs(argc, argv);
    lowerpath(argv[1]);
    if (std::strcmp(argv[0], "addexcl") == 0) {
        setupexclude(argv[1]);
    } else {
        removeexclude(argv[1]);
    }
    return kDone;
}

int cmexclprint(int argc, char** argv) {
    calltrace(1, "CALL: cmexclprint\n");
    dodebugargs(argc, argv);
    printexclude();
    return kDone;
}
