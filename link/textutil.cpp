// Lower-casing, whole-line reading and the yes/no answer.
#include "textutil.h"

#include <cctype>

void lowerpath(char* path) {
    for (; *path; ++path)
        *path = static_cast<char>(std::tolower(static_cast<unsigned char>(*path)));
}

void lowerpath(std::string& path) {
    for (char& c : path) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool readwholeline(std::FILE* in, std::string& line) {
    line.clear();
    int c;
    while ((c = std::getc(in)) != EOF) {
        line.push_back(static_cast<char>(c));
        if (c == '\n') break;
    }
    return !line.empty();
}

// Only the first character of the answer decides.
int askyes(int maxchars) {
    std::fflush(stdout);
    int first = std::getc(stdin);
    int c = first;
    while (c != EOF && c != '\n') c = std::getc(stdin);
    if (maxchars < 1 || first == EOF) return 0;
    return first == 'y' || first == 'Y';
}
