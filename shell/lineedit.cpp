// The prompt's line reader: libedit on a terminal, the plain reader everywhere else.
#include "lineedit.h"

#include <unistd.h>

#include <cstdio>

#include "ovmain.h"

#ifdef ORVEL_LIBEDIT
#include <histedit.h>
#include <locale.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <cwchar>

#include "complete.h"
#include "histfile.h"
#endif

bool interactiveterminal() {
    static const bool yes = isatty(0) == 1 && isatty(1) == 1;
    return yes;
}

namespace {

LineRead plainread(std::string& line) {
    if (linecmd) {
        std::printf("%d, CMD> ", level);
        std::fflush(stdout);
    }
    return readcmdline(stdin, line);
}

}  // namespace

#ifndef ORVEL_LIBEDIT

LineRead promptread(std::string& line) {
    return plainread(line);
}

#else

namespace {

struct Editor {
    EditLine* el = nullptr;
    History* hist = nullptr;
    locale_t userlocale = nullptr;  // the user's character set, for the editor alone
    std::string histfile;           // empty: no history file
    std::string lastentry;          // the newest history line
    bool discarded = false;         // Ctrl-C ended the read
};
Editor ed;

volatile sig_atomic_t interrupted = 0, resized = 0, continued = 0;
struct termios usersettings;  // the terminal before the editor changed it
constexpr int kEndingSignals[] = {SIGTERM, SIGHUP, SIGQUIT};
struct sigaction ending[3];  // their actions outside the read
struct sigaction stopping;   // SIGTSTP's action outside the read (the link's)

void oninterrupt(int) {
    interrupted = 1;
}
void onresize(int) {
    resized = 1;
}

// Gives the terminal back as it was, then lets the action in force outside the read end the
// program (it restores the serial line). Async-signal-safe.
void onending(int sig) {
    tcsetattr(0, TCSANOW, &usersettings);
    for (int i = 0; i < 3; ++i)
        if (kEndingSignals[i] == sig) sigaction(sig, &ending[i], nullptr);
    raise(sig);
}

// A stop at the prompt (Ctrl-Z): the terminal gets the user's settings back, the action in
// force outside the read stops the program (the link's gives the line back first; a default
// action is a plain stop), and once the program goes on the editor's settings are back and
// readkey redraws the prompt and the line. An ignored stop changes nothing. Async-signal-safe.
void onstop(int sig) {
    if (stopping.sa_handler == SIG_IGN) return;
    const int saved = errno;
    struct termios editing;
    const bool editor = tcgetattr(0, &editing) == 0;
    tcsetattr(0, TCSANOW, &usersettings);
    if (stopping.sa_handler == SIG_DFL)
        raise(SIGSTOP);
    else
        stopping.sa_handler(sig);  // returns once continued
    if (editor) tcsetattr(0, TCSANOW, &editing);
    continued = 1;
    errno = saved;
}

void handle(int sig, void (*handler)(int), struct sigaction* old) {
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    sigaction(sig, &sa, old);
}

// The signal handling of the prompt, in force only while a line is read: a command that runs
// keeps the program's own handling (SIGINT restores the line and ends the program; SIGTSTP
// gives the line back and stops until SIGCONT).
class PromptSignals {
  public:
    PromptSignals() {
        tcgetattr(0, &usersettings);
        interrupted = 0;
        resized = 0;
        continued = 0;
        handle(SIGINT, oninterrupt, &oldint_);
        handle(SIGWINCH, onresize, &oldwinch_);
        handle(SIGTSTP, onstop, &stopping);
        for (int i = 0; i < 3; ++i) handle(kEndingSignals[i], onending, &ending[i]);
    }
    ~PromptSignals() {
        sigaction(SIGINT, &oldint_, nullptr);
        sigaction(SIGWINCH, &oldwinch_, nullptr);
        sigaction(SIGTSTP, &stopping, nullptr);
        for (int i = 0; i < 3; ++i) sigaction(kEndingSignals[i], &ending[i], nullptr);
    }
    PromptSignals(const PromptSignals&) = delete;
    PromptSignals& operator=(const PromptSignals&) = delete;

  private:
    struct sigaction oldint_, oldwinch_;
};

// The user's character set while the editor decodes keys and names; "C" for the rest.
class UserLocale {
  public:
    UserLocale() : old_(uselocale(ed.userlocale)) {}
    ~UserLocale() { uselocale(old_); }
    UserLocale(const UserLocale&) = delete;
    UserLocale& operator=(const UserLocale&) = delete;

  private:
    locale_t old_;
};

const char* prompttext(EditLine*) {
    static char text[32];
    std::snprintf(text, sizeof text, "%d, CMD> ", level);
    return text;
}

// One key for the editor, read byte by byte so that standard input keeps the rest. A Ctrl-C,
// typed or signalled, reads as ^C, which discardline is bound to. After a stop, the prompt and
// the line are drawn again first.
int readkey(EditLine* el, wchar_t* out) {
    std::mbstate_t state{};
    for (;;) {
        if (interrupted) {
            interrupted = 0;
            *out = 3;
            return 1;
        }
        if (resized) {
            resized = 0;
            el_resize(el);
        }
        if (continued) {  // from the start of the line the cursor is on
            continued = 0;
            std::fputs("\r", stdout);
            el_set(el, EL_REFRESH);
        }
        struct pollfd p = {0, POLLIN, 0};
        if (poll(&p, 1, -1) < 0 && errno != EINTR) return -1;
        if (!(p.revents & (POLLIN | POLLHUP | POLLERR))) continue;
        char byte;
        ssize_t n = read(0, &byte, 1);
        if (n == 0) return 0;
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            return -1;
        }
        std::size_t used = std::mbrtowc(out, &byte, 1, &state);
        if (used == static_cast<std::size_t>(-2)) continue;  // more bytes of one character
        if (used == static_cast<std::size_t>(-1)) *out = static_cast<unsigned char>(byte);
        return 1;
    }
}

