// Reading a session: its directives (each starting in the first column, its block the lines below
// it indented by two blanks), escapes and substitutions in braces, blocks, and transcripts.
#include <sys/stat.h>

#include <cctype>
#include <cstdlib>
#include <ctime>
#include <map>
#include <sstream>

#include "session.h"

namespace {

const std::string kPrompt = "0, CMD> ";

// "{MTIME PATH}": the modification time of the organiser's file PATH (a host path below the
// root, "m/DOCS/A.TXT") as ctime prints it, without its newline.
std::string mtime(const std::string& path, const Names& names, std::string* out) {
    struct stat st;
    if (stat((names.root + "/" + path).c_str(), &st) != 0) return "{MTIME " + path + "}: no file";
    const std::string when = std::ctime(&st.st_mtime);
    *out += when.substr(0, when.size() - 1);
    return "";
}

// One escape, the text between its braces.
std::string escape(const std::string& e, const Names& names, std::string* out) {
    // clang-format off
    const std::map<std::string, std::string> fixed = {
        {"", ""}, {"CR", "\r"}, {"LF", "\n"}, {"TAB", "\t"}, {"ESC", "\x1b"}, {"NUL", {'\0'}},
        {"SP", " "}, {"CWD", names.cwd}, {"HOME", names.home}, {"DEVICE", names.device},
        {"ORVEL", names.orvel}, {"UP", "\x1b[A"}, {"DOWN", "\x1b[B"}, {"ENTER", "\r"}};
    // clang-format on
    const std::size_t star = e.find('*');
    if (fixed.count(e)) {
        *out += fixed.at(e);
    } else if (e.size() == 2 && e[0] == '^' && e[1] >= '@' && e[1] <= '_') {
        *out += static_cast<char>(e[1] & 0x1f);  // a control key: {^C}
    } else if (e.size() == 3 && e[0] == 'x' && std::isxdigit(e[1]) && std::isxdigit(e[2])) {
        *out += static_cast<char>(std::strtol(e.c_str() + 1, nullptr, 16));
    } else if (e.starts_with("MTIME ")) {
        return mtime(e.substr(6), names, out);
    } else if (star > 0 && star != std::string::npos && e.find_first_not_of("0123456789") == star) {
        std::string once, error = expand(e.substr(star + 1), names, &once);  // {N*TEXT}
        for (long n = std::atol(e.c_str()); n > 0; --n) *out += once;
        return error;
    } else {
        return "unknown escape {" + e + "}";
    }
    return "";
}

}  // namespace

std::size_t closing(const std::string& s, std::size_t open) {
    int depth = 0;
    for (std::size_t i = open; i < s.size(); ++i)
        if ((depth += s[i] == '{' ? 1 : s[i] == '}' ? -1 : 0) == 0) return i;
    return std::string::npos;
}

std::string expand(const std::string& raw, const Names& names, std::string* out) {
    for (std::size_t i = 0, end; i < raw.size(); ++i) {
        if (raw[i] != '{') {
            *out += raw[i];
            continue;
        }
        if ((end = closing(raw, i)) == std::string::npos) return "no closing brace in " + raw;
        const std::string error = escape(raw.substr(i + 1, end - i - 1), names, out);
        if (!error.empty()) return error;
        i = end;
    }
    return "";
}

std::vector<std::string> expand_words(const std::string& raw, const Names& names,
                                      std::string* error) {
    std::vector<std::string> words;
    for (std::size_t at = 0; error->empty() && at < raw.size();) {
        const std::size_t end = std::min(raw.find(' ', at), raw.size());
        if (end > at) *error = expand(raw.substr(at, end - at), names, &words.emplace_back());
        at = end + 1;
    }
    return words;
}

std::string block_text(const std::vector<std::string>& lines, const Names& names,
                       std::string* error, bool joined) {
    std::string text;
    for (const std::string& line : lines) {
        const bool nolf = line.ends_with("{NOLF}");
        if (error->empty()) *error = expand(line.substr(0, line.size() - 6 * nolf), names, &text);
        if (!nolf && !joined) text += '\n';
    }
    return text;
}

// A line that begins with the prompt was typed after it; elsewhere "{<}" marks where typing
// began. "{EOF}" typed means the input ended there; a typed line may end in "{NOLF}".
Transcript read_transcript(const std::vector<std::string>& lines, const Names& names) {
    Transcript t;
    std::size_t shown = 0;  // t.out up to here is paired with a typed line already
    bool ended = false;
    for (const std::string& line : lines) {
        std::size_t cut = line.starts_with(kPrompt) ? kPrompt.size() : line.find("{<}");
        if (cut == std::string::npos) {
            t.out += block_text({line}, names, &t.error);
            continue;
        }
        const std::string typed = line.substr(cut + (line.starts_with(kPrompt) ? 0 : 3));
        if (t.error.empty()) t.error = expand(line.substr(0, cut), names, &t.out);
        if (ended) t.error = "a line typed after {EOF}: " + line;
        t.typed.emplace_back(t.out.substr(shown), typed);
        shown = t.out.size();
        ended = typed == "{EOF}";
        if (!ended) t.in += block_text({typed}, names, &t.error);
    }
    return t;
}

std::string parse_session(const std::string& text, std::vector<Directive>* out) {
    std::istringstream in(text);
    std::string line;
    int blanks = 0;  // blank lines not yet known to be inside a block
    for (int n = 1; std::getline(in, line); ++n) {
        const std::string where = "line " + std::to_string(n) + ": ";
        if (line.starts_with("#")) continue;
        if (line.find_first_not_of(' ') == std::string::npos && !line.starts_with("  ")) {
            ++blanks;
            continue;
        }
        if (line.starts_with("  ")) {
            if (out->empty()) return where + "a block line before any directive";
            out->back().block.resize(out->back().block.size() + blanks);
            out->back().block.push_back(line.substr(2));
        } else if (line[0] == ' ' || line[0] == '\t') {
            return where + "indent block lines by two blanks";
        } else {
            const std::size_t blank = std::min(line.find(' '), line.size());
            out->push_back(
                {n, line.substr(0, blank), line.substr(std::min(blank + 1, line.size())), {}});
        }
        blanks = 0;
    }
    return "";
}
