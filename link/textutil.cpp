// Lower-casing, whole-line reading, the yes/no answer and text shown on a terminal.
#include "textutil.h"

#include <unistd.h>

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

namespace {
std::string hexbyte(unsigned char c) {
    char hex[5];
    std::snprintf(hex, sizeof hex, "\\x%02x", c);
    return hex;
}
}  // namespace

// Bytes 0x80 to 0xFF are left alone: they are letters in the organiser's character sets, and a
// lone one is no control in a UTF-8 terminal; a C1 control encoded in UTF-8 is one there.
std::string escapecontrols(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const unsigned char next =
            i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {
            out += hexbyte(c) + hexbyte(next);
            ++i;
        } else if (c < 0x20 || c == 0x7F) {
            out += hexbyte(c);
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

std::string shown(std::string_view text) {
    if (isatty(STDOUT_FILENO) == 0) return std::string(text);
    return escapecontrols(text);
}
