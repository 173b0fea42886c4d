#include "simfs.h"

#include <dirent.h>
#include <errno.h>
#include <unistd.h>

#include <algorithm>

#include "simresult.h"
#include "simtext.h"

namespace sim {

namespace {

bool is_drive(char d) {
    return d == 'a' || d == 'b' || d == 'c' || d == 'm';
}

std::string drive_org(char drive) {
    return std::string(1, static_cast<char>(drive - 'a' + 'A')) + ":\\";
}

// Splits `rest` on backslashes onto `parts`, resolving "." and ".." (which stops at the drive
// root). False for a name that the host could never hold.
bool push_parts(const std::string& rest, std::vector<std::string>* parts) {
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = rest.find('\\', start);
        if (end == std::string::npos) end = rest.size();
        const std::string name = rest.substr(start, end - start);
        start = end + 1;
        if (name.empty() || name == ".") continue;
        if (name == "..") {
            if (!parts->empty()) parts->pop_back();
            continue;
        }
        if (name.find('/') != std::string::npos || name.find('\0') != std::string::npos) {
            return false;
        }
        parts->push_back(name);
    }
    return true;
}

// Finds `want` in the host directory `dir`: the exact name if present, else the bytewise
// smallest case-insensitive match. False when there is none.
bool match_name(const std::string& dir, const std::string& want, std::string* stored) {
    DIR* d = opendir(dir.c_str());
    if (d == nullptr) return false;
    bool found = false;
    std::string best;
    while (struct dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        if (name == want) {
            best = name;
            found = true;
            break;
        }
        if (equal_ci(name, want) && (!found || name < best)) {
            best = name;
            found = true;
        }
    }
    closedir(d);
    if (found) *stored = best;
    return found;
}

// The directory's member names (no "." or ".."), sorted bytewise.
std::vector<std::string> member_names(const std::string& dir) {
    std::vector<std::string> names;
    DIR* d = opendir(dir.c_str());
    if (d == nullptr) return names;
    while (struct dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

bool is_symlink(const std::string& host, struct stat* st) {
    if (lstat(host.c_str(), st) != 0) return true;  // vanished: treat as unusable
    return S_ISLNK(st->st_mode);
}

}  // namespace

std::string org_child(const std::string& parent_org, const std::string& name) {
    if (!parent_org.empty() && parent_org.back() == '\\') return parent_org + name;
    return parent_org + "\\" + name;
}

int SimFs::init(std::string* err) {
    if (root_.empty()) {
        *err = "no root directory given";
        return kFailed;
    }
    if (mkdir(root_.c_str(), 0755) != 0 && errno != EEXIST) {
        *err = "cannot create " + root_;
        return kFailed;
    }
    for (const char* d : {"a", "b", "c", "m"}) {
        const std::string host = root_ + "/" + d;
        struct stat st;
        if (lstat(host.c_str(), &st) != 0 && mkdir(host.c_str(), 0755) != 0) {
            *err = "cannot create " + host;
            return kFailed;
        }
        if (lstat(host.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            *err = host + " is not a directory";
            return kFailed;
        }
    }
    return kDone;
}

int SimFs::parse(const std::string& path, OrgPath* out) const {
    if (path.empty()) return kFailed;
    OrgPath p;
    p.drive = cwd_drive_;
    std::string rest = path;
    bool from_cwd = true;
    if (path.size() >= 2 && path[1] == ':') {
        p.drive = lower_ascii(path.substr(0, 1))[0];
        if (!is_drive(p.drive)) return kFailed;
        rest = path.substr(2);
        from_cwd = !rest.empty() && rest[0] != '\\' && p.drive == cwd_drive_;
    } else if (path[0] == '\\') {
        from_cwd = false;
    }
    if (from_cwd) p.parts = cwd_parts_;
    if (!push_parts(rest, &p.parts)) return kFailed;
    p.trailing_sep = !rest.empty() && rest.back() == '\\';
    *out = p;
    return kDone;
}

int SimFs::walk(const OrgPath& p, size_t count, FsEntry* out) const {
    FsEntry e;
    e.drive = p.drive;
    e.host = root_ + "/" + std::string(1, p.drive);
    e.org = drive_org(p.drive);
    if (is_symlink(e.host, &e.st) || !S_ISDIR(e.st.st_mode)) return kFailed;
    for (size_t i = 0; i < count && i < p.parts.size(); ++i) {
        if (!S_ISDIR(e.st.st_mode)) return kFailed;
        std::string stored;
        if (!match_name(e.host, p.parts[i], &stored)) return kFailed;
        e.host += "/" + stored;
        e.org = org_child(e.org, stored);
        e.names.push_back(stored);
        if (is_symlink(e.host, &e.st)) return kFailed;
    }
    e.exists = true;
    *out = e;
    return kDone;
}

int SimFs::find(const std::string& path, FsEntry* out) const {
    OrgPath p;
    if (parse(path, &p) != kDone) return kFailed;
    FsEntry e;
    if (walk(p, p.parts.size(), &e) != kDone) return kFailed;
    if (p.trailing_sep && !e.is_dir()) return kFailed;
    *out = e;
    return kDone;
}

int SimFs::place_for_new(const std::string& path, FsEntry* parent, FsEntry* out) const {
    OrgPath p;
    if (parse(path, &p) != kDone || p.parts.empty()) return kFailed;
    const std::string& last = p.parts.back();
    if (last.find('*') != std::string::npos) return kFailed;
    if (walk(p, p.parts.size() - 1, parent) != kDone || !parent->is_dir()) return kFailed;
    FsEntry e = *parent;
    std::string stored = last;
    const bool present = match_name(parent->host, last, &stored);
    e.host = parent->host + "/" + stored;
    e.org = org_child(parent->org, stored);
    e.names.push_back(stored);
    e.exists = false;
    e.st = {};
    if (present) {
        if (is_symlink(e.host, &e.st)) return kFailed;
        e.exists = true;
    }
    *out = e;
    return kDone;
}

int SimFs::list_matching(const FsEntry& dir, const std::string& pattern,
                         std::vector<std::string>* out) const {
    for (const std::string& name : member_names(dir.host)) {
        struct stat st;
        if (is_symlink(dir.host + "/" + name, &st)) continue;
        if (glob_match_ci(pattern, name)) out->push_back(org_child(dir.org, name));
    }
    return kDone;
}

int SimFs::list(const std::string& path, std::vector<std::string>* out) const {
    OrgPath p;
    if (parse(path, &p) != kDone) return kFailed;
    out->clear();
    if (!p.parts.empty() && p.parts.back().find('*') != std::string::npos) {
        FsEntry parent;
        if (p.trailing_sep) return kFailed;
        if (walk(p, p.parts.size() - 1, &parent) != kDone || !parent.is_dir()) return kFailed;
        return list_matching(parent, p.parts.back(), out);
    }
    FsEntry e;
    if (walk(p, p.parts.size(), &e) != kDone) return kFailed;
    if (e.is_dir()) return list_matching(e, "*", out);
    if (p.trailing_sep) return kFailed;
    out->push_back(e.org);
    return kDone;
}

int SimFs::change_dir(const std::string& path) {
    FsEntry e;
    if (find(path, &e) != kDone || !e.is_dir()) return kFailed;
    cwd_drive_ = e.drive;
    cwd_parts_ = e.names;
    return kDone;
}

std::string SimFs::cwd() const {
    std::string org = drive_org(cwd_drive_);
    for (const std::string& name : cwd_parts_) org = org_child(org, name);
    return org;
}

void SimFs::reset_cwd() {
    cwd_drive_ = 'm';
    cwd_parts_.clear();
}

}  // namespace sim
