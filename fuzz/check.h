// How a fuzz target reports a broken promise (a message and an abort, which libFuzzer records as
// a crash and which fails the replaying test), the entry point that each fuzz/<name>_fuzz.cpp
// makes of a target body, and the input as text and as lines.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#define FUZZ_REQUIRE(cond)                                                                     \
    do {                                                                                       \
        if (!(cond)) {                                                                         \
            std::fprintf(stderr, "%s:%d: fuzz check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

// The commands' own output is not what is being tested: standard output goes nowhere.
#define FUZZ_ENTRY(target)                                                         \
    extern "C" int LLVMFuzzerInitialize(int*, char***) {                           \
        return std::freopen("/dev/null", "w", stdout) == nullptr;                  \
    }                                                                              \
    extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) { \
        target(data, size);                                                        \
        return 0;                                                                  \
    }

namespace fuzz {

inline std::string bytes(const uint8_t* data, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

// The input's lines, newlines removed; a last line without a newline counts.
inline std::vector<std::string> splitlines(const std::string& in) {
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; start < in.size(); start = end + 1) {
        end = in.find('\n', start) == std::string::npos ? in.size() : in.find('\n', start);
        lines.push_back(in.substr(start, end - start));
    }
    return lines;
}

}  // namespace fuzz
