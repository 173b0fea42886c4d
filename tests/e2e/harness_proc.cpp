// Proc: one child process with piped standard streams in its own process group, pumped with
// poll against a deadline. The group is killed at the deadline and when the Proc is destroyed
// with the child still running, so no test can leave anything behind.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "harness.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

void close_fd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

// The environment of the child: the RunSpec's entries, a HOME unless given, then ours but for
// the names already there (the first entry of a name wins).
std::vector<std::string> child_env(const RunSpec& spec, const std::string& home) {
    std::vector<std::string> out;
    auto add = [&](const std::string& e) {
        for (const std::string& o : out)
            if (o.substr(0, o.find('=')) == e.substr(0, e.find('='))) return;
        out.push_back(e);
    };
    for (const std::string& e : spec.env) add(e);
    add("HOME=" + home);
    for (char** e = environ; *e; ++e) add(*e);
    return out;
}

std::vector<char*> c_vector(std::vector<std::string>& words) {
    std::vector<char*> v;
    for (auto& w : words) v.push_back(w.data());
    v.push_back(nullptr);
    return v;
}

// Terminal mode, in the forked child on the terminal: the stand-in shell described in harness.h.
[[noreturn]] void run_as_job(char** argv, char** env) {
    struct termios before = {}, now = {};
    tcgetattr(0, &before);
    const pid_t job = fork();
    if (job == 0) {  // a foreground job of its own, gone with the shell
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        signal(SIGTTOU, SIG_IGN);
        tcsetpgrp(0, getpid());
        signal(SIGTTOU, SIG_DFL);
        execve(argv[0], argv, env);
        _exit(127);
    }
    for (int st; job > 0 && waitpid(job, &st, WUNTRACED) == job; kill(-job, SIGCONT)) {
        if (!WIFSTOPPED(st)) _exit(WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st));
        tcgetattr(0, &now);
        const char* notice = std::memcmp(&now, &before, sizeof now) == 0
                                 ? "\n[stopped, terminal settings restored]\n"
                                 : "\n[stopped, terminal settings not restored]\n";
        if (write(1, notice, std::strlen(notice)) < 0) _exit(127);
    }
    _exit(127);
}

// A fresh terminal of the size the run asks for, in place of the pipes of standard input and
// output: their ends in the child are the terminal (p[0][0]), ours its master twice.
bool terminal_pipes(const RunSpec& spec, int p[3][2]) {
    const struct winsize size = {static_cast<unsigned short>(spec.terminal_rows),
                                 static_cast<unsigned short>(spec.terminal_columns), 0, 0};
    if (openpty(&p[1][0], &p[0][0], nullptr, nullptr, &size) != 0) return false;
    p[0][1] = fcntl(p[1][0], F_DUPFD_CLOEXEC, 0);
    return p[0][1] >= 0 && fcntl(p[0][0], F_SETFD, FD_CLOEXEC) == 0 &&
           fcntl(p[1][0], F_SETFD, FD_CLOEXEC) == 0;
}

// Starts argv in its own process group with its standard streams on new pipes; fills `ours`
// with the parent's non-blocking ends. Returns the pid, or -1 with nothing left open. The
// child makes only async-signal-safe calls.
pid_t spawn(const std::vector<std::string>& argv, const RunSpec& spec, const std::string& cwd,
            const std::string& home, int ours[3]) {
    std::vector<std::string> args = argv, env = child_env(spec, home);
    std::vector<char*> cargs = c_vector(args), cenv = c_vector(env);
    int p[3][2] = {{-1, -1}, {-1, -1}, {-1, -1}};
    pid_t pid = -1;
    const bool terminal = spec.terminal_rows > 0;  // all three streams on one terminal
    const bool err_ok = spec.stderr_terminal
                            ? openpty(&p[2][0], &p[2][1], nullptr, nullptr, nullptr) == 0 &&
                                  fcntl(p[2][0], F_SETFD, FD_CLOEXEC) == 0 &&
                                  fcntl(p[2][1], F_SETFD, FD_CLOEXEC) == 0
                            : pipe2(p[2], O_CLOEXEC) == 0;  // unused on a terminal
    if ((terminal ? terminal_pipes(spec, p)
                  : pipe2(p[0], O_CLOEXEC) == 0 && pipe2(p[1], O_CLOEXEC) == 0) &&
        err_ok)
        pid = fork();
    int theirs[3] = {p[0][0], p[1][1], p[2][1]};
    if (pid == 0) {
        if (terminal) setsid(), ioctl(theirs[0], TIOCSCTTY, 0);
        if (!terminal) setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGKILL);  // gone with the harness, even if it crashes
        for (int i = 0; i < 3; ++i) dup2(theirs[terminal ? 0 : i], i);
        const int full = spec.stdout_full ? open("/dev/full", O_WRONLY | O_CLOEXEC) : -1;
        if (full >= 0) dup2(full, 1);
        signal(SIGPIPE, SIG_DFL);  // ignored in the harness, which an exec would pass on
        const struct rlimit limit = {static_cast<rlim_t>(spec.file_size_limit),
                                     static_cast<rlim_t>(spec.file_size_limit)};
        if (spec.file_size_limit > 0 && setrlimit(RLIMIT_FSIZE, &limit) == 0)
            signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead
        if (chdir(cwd.c_str()) != 0) _exit(127);
        if (terminal) run_as_job(cargs.data(), cenv.data());
        execve(cargs[0], cargs.data(), cenv.data());
        _exit(127);
    }
    if (pid > 0 && !terminal) setpgid(pid, pid);  // also here, so a kill reaches the group
    for (int i = 0; i < 3; ++i) {
        close_fd(theirs[i]);
        ours[i] = i == 0 ? p[0][1] : p[i][0];
        if (pid < 0) close_fd(ours[i]);
        if (ours[i] >= 0) fcntl(ours[i], F_SETFL, O_NONBLOCK);
    }
    return pid;
}

}  // namespace

