// Terminal runs: the screen block read into the text the terminal shows and the steps taken on
// the way (keys typed, sizes set), and a run driven through them, each step taken only once the
// terminal shows all that the block puts before it.
#include <chrono>
#include <cstdio>

#include "harness.h"
#include "session.h"

namespace {

// The next "{<" or "{size " at the top level of `line` from `from` on, or npos.
std::size_t next_step(const std::string& line, std::size_t from) {
    for (std::size_t i = from; i < line.size(); ++i) {
        if (line[i] != '{') continue;
        if (line.compare(i, 2, "{<") == 0 || line.compare(i, 6, "{size ") == 0) return i;
        if ((i = closing(line, i)) == std::string::npos) return i;
    }
    return std::string::npos;
}

}  // namespace

Screen read_screen(const std::vector<std::string>& lines, const Names& names) {
    Screen s;
    auto text = [&](const std::string& raw) {
        const std::string error = expand(raw, names, &s.out);
        if (s.error.empty()) s.error = error;
    };
    for (const std::string& line : lines) {
        const bool nolf = line.ends_with("{NOLF}");
        const std::string body = line.substr(0, line.size() - 6 * nolf);
        std::size_t from = 0;
        for (std::size_t at; (at = next_step(body, from)) != std::string::npos; from = at + 1) {
            text(body.substr(from, at - from));
            const std::size_t start = at;
            if ((at = closing(body, at)) == std::string::npos) {
                s.error = "no closing brace in " + line;
                return s;
            }
            Screen::Step step{.at = s.out.size(), .source = body.substr(start, at + 1 - start)};
            const std::string inside = body.substr(start + 1, at - start - 1);
            if (inside[0] == '<') {
                const std::string error = expand(inside.substr(1), names, &step.keys);
                if (s.error.empty()) s.error = error;
            } else if (std::sscanf(inside.c_str(), "size %dx%d", &step.rows, &step.columns) != 2) {
                s.error = "a size is {size ROWSxCOLUMNS}: " + step.source;
            }
            s.steps.push_back(step);
        }
        text(body.substr(from));
        if (!nolf) s.out += '\n';
    }
    return s;
}

std::string screen_text(std::string bytes) {
    for (std::size_t at = 0; (at = bytes.find("\r\n", at)) != std::string::npos;)
        bytes.erase(at, 1);
    return bytes;
}

std::string drive_terminal(Proc& proc, const Screen& screen,
                           const std::function<std::string(const std::string&)>& view,
                           int timeout_ms) {
    const auto start = std::chrono::steady_clock::now();
    for (const Screen::Step& step : screen.steps) {
        const std::string before = screen.out.substr(0, step.at);
        const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        if (!proc.wait_until([&] { return view(proc.out()).starts_with(before); },
                             timeout_ms - static_cast<int>(spent.count())))
            return "the terminal never showed what the screen block has before " + step.source;
        if (step.rows > 0)
            proc.resize(step.rows, step.columns);
        else
            proc.write_input(step.keys);
    }
    return "";
}
