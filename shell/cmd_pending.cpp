// Handlers whose commands are still being built. Each is a weak definition: the real handler,
// once it exists, replaces it at link time. This file goes when the last one has been built.
#include <cstdio>

#include "ovbackup.h"
#include "ovbackupexclude.h"
#include "ovfilt.h"
#include "ovmain.h"

namespace {
int notyet(char** argv) {
    std::printf("%s: not available yet\n", argv[0]);
    return kDone;
}
}  // namespace

#define ORVEL_PENDING(name) \
    __attribute__((weak)) int name(int, char** argv) { return notyet(argv); }


// Start-up hooks of lists still being built.
