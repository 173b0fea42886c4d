// Temporary folders, organiser trees and the three ways of running orvel: through the simulator
// in run mode, directly, and against a simulator in serve mode. Orvel's binaries and the
// simulator's come from the build (ORVEL_BIN, ORVEL322_BIN, SIM_BIN).
#include "harness.h"

#include <fcntl.h>
#include <ftw.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#ifndef ORVEL322_BIN
#define ORVEL322_BIN ORVEL_BIN
#endif

namespace {

void fail_to_stderr(const std::string& what) {
    std::fprintf(stderr, "%s\n", what.c_str());
}

int make_writable(const char* path, const struct stat* st, int type, struct FTW*) {
    if (type == FTW_D || type == FTW_DNR) chmod(path, (st->st_mode & 07777) | S_IRWXU);
    return 0;
}

int remove_entry(const char* path, const struct stat*, int, struct FTW*) {
    remove(path);
    return 0;
}

void remove_tree(const std::string& path) {
    if (path.empty()) return;
    nftw(path.c_str(), make_writable, 16, FTW_PHYS);
    nftw(path.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS);
}

void make_parents(const std::string& file) {
    for (size_t slash = file.find('/', 1); slash != std::string::npos;
         slash = file.find('/', slash + 1))
        mkdir(file.substr(0, slash).c_str(), 0755);
}

void write_file(const std::string& path, const std::string& bytes) {
    make_parents(path);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) harness_fail("harness: cannot write " + path);
}

std::string read_file(const std::string& path) {
    if (access(path.c_str(), F_OK) != 0) {
        harness_fail("harness: missing file " + path);
        return "";
    }
    return slurp(path);
}

bool file_exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

const char* orvel_binary(const RunSpec& spec) {
    return spec.rev322 ? ORVEL322_BIN : ORVEL_BIN;
}

// Sends the spec's signal when its condition is met, then waits for the end.
void finish_run(Proc& proc, const RunSpec& spec, RunResult* r) {
    auto start = std::chrono::steady_clock::now();
    if (spec.send_signal != 0) {
        bool seen = spec.signal_when_out.empty() ||
                    proc.wait_for_out(spec.signal_when_out, spec.timeout_ms);
        if (seen && proc.running()) {
            proc.wait_until([] { return false; }, spec.signal_delay_ms);
            proc.send(spec.send_signal);
        }
    }
    auto used = std::chrono::duration_cast<std::chrono::milliseconds>(
                    std::chrono::steady_clock::now() - start)
                    .count();
    proc.finish(std::max(1, spec.timeout_ms - static_cast<int>(used)), r);
}

void fill_from_trace(RunResult* r, const std::string& trace, const std::string& stats) {
    r->trace = trace;
    parse_trace(trace, &r->from_yal, &r->to_yal, &r->notes);
    r->stats = parse_stats(stats);
}

}  // namespace

void (*harness_fail)(const std::string& what) = fail_to_stderr;

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// ---- TempDir, OrganiserTree -------------------------------------------------------------------

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/orvel-e2e-XXXXXX";
    if (mkdtemp(tmpl.data()) == nullptr) harness_fail("harness: mkdtemp failed for " + tmpl);
    path = tmpl;
}

TempDir::~TempDir() {
    remove_tree(path);
}
std::string TempDir::file(const std::string& rel) {
    return path + "/" + rel;
}
void TempDir::write(const std::string& rel, const std::string& bytes) {
    write_file(file(rel), bytes);
}
std::string TempDir::read(const std::string& rel) {
    return read_file(file(rel));
}
bool TempDir::exists(const std::string& rel) {
    return file_exists(file(rel));
}

OrganiserTree::OrganiserTree() : dir_(new TempDir) {
    root = dir_->path;
    for (const char* drive : {"a", "b", "c", "m"}) mkdir(host(drive).c_str(), 0755);
}

OrganiserTree::~OrganiserTree() = default;
std::string OrganiserTree::host(const std::string& rel) {
    return root + "/" + rel;
}
void OrganiserTree::write(const std::string& rel, const std::string& bytes) {
    write_file(host(rel), bytes);
}
std::string OrganiserTree::read(const std::string& rel) {
    return read_file(host(rel));
}
bool OrganiserTree::exists(const std::string& rel) {
    return file_exists(host(rel));
}

// ---- Runs -----------------------------------------------------------------------------------

