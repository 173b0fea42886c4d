// Command-line text before dispatch: reading, trimming, splitting and expanding.
#include "words.h"

#include <cctype>

namespace {
bool isblankchar(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// Skips the rest of an over-long line, its newline included.
void skiptonewline(std::FILE* in) {
    int c;
    while ((c = std::getc(in)) != EOF && c != '\n') {
    }
}
}  // namespace

LineRead readcmdline(std::FILE* in, std::string& line, std::size_t maxlen) {
    line.clear();
    int c;
    while ((c = std::getc(in)) != EOF) {
        if (c == '\n') {
            line.push_back('\n');
            return LineRead::kLine;
        }
        if (line.size() == maxlen) {
            skiptonewline(in);
            line.clear();
            return LineRead::kTooLong;
        }
        line.push_back(static_cast<char>(c));
    }
    return line.empty() ? LineRead::kEnd : LineRead::kLine;
}

void trimtrailing(std::string& line) {
    std::size_t keep = line.size();
    while (keep > 1 && isblankchar(line[keep - 1])) --keep;
    line.resize(keep);
}

SplitResult splitwords(const std::string& line, std::vector<std::string>& words,
                       std::size_t* badlen) {
    std::vector<std::string> out(1);
    bool inblank = false;
    for (char c : line) {
        if (c == '\0') break;  // the line ends at its first NUL, as a C string would
        if (!isblankchar(c)) {
            out.back().push_back(c);
            inblank = false;
            continue;
        }
        if (inblank) continue;
        inblank = true;
        if (out.back().size() > kMaxWordLen) break;
        if (out.size() == kMaxWords) return SplitResult::kTooManyWords;
        out.emplace_back();
    }
    for (const std::string& w : out) {
        if (w.size() <= kMaxWordLen) continue;
        if (badlen) *badlen = w.size();
        return SplitResult::kWordTooLong;
    }
    words = std::move(out);
    return SplitResult::kOk;
}

std::string bracketname(const std::string& word) {
    if (word.size() < 2) return std::string();
    return word.substr(1, word.size() - 2);
}

bool expandwords(std::vector<std::string>& words, varlookup lookup, std::string& missing) {
    for (std::string& w : words) {
        if (w.empty() || w[0] != '[') continue;
        std::string name = bracketname(w);
        const char* value = lookup(name);
        if (!value) {
            missing = name;
            return false;
        }
        w = value;
    }
    return true;
}