unsigned char discardline(EditLine*, int) {
    ed.discarded = true;
    return CC_NEWLINE;
}

// Shows the candidates below the line in columns, as wide as the terminal allows.
void listcandidates(const Completion& c) {
    std::vector<std::string> names;
    std::size_t widest = 1;
    for (const Candidate& cand : c.candidates) {
        names.push_back(candidatename(cand));
        widest = std::max(widest, names.back().size());
    }
    struct winsize ws;
    std::size_t width = ioctl(1, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0 ? ws.ws_col : 80;
    std::size_t across = std::max<std::size_t>(1, (width + 1) / (widest + 2));
    std::size_t rows = (names.size() + across - 1) / across;
    std::string out = "\n";
    for (std::size_t r = 0; r < rows; ++r) {
        for (std::size_t k = 0; k < across && k * rows + r < names.size(); ++k) {
            if (k > 0) out += std::string(widest + 2 - names[(k - 1) * rows + r].size(), ' ');
            out += names[k * rows + r];
        }
        out += "\n";
    }
    std::fputs(out.c_str(), stdout);
    std::fflush(stdout);
}

unsigned char completeword(EditLine* el, int) {
    const LineInfo* li = el_line(el);
    const std::string before(li->buffer, static_cast<std::size_t>(li->cursor - li->buffer));
    const Completion c = completeline(before);
    const std::string typed = before.substr(c.start);
    const TabEdit edit = tabedit(typed, c);
    if (edit.list) {
        listcandidates(c);
        return CC_REDISPLAY;
    }
    if (edit.replacement == typed) return CC_REFRESH_BEEP;
    std::size_t chars = std::mbstowcs(nullptr, typed.c_str(), 0);
    if (chars == static_cast<std::size_t>(-1)) chars = typed.size();
    if (chars > 0) el_deletestr(el, static_cast<int>(chars));
    return el_insertstr(el, edit.replacement.c_str()) == 0 ? CC_REFRESH : CC_ERROR;
}

void bindkeys(EditLine* el) {
    el_set(el, EL_ADDFN, "orvel-complete", "Complete a command, variable or path", completeword);
    el_set(el, EL_ADDFN, "orvel-discard", "Discard the line and prompt again", discardline);
    el_set(el, EL_BIND, "^I", "orvel-complete", nullptr);
    el_set(el, EL_BIND, "^C", "orvel-discard", nullptr);
    el_set(el, EL_BIND, "^R", "em-inc-search-prev", nullptr);
}

void loadhistory() {
    HistEvent ev;
    history(ed.hist, &ev, H_SETSIZE, static_cast<int>(kHistoryMax));
    history(ed.hist, &ev, H_SETUNIQUE, 1);
    std::string path = historypath();
    if (path.empty() || !historyusable(path)) return;
    ed.histfile = path;
    for (const std::string& line : historyload(path)) {
        history(ed.hist, &ev, H_ENTER, line.c_str());
        ed.lastentry = line;
    }
}

// Emacs keys, then the user's ~/.editrc, then the keys of our own that nothing overrides.
bool starteditor() {
    ed.userlocale = newlocale(LC_CTYPE_MASK, "", nullptr);
    if (!ed.userlocale) ed.userlocale = newlocale(LC_CTYPE_MASK, "C", nullptr);
    if (!ed.userlocale) return false;
    UserLocale scope;
    ed.el = el_init("orvel", stdin, stdout, stderr);
    ed.hist = ed.el ? history_init() : nullptr;
    if (!ed.hist) return false;
    loadhistory();
    el_set(ed.el, EL_EDITOR, "emacs");
    el_set(ed.el, EL_HIST, history, ed.hist);
    el_set(ed.el, EL_PROMPT, prompttext);
    el_source(ed.el, nullptr);
    el_wset(ed.el, EL_GETCFN, readkey);
    bindkeys(ed.el);
    return true;
}

bool editorready() {
    static const bool ready = interactiveterminal() && starteditor();
    return ready;
}

// A line joins the history only when the dispatcher will take it.
void remember(std::string entry) {
    trimtrailing(entry);
    std::vector<std::string> words;
    if (entry.find_first_not_of(" \t\n\v\f\r") == std::string::npos ||
        splitwords(entry, words) != SplitResult::kOk || entry == ed.lastentry)
        return;
    HistEvent ev;
    history(ed.hist, &ev, H_ENTER, entry.c_str());
    ed.lastentry = entry;
    if (!ed.histfile.empty()) historyappend(ed.histfile, entry);
}

LineRead editorread(std::string& line) {
    for (;;) {
        int count = 0;
        const char* text;
        {
            UserLocale scope;
            PromptSignals signals;
            // The editor's settings before the prompt shows, so that no key typed after it is
            // echoed twice (by the terminal, then by the editor).
            el_set(ed.el, EL_PREP_TERM, 1);
            text = el_gets(ed.el, &count);
        }
        if (ed.discarded) {
            ed.discarded = false;
            std::fputs("^C\n", stdout);
            continue;
        }
        if (!text || count <= 0) {
            std::fputs("\n", stdout);  // the pause message starts a line of its own
            return LineRead::kEnd;
        }
        line.assign(text, static_cast<std::size_t>(count));
        if (line.back() != '\n') line += '\n';
        if (line.size() - 1 > kMaxLineLen) {
            line.clear();
            return LineRead::kTooLong;
        }
        remember(line);
        return LineRead::kLine;
    }
}

}  // namespace

LineRead promptread(std::string& line) {
    if (editorready()) return editorread(line);
    return plainread(line);
}

#endif
