#include "simprocs.h"

#include "simtext.h"

namespace sim {

std::vector<Proc> default_procs() {
    return {{"SYS$SHLL", ProcKind::kSystem}, {"SYS$WSRV", ProcKind::kSystem},
            {"SYS$FSRV", ProcKind::kSystem}, {"TAVLIN", ProcKind::kLink},
            {"Agenda", ProcKind::kApp},      {"Word", ProcKind::kApp},
            {"Sheet", ProcKind::kApp},       {"Data", ProcKind::kApp}};
}

bool parse_procs(const std::string& text, std::vector<Proc>* out) {
    std::vector<Proc> procs;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(',', start);
        if (end == std::string::npos) end = text.size();
        std::string name = text.substr(start, end - start);
        start = end + 1;
        Proc p;
        if (!name.empty() && (name[0] == '!' || name[0] == '~')) {
            p.kind = name[0] == '!' ? ProcKind::kSystem : ProcKind::kInterpreted;
            name.erase(0, 1);
        }
        if (name.empty()) return false;
        if (equal_ci(name, "TAVLIN")) p.kind = ProcKind::kLink;
        p.name = name;
        procs.push_back(p);
    }
    *out = procs;
    return true;
}

std::vector<std::string> ProcTable::list(const std::string& pattern) const {
    std::vector<std::string> names;
    for (const Proc& p : procs_) {
        if (glob_match_ci(pattern, p.name)) names.push_back(p.name);
    }
    return names;
}

int ProcTable::kill(const std::string& pattern, bool protect) {
    bool matched = false;
    int killed = 0;
    std::vector<Proc> left;
    for (const Proc& p : procs_) {
        const bool match = glob_match_ci(pattern, p.name);
        matched = matched || match;
        const bool spared = protect && (p.kind == ProcKind::kSystem || p.kind == ProcKind::kLink);
        if (match && !spared) {
            ++killed;
        } else {
            left.push_back(p);
        }
    }
    procs_ = left;
    return matched ? killed : -1;
}

int ProcTable::shutdown(const std::string& pattern) {
    bool matched = false;
    int closed = 0;
    std::vector<Proc> left;
    for (const Proc& p : procs_) {
        const bool match = glob_match_ci(pattern, p.name);
        matched = matched || match;
        if (match && p.kind == ProcKind::kApp) {
            ++closed;
        } else {
            left.push_back(p);
        }
    }
    procs_ = left;
    return matched ? closed : -1;
}

}  // namespace sim
