// session_runner FILE: plays one session file; exits 0 when it passes, 1 when it fails, 2 when
// it is not given. ctest runs it once per file.
#include <sys/stat.h>

#include <cstdio>

#include "session.h"

int main(int argc, char** argv) {
    umask(022);  // the modes of the files orvel makes do not depend on the caller's
    if (argc != 2) return 2;
    const bool ok = play_session(argv[1]);
    std::printf("%s %s\n", ok ? "passed" : "FAILED", argv[1]);
    return ok ? 0 : 1;
}
