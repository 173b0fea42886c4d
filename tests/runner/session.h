// The session runner: a session file (tests/sessions/**/*.session, described in tests/README.md)
// is read into directives and its texts expanded (text.cpp), played against the real orvel and
// the simulator through the end-to-end harness (play.cpp), and its results compared with what
// it expects (check.cpp). A new directive touches only the player.
#pragma once

#include <functional>
#include <string>
#include <vector>

class Proc;

// One directive: its line, first word, the raw text after it, and its block (the lines below it
// that are indented by two blanks, with the indent removed).
struct Directive {
    int line = 0;
    std::string name, rest;
    std::vector<std::string> block;
};

// Reads a session file into directives. Comment lines ("#" in the first column) are skipped
// everywhere; blank lines inside a block are kept, those at its end dropped. Returns "" on
// success, else what is wrong and on which line.
std::string parse_session(const std::string& text, std::vector<Directive>* out);

struct Names {  // what a session's texts may name in braces
    std::string cwd, home, root, device, orvel;
};

// Expands the escapes and substitutions of `raw` into `out` (appending). Returns "" on success,
// else a message naming the bad escape.
std::string expand(const std::string& raw, const Names& names, std::string* out);

// The position of the brace that closes the one at `open` in `s`, or npos.
std::size_t closing(const std::string& s, std::size_t open);

// `raw` split at blanks, each word expanded; stops at the first bad escape (message in `error`).
std::vector<std::string> expand_words(const std::string& raw, const Names& names,
                                      std::string* error);

// A block's lines expanded, each ending with a newline unless it ends with "{NOLF}"; with
// `joined`, concatenated without newlines. Stops at the first bad escape (message in `error`).
std::string block_text(const std::vector<std::string>& lines, const Names& names,
                       std::string* error, bool joined = false);

// A transcript block: the standard output it expects and the input typed into it (each typed
// line paired with the output expected before it, for showing an actual output the same way).
struct Transcript {
    std::string out, in, error;
    std::vector<std::pair<std::string, std::string>> typed;
};
Transcript read_transcript(const std::vector<std::string>& lines, const Names& names);

// Bytes as a session block writes them: two blanks before each line, escapes for what is not
// printable, "{}" after trailing blanks, "{NOLF}" when the last line has no newline; `joined`
// (a bytes block), each newline byte as "{LF}" at the end of its line.
std::string render(const std::string& bytes, bool joined = false);
// An actual standard output as a transcript, its typed lines put back where the expected
// transcript had them for as long as the two agree.
std::string render_transcript(const std::string& actual, const Transcript& expected);

// "" when `got` is `want`; otherwise a message under `what` showing the first line that differs
// and then `shown` (the whole actual text in session form).
std::string differences(const std::string& what, const std::string& want, const std::string& got,
                        const std::string& shown);

// A terminal run's screen block: the text the terminal is to show (screen_text of its bytes)
// and the steps at their places in it: "{<KEYS}" types KEYS, "{size RxC}" sets the size.
struct Screen {
    struct Step {
        std::size_t at = 0;
        std::string source{}, keys{};  // as written; the bytes it types
        int rows = 0, columns = 0;
    };
    std::string out, error;
    std::vector<Step> steps;
};
Screen read_screen(const std::vector<std::string>& lines, const Names& names);
std::string screen_text(std::string bytes);  // a CR LF pair as one line end
// Takes each step once `view` of the output so far begins with all the screen has before it.
// Returns "", or the step before which it waited `timeout_ms` in vain.
std::string drive_terminal(Proc& proc, const Screen& screen,
                           const std::function<std::string(const std::string&)>& view,
                           int timeout_ms);
// An actual screen as a block, with the steps put back where it agrees with the expected one.
std::string render_screen(const std::string& actual, const Screen& expected);

// Plays the session file at `path`, printing each failure. True when every expectation held.
bool play_session(const std::string& path);