struct Proc::Impl {
    int fds[3] = {-1, -1, -1};  // our ends of its standard input, output and error
    std::string pending;        // input not yet written
    bool close_when_written = true;
    Clock::time_point started = Clock::now();
    double wall = 0;
    std::vector<std::pair<double, size_t>> arrivals;  // see RunResult::out_arrivals
    struct rusage usage = {};
    TempDir cwd_dir, home_dir;
};

Proc::Proc(const std::vector<std::string>& argv, const RunSpec& spec) : impl_(new Impl) {
    signal(SIGPIPE, SIG_IGN);  // a child that stops reading must not kill the harness
    const std::string& cwd = spec.cwd.empty() ? impl_->cwd_dir.path : spec.cwd;
    pid_ = spawn(argv, spec, cwd, impl_->home_dir.path, impl_->fds);
    reaped_ = pid_ < 0;
    if (reaped_) harness_fail("harness: cannot start " + argv[0]);
    status_ = reaped_ ? 127 : -1;
    impl_->pending = spec.input;
    impl_->close_when_written = !spec.keep_stdin_open && spec.terminal_rows == 0;
    pump(0);
}

Proc::~Proc() {
    if (!reaped_) kill(-pid_, SIGKILL);
    reap(0);
    for (int& fd : impl_->fds) close_fd(fd);
}

void Proc::write_input(const std::string& bytes, bool then_close) {
    impl_->pending += bytes;
    impl_->close_when_written = then_close;
    pump(0);
}

void Proc::send(int sig) {
    if (!reaped_) kill(pid_, sig);
}

void Proc::resize(int rows, int columns) {
    const struct winsize size = {static_cast<unsigned short>(rows),
                                 static_cast<unsigned short>(columns), 0, 0};
    ioctl(impl_->fds[1], TIOCSWINSZ, &size);
}

// Collects the child's status when it has ended (or waits for it with options 0).
void Proc::reap(int options) {
    int st = 0;
    pid_t r = -1;
    while (!reaped_ && (r = wait4(pid_, &st, options, &impl_->usage)) < 0 && errno == EINTR) {
    }
    if (reaped_ || r != pid_) return;
    reaped_ = true;
    impl_->wall = seconds_since(impl_->started);
    status_ = WIFEXITED(st) ? WEXITSTATUS(st) : WIFSIGNALED(st) ? 128 + WTERMSIG(st) : -1;
}

// One round: write what input we can, read what output there is, waiting at most wait_ms.
// Descriptors that are closed (-1) or have nothing to write are left out of the poll.
void Proc::pump(int wait_ms) {
    int* fds = impl_->fds;
    std::string& pending = impl_->pending;
    if (pending.empty() && impl_->close_when_written) close_fd(fds[0]);
    struct pollfd p[3] = {
        {pending.empty() ? -1 : fds[0], POLLOUT, 0}, {fds[1], POLLIN, 0}, {fds[2], POLLIN, 0}};
    if (poll(p, 3, wait_ms) <= 0) return;
    ssize_t w = p[0].revents ? write(fds[0], pending.data(), pending.size()) : 0;
    if (w > 0) pending.erase(0, static_cast<size_t>(w));
    if (w < 0 && errno != EAGAIN) pending.clear(), close_fd(fds[0]);  // it stopped reading
    for (int i = 1; i < 3; ++i) {
        char buf[65536];
        ssize_t r = p[i].revents ? read(fds[i], buf, sizeof buf) : -1;
        if (r > 0) (i == 1 ? out_ : err_).append(buf, static_cast<size_t>(r));
        if (r > 0 && i == 1)
            impl_->arrivals.emplace_back(seconds_since(impl_->started), out_.size());
        if (p[i].revents && (r == 0 || (r < 0 && errno != EAGAIN && errno != EINTR)))
            close_fd(fds[i]);
    }
}

bool Proc::wait_until(const std::function<bool()>& pred, int timeout_ms) {
    Clock::time_point start = Clock::now();
    for (;;) {
        if (pred()) return true;
        int left = timeout_ms - static_cast<int>(seconds_since(start) * 1000);
        // Once it has ended, only to read what its pipes still hold.
        if (left <= 0 || (reaped_ && impl_->fds[1] < 0 && impl_->fds[2] < 0)) return false;
        pump(std::min(20, left));
        reap(WNOHANG);
    }
}

void Proc::finish(int timeout_ms, RunResult* r) {
    r->timed_out = !wait_until([&] { return reaped_; }, timeout_ms);
    if (r->timed_out) kill(-pid_, SIGKILL);
    reap(0);
    // Then until its pipes close: a grandchild may still hold them, for 1 s more at most.
    int* fds = impl_->fds;
    wait_until([&] { return fds[1] < 0 && fds[2] < 0; }, 1000);
    if (fds[1] >= 0 || fds[2] >= 0) kill(-pid_, SIGKILL);
    const struct rusage& u = impl_->usage;
    r->status = status_;
    r->out = out_;
    r->err = err_;
    r->wall_seconds = impl_->wall;
    r->cpu_seconds =
        u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec + u.ru_stime.tv_usec / 1e6;
    r->maxrss_kb = u.ru_maxrss;
    r->out_arrivals = impl_->arrivals;
}
