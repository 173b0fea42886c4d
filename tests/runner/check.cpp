// Comparing what a run did with what its session expects, and showing an actual text in session
// form, so that a session can be mended by hand.
#include <cstdio>

#include "session.h"

namespace {

const std::string kPrompt = "0, CMD> ";

std::string escaped(unsigned char c) {
    const char* named[] = {"{TAB}", nullptr, nullptr, nullptr, "{CR}"};
    if (c >= '\t' && c <= '\r' && named[c - '\t']) return named[c - '\t'];
    if (c == 0x1b) return "{ESC}";
    if (c >= 0x20 && c < 0x7f && c != '{') return std::string(1, static_cast<char>(c));
    char hex[8];
    std::snprintf(hex, sizeof hex, "{x%02X}", c);
    return hex;
}

// Session lines (without their indent) for output bytes; in a transcript (`typed`) a line that
// would read as typed after the prompt starts with "{}". An open last line has no newline.
std::string output_lines(const std::string& bytes, bool typed = true) {
    std::string s;
    bool start = true;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (typed && start && bytes.compare(i, kPrompt.size(), kPrompt) == 0 &&
            bytes.find('\n', i) != std::string::npos)
            s += "{}";
        start = bytes[i] == '\n';
        std::size_t run = 1;  // a long run of one byte is written as {N*c}
        while (!start && i + run < bytes.size() && bytes[i + run] == bytes[i]) ++run;
        const std::string c = start ? "\n" : escaped(static_cast<unsigned char>(bytes[i]));
        s += run < 16 ? c : "{" + std::to_string(run) + "*" + c + "}";
        i += run < 16 ? 0 : run - 1;
    }
    return s;
}

// The text cut into lines, each with its newline.
std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; at < text.size(); at = end) {
        end = std::min(text.find('\n', at), text.size() - 1) + 1;
        lines.push_back(text.substr(at, end - at));
    }
    return lines;
}

// Indents session lines as a block: "{}" after trailing blanks, "{NOLF}" on an open last line.
std::string indent(const std::string& lines) {
    std::string out;
    for (std::string line : lines_of(lines)) {
        const bool open = !line.ends_with("\n");
        if (!open) line.pop_back();
        out += "  " + line + (line.ends_with(" ") ? "{}" : "") + (open ? "{NOLF}\n" : "\n");
    }
    return out;
}

}  // namespace

std::string render(const std::string& bytes, bool joined) {
    if (!joined) return indent(output_lines(bytes));
    std::string lines;
    for (const std::string& line : lines_of(bytes))
        lines += output_lines(line.substr(0, line.size() - line.ends_with("\n"))) +
                 (line.ends_with("\n") ? "{LF}\n" : "\n");
    return indent(lines);
}

std::string render_transcript(const std::string& actual, const Transcript& expected) {
    std::string s, left;
    std::size_t at = 0;
    for (const auto& [out, typed] : expected.typed) {
        // Typed after the expected output where the two agree, else after the next place that
        // ends as the expected output's last line does.
        const std::string last = out.substr(out.rfind('\n') + 1), mark = last.empty() ? out : last;
        std::size_t end = at + out.size();
        if (actual.compare(at, out.size(), out) != 0) {
            end = actual.find(mark, at);
            if (end != std::string::npos) end += mark.size();
        }
        if (end == std::string::npos) {
            left += "{<}" + typed + "\n";
            continue;
        }
        const std::string part = output_lines(actual.substr(at, end - at));
        s += part + (part.substr(part.rfind('\n') + 1) == kPrompt ? "" : "{<}") + typed + "\n";
        at = end;
    }
    return indent(s + output_lines(actual.substr(at)) + left);
}

std::string render_screen(const std::string& actual, const Screen& expected) {
    std::string s;
    std::size_t at = 0;
    for (const Screen::Step& step : expected.steps) {
        if (actual.compare(0, step.at, expected.out, 0, step.at) != 0) break;
        s += output_lines(actual.substr(at, step.at - at), false) + step.source;
        at = step.at;
    }
    return indent(s + output_lines(actual.substr(at), false));
}

std::string differences(const std::string& what, const std::string& want, const std::string& got,
                        const std::string& shown) {
    if (want == got) return "";
    const std::vector<std::string> w = lines_of(want), g = lines_of(got);
    std::size_t i = 0;
    while (i < w.size() && i < g.size() && w[i] == g[i]) ++i;
    return what + " differs at line " + std::to_string(i + 1) + "\n  expected:\n" +
           (i < w.size() ? render(w[i]) : "  (nothing)\n") + "  actual:\n" +
           (i < g.size() ? render(g[i]) : "  (nothing)\n") + "  the whole actual " + what + ":\n" +
           shown;
}
