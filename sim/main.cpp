// tavlin-sim: the simulated organiser. main reads as the start-up sequence; everything it calls
// lives in the simcore library.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "options.h"
#include "simfs.h"
#include "simlink.h"
#include "simpty.h"
#include "simresult.h"
#include "simulator.h"

namespace {

volatile sig_atomic_t g_signal = 0;

void on_signal(int sig) {
    g_signal = sig;
}

void install_signals() {
    struct sigaction sa = {};
    sa.sa_handler = on_signal;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &sa, nullptr);
}

// The workstation program of run mode and how it ended.
struct Child {
    pid_t pid = -1;
    bool ended = false;
    int status = 0;

    // True once the program has ended. SIGTERM and SIGHUP are passed on to it; SIGINT from
    // the terminal reaches it directly, so it is not sent again.
    bool poll() {
        if (g_signal == SIGTERM || g_signal == SIGHUP) kill(pid, g_signal);
        g_signal = 0;
        if (!ended && waitpid(pid, &status, WNOHANG) == pid) ended = true;
        return ended;
    }
    int wait() {
        while (!ended && waitpid(pid, &status, 0) < 0) {
        }
        ended = true;
        return sim::shell_status(status);
    }
};

int usage_error(const std::string& err) {
    std::fprintf(stderr, "tavlin-sim: %s\n(tavlin-sim --help for usage)\n", err.c_str());
    return 2;
}

int open_line(const sim::Options& o, int* fd, int* slave_keep, std::string* path) {
    std::string err;
    int r = sim::kDone;
    if (!o.device.empty()) {
        r = sim::open_device(o.device, o.baud, fd, &err);
        *path = o.device;
    } else {
        r = sim::open_pty(fd, slave_keep, path, &err);
    }
    if (r != sim::kDone) std::fprintf(stderr, "tavlin-sim: %s\n", err.c_str());
    return r;
}

// The link first, so that whoever reads the path line finds the link in place.
void announce_path(const sim::Options& o, const std::string& path) {
    if (!o.link.empty()) {
        unlink(o.link.c_str());
        if (symlink(path.c_str(), o.link.c_str()) != 0) {
            std::fprintf(stderr, "tavlin-sim: cannot make the link %s\n", o.link.c_str());
        }
    }
    std::printf("%s\n", path.c_str());
    std::fflush(stdout);
}

sim::SimConfig sim_config(const sim::Options& o) {
    sim::SimConfig c;
    c.release = o.release;
    c.release_none = o.release_none;
    c.online = o.online;
    c.replies = o.replies;
    for (const auto& [path, entries] : o.listings) c.listings[sim::listing_key(path)] = entries;
    c.device = !o.device.empty();
    c.procs = o.procs;
    return c;
}

sim::LinkQuirks link_quirks(const sim::Options& o) {
    sim::LinkQuirks q;
    q.pad_blank = o.pad_blank;
    q.ack = o.ack;
    q.prompt = o.prompt;
    q.junk = o.junk;
    q.mute_after = o.mute_after;
    return q;
}

}  // namespace

int main(int argc, char** argv) {
    // 1. Read the command line.
    sim::Options o;
    std::string err;
    if (sim::parse_options(argc, argv, &o, &err) != sim::kDone) return usage_error(err);
    if (o.help) {
        std::fputs(sim::help_text(), stdout);
        return 0;
    }
    // 2. Lay out the drives under the root.
    sim::SimFs fs(o.root);
    if (fs.init(&err) != sim::kDone) return usage_error(err);
    // 3. Open the trace.
    sim::Trace trace;
    if (!o.trace_path.empty() && !trace.open(o.trace_path)) {
        return usage_error("cannot open the trace file " + o.trace_path);
    }
    // 4. Open the line: an existing device or a new pseudo-terminal.
    int fd = -1, slave_keep = -1;
    std::string path;
    if (open_line(o, &fd, &slave_keep, &path) != sim::kDone) return 1;
    install_signals();
    sim::OpenWatch watch;
    if (o.device.empty()) watch.start(path);
    // 5. Run mode starts the workstation program on the line; serve mode tells where it is.
    Child child;
    if (!o.child.empty()) {
        child.pid = sim::spawn_with_device(o.child, path, &err);
        if (child.pid < 0) return usage_error(err);
    } else {
        announce_path(o, path);
    }
    // 6. Serve until stopped, hung up, or the program has ended.
    sim::Line line(fd, o.baud, &trace);
    line.set_stop([&child] { return child.pid > 0 ? child.poll() : g_signal != 0; });
    sim::Faults faults(o.faults);
    sim::Link link(line, faults, link_quirks(o), o.stats_path);
    link.write_stats();
    sim::Simulator simulator(sim_config(o), link, fs);
    simulator.set_watch(&watch);
    simulator.run();
    link.write_stats();
    // 7. Clean up; run mode passes on the program's exit status.
    if (!o.link.empty() && o.child.empty()) unlink(o.link.c_str());
    line.close_line();
    if (slave_keep >= 0) close(slave_keep);
    return child.pid > 0 ? child.wait() : 0;
}