RunResult run_orvel(const RunSpec& spec) {
    TempDir files;
    std::vector<std::string> argv = {
        SIM_BIN,   "--root",           spec.root, "--trace", files.file("trace"),
        "--stats", files.file("stats")};
    argv.insert(argv.end(), spec.simargs.begin(), spec.simargs.end());
    argv.push_back("--");
    argv.push_back(orvel_binary(spec));
    argv.insert(argv.end(), spec.args.begin(), spec.args.end());
    RunResult r;
    if (spec.root.empty()) harness_fail("harness: run_orvel needs an organiser root");
    Proc proc(argv, spec);
    proc.finish(spec.timeout_ms, &r);
    fill_from_trace(&r, slurp(files.file("trace")), slurp(files.file("stats")));
    return r;
}

RunResult run_orvel_direct(const RunSpec& spec) {
    std::vector<std::string> argv = {orvel_binary(spec)};
    argv.insert(argv.end(), spec.args.begin(), spec.args.end());
    RunResult r;
    Proc proc(argv, spec);
    finish_run(proc, spec, &r);
    return r;
}

// ---- ServedSim --------------------------------------------------------------------------------

ServedSim::ServedSim(const std::string& root, std::vector<std::string> simargs, bool record)
    : dir_(new TempDir) {
    trace_path = dir_->file("trace");
    stats_path = dir_->file("stats");
    std::vector<std::string> argv = {SIM_BIN, "--root", root};
    if (record) argv.insert(argv.end(), {"--trace", trace_path, "--stats", stats_path});
    argv.insert(argv.end(), simargs.begin(), simargs.end());
    RunSpec spec;
    spec.cwd = dir_->path;
    spec.stdout_file = dir_->file("sim.out");
    spec.stderr_file = dir_->file("sim.err");
    sim_.reset(new Proc(argv, spec));
    std::string first;
    bool ok = sim_->wait_until(
        [&] {
            first = slurp(spec.stdout_file);
            return first.find('\n') != std::string::npos;
        },
        10000);
    if (!ok) {
        harness_fail("harness: the simulator printed no device path; its errors: " + sim_err());
        return;
    }
    pty = first.substr(0, first.find('\n'));
}

ServedSim::~ServedSim() {
    if (sim_ && sim_->running()) {
        kill(-sim_->pid(), SIGTERM);
        RunResult ignored;
        sim_->finish(3000, &ignored);  // kills the group if it lingers
    }
}

std::string ServedSim::trace() {
    return slurp(trace_path);
}
std::string ServedSim::sim_err() {
    return slurp(dir_->file("sim.err"));
}
pid_t ServedSim::sim_pid() const {
    return sim_ ? sim_->pid() : -1;
}

size_t ServedSim::trace_size() {
    struct stat st;
    return stat(trace_path.c_str(), &st) == 0 ? static_cast<size_t>(st.st_size) : 0;
}

// The simulator traces what it reads a moment after orvel wrote it: wait until the trace has
// been still for a while (at most 1.5 s).
void ServedSim::settle_trace() {
    size_t last = trace_size();
    int still = 0;
    for (int waited = 0; waited < 1500 && still < 150; waited += 10, still += 10) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        size_t now = trace_size();
        if (now != last) still = 0;
        last = now;
    }
}

std::unique_ptr<Proc> ServedSim::start(const RunSpec& spec) {
    std::vector<std::string> argv = {orvel_binary(spec), "-d", pty};
    argv.insert(argv.end(), spec.args.begin(), spec.args.end());
    return std::make_unique<Proc>(argv, spec);
}

RunResult ServedSim::collect(Proc& proc, const RunSpec& spec, size_t trace_offset) {
    RunResult r;
    finish_run(proc, spec, &r);
    settle_trace();
    std::string all = trace();
    fill_from_trace(&r, trace_offset < all.size() ? all.substr(trace_offset) : "",
                    slurp(stats_path));
    return r;
}

RunResult ServedSim::run(RunSpec spec) {
    settle_trace();
    size_t offset = trace_size();
    std::unique_ptr<Proc> proc = start(spec);
    return collect(*proc, spec, offset);
}

// ---- Terminal settings ------------------------------------------------------------------------

bool device_settings(const std::string& path, struct termios* out) {
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = tcgetattr(fd, out) == 0;
    close(fd);
    return ok;
}

std::string settings_diff(const struct termios& a, const struct termios& b) {
    char buf[160];
    auto differs = [&](const char* what, unsigned long x, unsigned long y) {
        if (x == y) return false;
        std::snprintf(buf, sizeof buf, "%s differs: 0%lo before, 0%lo after", what, x, y);
        return true;
    };
    if (differs("c_iflag", a.c_iflag, b.c_iflag) || differs("c_oflag", a.c_oflag, b.c_oflag) ||
        differs("c_cflag", a.c_cflag, b.c_cflag) || differs("c_lflag", a.c_lflag, b.c_lflag) ||
        differs("input speed", cfgetispeed(&a), cfgetispeed(&b)) ||
        differs("output speed", cfgetospeed(&a), cfgetospeed(&b)))
        return buf;
    return "";
}
