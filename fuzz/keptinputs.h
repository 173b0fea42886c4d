// The inputs kept for a fuzz target: its seed corpus (fuzz/corpus/<name>/) and the inputs that
// once crashed it (fuzz/regressions/<name>/), and their replay in the tests. Reads only.
#pragma once

#include <dirent.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace fuzz {

// The regular files of `dir`, sorted; none when it does not exist.
inline std::vector<std::string> filesin(const std::string& dir) {
    std::vector<std::string> files;
    DIR* d = opendir(dir.c_str());
    if (d == nullptr) return files;
    while (struct dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name != "." && name != ".." && e->d_type == DT_REG) files.push_back(dir + "/" + name);
    }
    closedir(d);
    std::sort(files.begin(), files.end());
    return files;
}

// Every kept input of target `name` under the fuzz folder `base`: regressions first.
inline std::vector<std::string> keptinputs(const std::string& base, const std::string& name) {
    std::vector<std::string> files = filesin(base + "/regressions/" + name);
    for (const std::string& f : filesin(base + "/corpus/" + name)) files.push_back(f);
    return files;
}

inline std::string readbytes(const std::string& file) {
    std::string data;
    if (std::FILE* f = std::fopen(file.c_str(), "rb")) {
        char buf[4096];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) data.append(buf, n);
        std::fclose(f);
    }
    return data;
}

// Runs every kept input of target `name` through `target`, naming each on standard error first
// (a broken check aborts); returns how many there were.
inline std::size_t replay(const std::string& base, const std::string& name,
                          void (*target)(const uint8_t*, std::size_t)) {
    const std::vector<std::string> files = keptinputs(base, name);
    for (const std::string& file : files) {
        std::fprintf(stderr, "replaying %s\n", file.c_str());
        const std::string input = readbytes(file);
        target(reinterpret_cast<const uint8_t*>(input.data()), input.size());
    }
    return files.size();
}

}  // namespace fuzz
