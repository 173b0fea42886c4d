// The organiser's drives a, b, c and m as folders a/ b/ c/ m/ under a host root directory.
// Owns organiser path parsing (device letter, backslashes, relative paths against the current
// directory, "." and ".."), case-insensitive name matching and listings. A path never leaves the
// root: ".." stops at the drive, names come from the directory itself, symbolic links are refused.
#pragma once

#include <sys/stat.h>

#include <string>
#include <vector>

namespace sim {

// An organiser path after parsing: a drive and the names below its root, "." and ".." resolved.
struct OrgPath {
    char drive = 'm';                // lower case
    std::vector<std::string> parts;  // names as given (not yet matched against the host)
    bool trailing_sep = false;       // ended with a backslash: it names a directory
};

// An existing (or, from place_for_new, a would-be) entry on the host.
struct FsEntry {
    std::string host;  // host path
    std::string org;   // organiser path: upper-case drive, names as stored on the host
    char drive = 'm';
    std::vector<std::string> names;  // the names below the drive root, as stored
    struct stat st = {};
    bool exists = false;
    bool is_dir() const { return exists && S_ISDIR(st.st_mode); }
    // The organiser's read-only flag lives in the owner write bit.
    bool read_only() const { return exists && (st.st_mode & S_IWUSR) == 0; }
};

class SimFs {
  public:
    explicit SimFs(std::string root) : root_(std::move(root)) {}

    // Creates the root and the four drive folders if missing. kDone, or kFailed with `err` set.
    int init(std::string* err);

    // Parses an organiser path against the current directory. kFailed for an empty path, an
    // unknown device or a name holding "/" or NUL.
    int parse(const std::string& path, OrgPath* out) const;

    // Finds an existing entry. kFailed when the path is bad, missing, passes through a file or a
    // symbolic link, or ends with a backslash but is not a directory.
    int find(const std::string& path, FsEntry* out) const;

    // Resolves the place of a new entry: the parent must exist as a directory; the last name is
    // matched case-insensitively and used as stored if present (then out->exists is true),
    // else taken as given. kFailed for a bad path, a drive root or a symbolic link.
    int place_for_new(const std::string& path, FsEntry* parent, FsEntry* out) const;

    // Lists a directory's members, the members matching a last component that holds "*", or a
    // plain file itself: full organiser paths, members sorted bytewise. kFailed for a bad path.
    int list(const std::string& path, std::vector<std::string>* out) const;

    // Makes a directory the current one; kFailed when the path is not a directory.
    int change_dir(const std::string& path);
    // The current directory as "M:\" or "M:\DOCS".
    std::string cwd() const;
    void reset_cwd();

    const std::string& root() const { return root_; }

  private:
    int walk(const OrgPath& p, size_t count, FsEntry* out) const;
    int list_matching(const FsEntry& dir, const std::string& pattern,
                      std::vector<std::string>* out) const;

    std::string root_;
    char cwd_drive_ = 'm';
    std::vector<std::string> cwd_parts_;  // names as stored
};

// The organiser path of a child of `parent_org` ("M:\" + name or "M:\DIR" + "\" + name).
std::string org_child(const std::string& parent_org, const std::string& name);

}  // namespace sim
