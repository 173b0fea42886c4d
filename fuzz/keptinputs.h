// The inputs kept for a fuzz target: its seed corpus (fuzz/corpus/<name>/) and the inputs that
// once crashed it (fuzz/regressions/<name>/), and their replay in the tests. Reads only.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fuzz {

// The regular files of `dir`, sorted; none when it does not exist.
inline std::vector<std::string> filesin(const std::string& dir) {
    std::vector<std::string> files;
    std::error_code missing;
    for (const auto& e : std::filesystem::directory_iterator(dir, missing))
        if (e.is_regular_file()) files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
}

inline std::string readbytes(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Runs every kept input of target `name` under `base` through `target` (regressions first), each
// named on standard error first (a broken check aborts); returns how many there were.
inline std::size_t replay(const std::string& base, const std::string& name,
                          void (*target)(const uint8_t*, std::size_t)) {
    std::vector<std::string> files = filesin(base + "/regressions/" + name);
    for (const std::string& f : filesin(base + "/corpus/" + name)) files.push_back(f);
    for (const std::string& file : files) {
        std::fprintf(stderr, "replaying %s\n", file.c_str());
        const std::string input = readbytes(file);
        target(reinterpret_cast<const uint8_t*>(input.data()), input.size());
    }
    return files.size();
}

}  // namespace fuzz
