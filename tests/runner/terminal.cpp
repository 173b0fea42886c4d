// Terminal runs: the screen block read into the text the terminal shows and the steps on the
// way, and a run driven through them, each step taken once the terminal shows all before it.
#include <cstdio>

#include "harness.h"
#include "session.h"

Screen read_screen(const std::vector<std::string>& lines, const Names& names) {
    Screen s;
    auto add = [&](const std::string& raw, std::string* to) {
        const std::string error = expand(raw, names, to);
        if (s.error.empty()) s.error = error;
    };
    for (const std::string& line : lines) {
        const bool nolf = line.ends_with("{NOLF}");
        const std::string body = line.substr(0, line.size() - 6 * nolf);
        std::size_t from = 0;
        for (std::size_t i = 0, end; i < body.size(); ++i) {  // the steps, at the top level
            if (body[i] != '{' || (end = closing(body, i)) == std::string::npos) continue;
            if (body.compare(i, 2, "{<") != 0 && body.compare(i, 6, "{size ") != 0) {
                i = end;
                continue;
            }
            add(body.substr(from, i - from), &s.out);
            Screen::Step step{.at = s.out.size(), .source = body.substr(i, end + 1 - i)};
            if (body[i + 1] == '<')
                add(body.substr(i + 2, end - i - 2), &step.keys);
            else if (std::sscanf(body.c_str() + i, "{size %dx%d}", &step.rows, &step.columns) != 2)
                s.error = "a size is {size ROWSxCOLUMNS}: " + step.source;
            s.steps.push_back(step);
            from = (i = end) + 1;
        }
        add(body.substr(from), &s.out);
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
    for (const Screen::Step& step : screen.steps) {
        const std::string before = screen.out.substr(0, step.at);
        if (!proc.wait_until([&] { return view(proc.out()).starts_with(before); }, timeout_ms))
            return "the terminal never showed what the screen block has before " + step.source;
        if (step.rows > 0)
            proc.resize(step.rows, step.columns);
        else
            proc.write_input(step.keys);
    }
    return "";
}
