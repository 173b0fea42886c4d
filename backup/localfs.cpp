// Directory creation and listing on the workstation, by system calls only.
#include "localfs.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <memory>

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

// Creates one directory; an existing directory counts as success.
int makeonedir(const std::string& path) {
    if (mkdir(path.c_str(), 0777) == 0) return 0;
    int saved = errno;
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
        errno = saved;
        return -1;
    }
    if (S_ISDIR(st.st_mode)) return 0;
    errno = ENOTDIR;  // something other than a directory is in the way
    return -1;
}

}  // namespace

int makedirs(const std::string& path) {
    // Each prefix that ends before a "/" is a parent; runs of "/" are passed over.
    for (std::size_t i = 1; i < path.size(); ++i) {
        if (path[i] != '/' || path[i - 1] == '/') continue;
        if (makeonedir(path.substr(0, i)) != 0) return -1;
    }
    if (path.empty()) {
        errno = ENOENT;
        return -1;
    }
    return makeonedir(path);
}

int listdirsorted(const std::string& path, std::vector<std::string>& names) {
    names.clear();
    std::unique_ptr<DIR, DirCloser> dir(opendir(path.c_str()));
    if (!dir) return -1;
    while (const struct dirent* entry = readdir(dir.get())) {
        if (entry->d_name[0] != '.') names.emplace_back(entry->d_name);
    }
    // std::string compares as unsigned bytes, which is the C locale's collation.
    std::sort(names.begin(), names.end());
    return 0;
}
