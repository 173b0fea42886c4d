// End-to-end harness: runs the real orvel on a pseudo-terminal against tavlin-sim and collects
// its output, exit status, the wire bytes both ways and the simulator's counters. Every run has
// a deadline, past which its process group is killed. No gtest here (the benchmark uses it too).
#pragma once

#include <sys/types.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// Reports a harness failure (missing file, sim that would not start); to standard error unless
// replaced (the session runner counts them as failures).
extern void (*harness_fail)(const std::string& what);

// A fresh temporary folder, removed with everything in it when destroyed.
struct TempDir {
    TempDir();
    ~TempDir();
    TempDir(TempDir&&) = delete;  // and so no copies either
    std::string path;
    std::string file(const std::string& rel) const { return path + "/" + rel; }
    void write(const std::string& rel, const std::string& bytes);  // creates parent folders
    std::string read(const std::string& rel);  // whole file; harness_fail and "" if missing
    bool exists(const std::string& rel);
    std::vector<std::string> dot_names() const;  // its names that start with "." (leftovers)
};

// A fresh temporary organiser root (the --root folder) with the drive folders a/ b/ c/ m/.
struct OrganiserTree : TempDir {
    OrganiserTree();
    const std::string& root = path;
    std::string host(const std::string& rel) const { return file(rel); }  // e.g. "m/DOCS/A.TXT"
};

class Proc;

// Members all have initializers, so a spec can be written with designators for what it sets.
struct RunSpec {
    std::vector<std::string> args{};     // orvel's arguments (after -d PTY)
    std::string input{};                 // fed to orvel's standard input, then closed
    std::vector<std::string> simargs{};  // extra tavlin-sim options, e.g. {"--release","3.7"}
    std::string root{};                  // organiser root (required for run_orvel)
    std::string cwd{};                   // orvel's working directory (default: a fresh temp dir)
    // Entries "NAME=VALUE" (or just "NAME") first in this order, in place of ours of the same
    // name; HOME is a fresh empty folder unless given (no rc file).
    std::vector<std::string> env{};
    bool rev322 = false;                          // run the revision 3.22 build
    int timeout_ms = 30000;                       // deadline for the whole run
    bool keep_stdin_open = false;                 // write `input` but leave standard input open
    bool stderr_terminal = false;                 // standard error a pseudo-terminal, not a pipe
    int terminal_rows = 0, terminal_columns = 0;  // > 0: terminal mode of this size (see Proc)
    std::function<void(Proc&)> drive{};  // called once the run has started, before it is ended
    long file_size_limit = 0;            // bytes a file may grow to (RLIMIT_FSIZE; SIGXFSZ ignored)
    bool stdout_full = false;            // standard output /dev/full: every write to it fails
};

struct RunResult {
    int status = -1;  // orvel's exit status (128+signal if killed)
    bool timed_out = false;
    std::string out, err;               // orvel's standard output and standard error
    std::string from_yal, to_yal;       // the exact bytes on the wire each way, from the trace
    std::string trace;                  // the raw trace (of this run only, in serve mode)
    std::map<std::string, long> stats;  // the simulator's --stats counters
    double wall_seconds = 0, cpu_seconds = 0;  // start to exit; the direct child's user + system
    long maxrss_kb = 0;                        // peak resident size of the direct child
    std::vector<std::pair<double, size_t>> out_arrivals;  // (seconds, out.size()) per chunk
    // Every whole frame's text both ways in wire order: ('Y', orvel's) or ('T', the organiser's).
    std::vector<std::pair<char, std::string>> frames() const;
    std::vector<std::string> frames_from_yal() const;  // texts of orvel's frames, in order
    long stat(const std::string& key) const;           // stats[key], or 0
};

// Runs SIM_BIN --root R --trace T --stats S [simargs] -- ORVEL_BIN [args] and waits for it.
RunResult run_orvel(const RunSpec& spec);

// A started process with piped standard streams, in its own process group (killed with it when
// the Proc goes). Its pipes are pumped only while one of its member functions runs.
// In terminal mode, a stand-in shell on the terminal runs argv as its foreground job and ends
// with its status (128+N for signal N); when the job stops, it writes "[stopped, terminal settings
// restored]" (or "not restored": not as before the job) on a line, then continues it as fg would.
class Proc {
  public:
    // Starts argv[0] with the RunSpec's input, cwd, env and keep_stdin_open; harness_fail if it
    // cannot be started (then finish() reports status 127).
    Proc(const std::vector<std::string>& argv, const RunSpec& spec);
    ~Proc();

    const std::string& out() const { return out_; }
    const std::string& err() const { return err_; }
    // Pumps until `pred` holds (true), or time runs out or the process has ended and all its
    // output is read (false).
    bool wait_until(const std::function<bool()>& pred, int timeout_ms);
    void send(int sig);                  // to the process itself
    void resize(int rows, int columns);  // terminal mode: SIGWINCH to the foreground job
    // Queues more input (written while pumping); closes standard input after it if `then_close`.
    void write_input(const std::string& bytes, bool then_close = false);
    // Pumps until exit or the deadline (then kills the group) and fills the result's fields.
    void finish(int timeout_ms, RunResult* r);

  private:
    struct Impl;
    void pump(int wait_ms);
    void reap(int options);
    pid_t pid_ = -1;
    bool reaped_ = false;
    int status_ = -1;
    std::string out_, err_;
    std::unique_ptr<Impl> impl_;
};

// A simulator in serve mode for several orvel runs, until destroyed; with `record` false, without
// trace and counters (the benchmark's timing runs: no file written per frame).
struct ServedSim {
    explicit ServedSim(const std::string& root, std::vector<std::string> simargs = {},
                       bool record = true);
    ~ServedSim();                        // SIGTERM to the sim, SIGKILL if it lingers
    std::string pty;                     // slave path
    RunResult run(const RunSpec& spec);  // runs orvel -d pty with spec (spec.root ignored)
    // Starts orvel -d pty [args] without waiting; `collect` finishes it and fills the result,
    // with the trace written since the latest start.
    std::unique_ptr<Proc> start(const RunSpec& spec);
    RunResult collect(Proc& proc, int timeout_ms);
    std::string err(int wait_ms);  // the simulator's standard error, after waiting for more

  private:
    size_t trace_size();
    void settle_trace();
    size_t offset_ = 0;
    TempDir dir_;
    std::unique_ptr<Proc> sim_;
};

std::string slurp(const std::string& path);
// `n` bytes from a Mersenne twister seeded with `seed`: the same bytes on every run.
std::string random_bytes(std::size_t n, unsigned seed);
// The trace's byte records in order: ('Y' or 'T', the bytes of that one read or write).
std::vector<std::pair<char, std::string>> trace_records(const std::string& trace);
