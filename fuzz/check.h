// The one way a fuzz target reports a broken promise: a message on standard error and an abort,
// which libFuzzer records as a crash with its input and which fails the replaying test. And the
// libFuzzer entry point that each fuzz/<name>_fuzz.cpp makes of one target body.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>

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
