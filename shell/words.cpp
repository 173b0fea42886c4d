// Command-line text before dispatch: reading, trimming, splitting and expanding.
#include "words.h"

#include <cctype>
#include <cstring>

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
    std::vector<std::size_t> expanded;
    for (std::size_t i = 0; i < words.size(); ++i) {
        std::string& w = words[i];
        if (w.empty() || w[0] != '[') continue;
        std::string name = bracketname(w);
        const char* value = lookup(name);
        if (!value) {
            missing = name;
            return false;
        }
        w = value;
        expanded.push_back(i);
    }
    if (!isshellline(words)) return true;
    for (std::size_t i : expanded)
        if (i > 0) words[i] = shellword(words[i]);
    return true;
}

bool isshellline(const std::vector<std::string>& words) {
    return !words.empty() && !words[0].empty() && words[0][0] == '!';
}

// Blanks are left to split the value, as they always did; newlines end a shell command.
std::string shellword(const std::string& value) {
    auto plain = [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == ' ' || c == '\t' ||
               static_cast<unsigned char>(c) > 0x7F || std::strchr("_-.,/:@%+=", c) != nullptr;
    };
    bool allplain = true;
    for (char c : value) allplain = allplain && c != '\0' && plain(c);
    if (allplain) return value;
    std::string quoted = "'";
    for (char c : value) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}
