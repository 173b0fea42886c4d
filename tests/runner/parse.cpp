// Session files into directives: a directive starts in the first column, its block is the lines
// below it indented by two blanks.
#include <sstream>

#include "session.h"

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
            const std::size_t blank = line.find(' ');
            out->push_back({n,
                            line.substr(0, blank),
                            blank == std::string::npos ? "" : line.substr(blank + 1),
                            {}});
        }
        blanks = 0;
    }
    return "";
}
