// Yes/no questions asked on standard input before destructive or long operations.
#include <cstdio>

#include "ovmain.h"

// Only the first character of the answer decides. The whole answer line is consumed (not just
// its first `maxchars` characters), so the rest of a long answer is never read as a command.
int askyes(int maxchars) {
    std::fflush(stdout);
    int first = std::getc(stdin);
    int c = first;
    while (c != EOF && c != '\n') c = std::getc(stdin);
    if (maxchars < 1 || first == EOF) return 0;
    return first == 'y' || first == 'Y';
}
