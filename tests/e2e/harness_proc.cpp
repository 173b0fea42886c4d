// Proc: one child process with piped standard streams in its own process group, pumped with
// poll against a deadline. The group is killed at the deadline and when the Proc is destroyed
// with the child still running, so no test can leave anything behind.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>

#include "harness.h"

namespace {

using Clock = std::chrono::steady_clock;

double elapsed_s(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

int elapsed_ms(Clock::time_point since) {
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

void close_fd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

// The environment of the child: ours, with the spec's overrides and a default HOME.
std::vector<std::string> child_env(const RunSpec& spec, const std::string& home) {
    std::map<std::string, std::string> vars;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        size_t eq = entry.find('=');
        if (eq != std::string::npos) vars[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    vars["HOME"] = home;
    for (const auto& [k, v] : spec.env) vars[k] = v;
    std::vector<std::string> out;
    for (const auto& [k, v] : vars) out.push_back(k + "=" + v);
    return out;
}

std::vector<char*> c_vector(std::vector<std::string>& words) {
    std::vector<char*> v;
    for (auto& w : words) v.push_back(w.data());
    v.push_back(nullptr);
    return v;
}

// In the child after fork: only async-signal-safe calls.
[[noreturn]] void exec_child(int in, int out, int err, const char* cwd, char** argv, char** envp) {
    setpgid(0, 0);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    signal(SIGPIPE, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    if (chdir(cwd) != 0) _exit(126);
    execve(argv[0], argv, envp);
    const char msg[] = "harness: exec failed\n";
    ssize_t ignored = write(2, msg, sizeof msg - 1);
    (void)ignored;
    _exit(127);
}

// A pipe for an output stream, or (with a file name) the file as the write end and no read end.
bool open_sink(const std::string& file, int fds[2]) {
    if (file.empty()) return pipe2(fds, O_CLOEXEC) == 0;
    fds[0] = -1;
    fds[1] = open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    return fds[1] >= 0;
}

// Starts argv in its own process group with its standard streams on new pipes (or the spec's
// files). Fills `fds` with the parent's non-blocking ends (stdin, stdout, stderr; -1 for a
// stream that goes to a file). Returns the pid, or -1 with nothing left open.
pid_t spawn(const std::vector<std::string>& argv, const RunSpec& spec, const std::string& cwd,
            const std::string& home, int fds[3]) {
    std::vector<std::string> args = argv, env = child_env(spec, home);
    std::vector<char*> cargs = c_vector(args), cenv = c_vector(env);
    int pin[2] = {-1, -1}, pout[2] = {-1, -1}, perr[2] = {-1, -1};
    pid_t pid = -1;
    if (pipe2(pin, O_CLOEXEC) == 0 && open_sink(spec.stdout_file, pout) &&
        open_sink(spec.stderr_file, perr))
        pid = fork();
    if (pid == 0) exec_child(pin[0], pout[1], perr[1], cwd.c_str(), cargs.data(), cenv.data());
    if (pid > 0) setpgid(pid, pid);  // also here, so a kill right away reaches the group
    for (int fd : {pin[0], pout[1], perr[1]}) close_fd(fd);
    fds[0] = pin[1];
    fds[1] = pout[0];
    fds[2] = perr[0];
    for (int i = 0; i < 3; ++i) {
        if (pid < 0) close_fd(fds[i]);
        if (fds[i] >= 0) fcntl(fds[i], F_SETFL, O_NONBLOCK);
    }
    return pid;
}

}  // namespace

struct Proc::Impl {
    int in = -1, out = -1, err = -1;
    std::string pending;  // input not yet written
    bool close_when_written = true;
    Clock::time_point started = Clock::now();
    double wall = 0;
    std::vector<std::pair<double, size_t>> arrivals;  // see RunResult::out_arrivals
    struct rusage usage = {};
    std::optional<TempDir> cwd_dir, home_dir;
};

Proc::Proc(const std::vector<std::string>& argv, const RunSpec& spec) : impl_(new Impl) {
    signal(SIGPIPE, SIG_IGN);  // a child that stops reading must not kill the harness
    if (spec.cwd.empty()) impl_->cwd_dir.emplace();
    impl_->home_dir.emplace();
    std::string cwd = spec.cwd.empty() ? impl_->cwd_dir->path : spec.cwd;
    impl_->started = Clock::now();
    int fds[3] = {-1, -1, -1};
    pid_ = spawn(argv, spec, cwd, impl_->home_dir->path, fds);
    if (pid_ < 0) {
        harness_fail("harness: cannot start " + argv[0]);
        reaped_ = true;
        status_ = 127;
        return;
    }
    impl_->in = fds[0];
    impl_->out = fds[1];
    impl_->err = fds[2];
    impl_->pending = spec.input;
    impl_->close_when_written = !spec.keep_stdin_open;
    pump(0);
}

Proc::~Proc() {
    if (!reaped_ && pid_ > 0) {
        kill(-pid_, SIGKILL);
        reap(0);
    }
    close_fd(impl_->in);
    close_fd(impl_->out);
    close_fd(impl_->err);
}

void Proc::write_input(const std::string& bytes) {
    impl_->pending += bytes;
}

void Proc::close_input() {
    impl_->close_when_written = true;
    if (impl_->pending.empty()) close_fd(impl_->in);
}

void Proc::send(int sig) {
    if (!reaped_ && pid_ > 0) kill(pid_, sig);
}

// Collects the child's status when it has ended (or waits for it with options 0).
void Proc::reap(int options) {
    if (reaped_ || pid_ <= 0) return;
    int st = 0;
    pid_t r;
    do r = wait4(pid_, &st, options, &impl_->usage);
    while (r < 0 && errno == EINTR);
    if (r != pid_) return;
    reaped_ = true;
    impl_->wall = elapsed_s(impl_->started);
    status_ = WIFEXITED(st) ? WEXITSTATUS(st) : WIFSIGNALED(st) ? 128 + WTERMSIG(st) : -1;
}

// One round: write what input we can, read what output there is, waiting at most wait_ms.
void Proc::pump(int wait_ms) {
    Impl& m = *impl_;
    if (m.in >= 0 && m.pending.empty() && m.close_when_written) close_fd(m.in);
    struct pollfd fds[3];
    int n = 0;
    if (m.out >= 0) fds[n++] = {m.out, POLLIN, 0};
    if (m.err >= 0) fds[n++] = {m.err, POLLIN, 0};
    if (m.in >= 0 && !m.pending.empty()) fds[n++] = {m.in, POLLOUT, 0};
    if (n == 0) {
        if (wait_ms > 0) usleep(std::min(wait_ms, 5) * 1000);
        return;
    }
    if (poll(fds, n, wait_ms) <= 0) return;
    for (int i = 0; i < n; ++i) {
        if (fds[i].revents == 0) continue;
        if (fds[i].fd == m.in) {
            ssize_t w = write(m.in, m.pending.data(), m.pending.size());
            if (w > 0) m.pending.erase(0, static_cast<size_t>(w));
            if (w < 0 && errno != EAGAIN && errno != EINTR) {
                m.pending.clear();
                close_fd(m.in);
            }
            continue;
        }
        char buf[65536];
        ssize_t r = read(fds[i].fd, buf, sizeof buf);
        if (r > 0 && fds[i].fd == m.out) {
            out_.append(buf, static_cast<size_t>(r));
            m.arrivals.emplace_back(elapsed_s(m.started), out_.size());
        }
        if (r > 0 && fds[i].fd == m.err) err_.append(buf, static_cast<size_t>(r));
        if (r == 0 || (r < 0 && errno != EAGAIN && errno != EINTR))
            close_fd(fds[i].fd == m.out ? m.out : m.err);
    }
}

bool Proc::wait_until(const std::function<bool()>& pred, int timeout_ms) {
    Clock::time_point start = Clock::now();
    for (;;) {
        if (pred()) return true;
        if (reaped_ || elapsed_ms(start) >= timeout_ms) return false;
        pump(std::max(1, std::min(20, timeout_ms - elapsed_ms(start))));
        reap(WNOHANG);
        if (reaped_) pump(0);
    }
}

bool Proc::wait_for_out(const std::string& text, int timeout_ms) {
    return wait_until([&] { return out_.find(text) != std::string::npos; }, timeout_ms);
}

void Proc::finish(int timeout_ms, RunResult* r) {
    Impl& m = *impl_;
    Clock::time_point start = Clock::now();
    // Until it exits, then until its pipes close (a grandchild may still hold them: 1 s more).
    while (!reaped_ && elapsed_ms(start) < timeout_ms) {
        pump(20);
        reap(WNOHANG);
    }
    if (!reaped_) {
        r->timed_out = true;
        kill(-pid_, SIGKILL);
        reap(0);
    }
    Clock::time_point exited = Clock::now();
    while ((m.out >= 0 || m.err >= 0) && elapsed_ms(exited) < 1000) pump(20);
    if (m.out >= 0 || m.err >= 0) kill(-pid_, SIGKILL);
    r->status = status_;
    r->out = out_;
    r->err = err_;
    r->wall_seconds = m.wall;
    r->cpu_seconds = m.usage.ru_utime.tv_sec + m.usage.ru_utime.tv_usec / 1e6 +
                     m.usage.ru_stime.tv_sec + m.usage.ru_stime.tv_usec / 1e6;
    r->maxrss_kb = m.usage.ru_maxrss;
    r->out_arrivals = m.arrivals;
}
