// session_runner FILE...: plays each session file; exits 0 when all of them pass, 1 when one
// fails, 2 without a file. ctest runs it once per file.
#include <sys/stat.h>

#include <cstdio>

#include "session.h"

int main(int argc, char** argv) {
    umask(022);  // the modes of the files orvel makes do not depend on the caller's
    int failed = 0;
    for (int i = 1; i < argc; ++i) {
        const bool ok = play_session(argv[i]);
        std::printf("%s %s\n", ok ? "passed" : "FAILED", argv[i]);
        failed += !ok;
    }
    return argc < 2 ? 2 : failed > 0;
}
