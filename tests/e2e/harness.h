// End-to-end harness: runs the real orvel binary on a real pseudo-terminal against tavlin-sim,
// feeds its standard input and collects its output, exit status, the wire bytes both ways (from
// the simulator's trace) and the simulator's counters. Every run has a deadline; a run that
// overruns has its whole process group killed. It knows nothing of gtest (the benchmark uses it
// too): failures are reported through `harness_fail`, which the test binary points at gtest.
#pragma once

#include <sys/types.h>
#include <termios.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// Reports a harness failure (missing file, sim that would not start). Defaults to a line on
// standard error; the e2e test binary makes it a gtest failure.
extern void (*harness_fail)(const std::string& what);

// A fresh temporary folder, removed with everything in it when destroyed.
struct TempDir {
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string path;
    std::string file(const std::string& rel);                      // path + "/" + rel
    void write(const std::string& rel, const std::string& bytes);  // creates parent folders
    std::string read(const std::string& rel);  // whole file; harness_fail and "" if missing
    bool exists(const std::string& rel);
};

// A fresh temporary organiser root with the drive folders a/ b/ c/ m/.
struct OrganiserTree {
    OrganiserTree();
    ~OrganiserTree();
    OrganiserTree(const OrganiserTree&) = delete;
    OrganiserTree& operator=(const OrganiserTree&) = delete;
    std::string root;                          // the --root folder
    std::string host(const std::string& rel);  // root + "/" + rel, e.g. host("m/DOCS/A.TXT")
    void write(const std::string& rel, const std::string& bytes);  // creates parent folders
    std::string read(const std::string& rel);  // whole file; harness_fail and "" if missing
    bool exists(const std::string& rel);

  private:
    std::unique_ptr<TempDir> dir_;
};

struct RunSpec {
    std::vector<std::string> args;     // orvel's arguments (after -d PTY)
    std::string input;                 // fed to orvel's standard input, then closed
    std::vector<std::string> simargs;  // extra tavlin-sim options, e.g. {"--release","3.7"}
    std::string root;                  // organiser root (required for run_orvel)
    std::string cwd;                   // orvel's working directory (default: a fresh temp dir)
    // Extra or overriding environment. HOME defaults to a fresh empty folder, so that no rc file
    // of the person running the tests is picked up.
    std::vector<std::pair<std::string, std::string>> env;
    bool rev322 = false;     // run the revision 3.22 build
    int timeout_ms = 30000;  // deadline for the whole run

    // Extensions.
    bool keep_stdin_open = false;  // write `input` but leave standard input open until exit
    int send_signal = 0;           // send this signal to the process once...
    std::string signal_when_out;   // ...its standard output holds this text (empty: at once)...
    int signal_delay_ms = 0;       // ...and this much longer has passed (not via run_orvel)
    std::string stdout_file;       // when set, standard output goes to this file instead
    std::string stderr_file;       // when set, standard error goes to this file instead
};

struct RunResult {
    int status = -1;  // orvel's exit status (128+signal if killed)
    bool timed_out = false;
    std::string out, err;          // orvel's standard output and standard error
    std::string from_yal, to_yal;  // the exact bytes on the wire each way, from the sim's trace
    std::string trace;             // the raw trace (of this run only, in serve mode)
    std::map<std::string, long> stats;                 // the simulator's --stats counters
    std::vector<std::string> frames_from_yal() const;  // texts of orvel's frames, in order
    std::vector<std::string> frames_to_yal() const;    // texts of the sim's reply frames, in order

    // Extensions.
    std::vector<std::string> notes;  // the trace's "# " fault notes, without the "# "
    double wall_seconds = 0;         // from start to exit
    double cpu_seconds = 0;          // user + system time of the direct child (wait4)
    long maxrss_kb = 0;              // peak resident size of the direct child (wait4)
    // Single bytes orvel sent outside its frames: its acknowledgements ("O"/"R"), in order.
    std::string acks_from_yal() const;
    // The sim's lines (prompts, acknowledgements, frames, junk) in order, without "\n".
    std::vector<std::string> lines_to_yal() const;
    long stat(const std::string& key) const;  // stats[key], or 0
    // When standard output arrived: (seconds since start, length of `out` after that chunk).
    std::vector<std::pair<double, size_t>> out_arrivals;
    // Seconds from start until `out` first held more than `pos` bytes; -1 if it never did.
    double out_time(size_t pos) const;
};

// Runs SIM_BIN --root R --trace T --stats S [simargs] -- ORVEL_BIN [args] and waits for it.
RunResult run_orvel(const RunSpec& spec);

// Runs ORVEL_BIN (or the 3.22 build) with exactly spec.args, no simulator (spec.root unused).
RunResult run_orvel_direct(const RunSpec& spec);

// A started process with piped standard streams, in its own process group. Pumps its pipes
// only while one of its member functions runs.
class Proc {
  public:
    // Starts argv[0] with the spec's input, cwd, env and keep_stdin_open. harness_fail if the
    // process cannot be started (then finish() reports status 127).
    Proc(const std::vector<std::string>& argv, const RunSpec& spec);
    ~Proc();  // kills the group if it still runs
    Proc(const Proc&) = delete;
    Proc& operator=(const Proc&) = delete;

    pid_t pid() const { return pid_; }
    const std::string& out() const { return out_; }
    const std::string& err() const { return err_; }
    bool running() const { return !reaped_; }

    // Pumps the pipes until `pred` holds (true), or the process ends or time runs out (false).
    bool wait_until(const std::function<bool()>& pred, int timeout_ms);
    bool wait_for_out(const std::string& text, int timeout_ms);
    void write_input(const std::string& bytes);  // queued; written while pumping
    void close_input();                          // once the queued input is written
    void send(int sig);                          // to the process itself
    // Pumps until exit or the deadline (then kills the group); fills status, timed_out, out,
    // err, wall/cpu time and peak size.
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

// Serve mode, for pause / -r / settings checks: the sim serves until destroyed.
struct ServedSim {
    // With `record` false the sim keeps no trace and no counters (for timing runs: it then
    // writes no file per frame).
    explicit ServedSim(const std::string& root, std::vector<std::string> simargs = {},
                       bool record = true);
    ~ServedSim();  // SIGTERM to the sim, SIGKILL if it lingers
    ServedSim(const ServedSim&) = delete;
    ServedSim& operator=(const ServedSim&) = delete;
    std::string pty;  // slave path
    std::string trace_path;
    std::string stats_path;
    RunResult run(RunSpec spec);  // runs orvel -d pty with spec (spec.root ignored)
    std::string trace();          // the whole trace so far

    // Extensions.
    // Starts orvel -d pty [args] without waiting (for concurrent runs and signals).
    std::unique_ptr<Proc> start(const RunSpec& spec);
    // Finishes a started orvel and fills the result, with the trace written since `offset`.
    RunResult collect(Proc& proc, const RunSpec& spec, size_t trace_offset);
    size_t trace_size();    // bytes of trace so far (an offset for collect)
    std::string sim_err();  // what the sim wrote on its standard error so far
    pid_t sim_pid() const;

  private:
    void settle_trace();
    std::unique_ptr<TempDir> dir_;
    std::unique_ptr<Proc> sim_;
};

std::string slurp(const std::string& path);

// Reads the terminal settings of a device (opened without becoming its controlling terminal).
bool device_settings(const std::string& path, struct termios* out);
// "" when the two settings agree in the input, output, control and local modes and in both
// speeds; otherwise a description of the first difference.
std::string settings_diff(const struct termios& a, const struct termios& b);

// The outbound frame of a text: "$LL" text "$CC" (upper-case hex; checksum = byte sum mod 256).
std::string frame_of(const std::string& text);

// Trace parsing, exposed for the benchmark: splits a raw trace into the bytes each way and the
// fault notes.
void parse_trace(const std::string& trace, std::string* from_yal, std::string* to_yal,
                 std::vector<std::string>* notes);
std::map<std::string, long> parse_stats(const std::string& text);
// The trace's byte records in order: ('Y' or 'T', the bytes of that one read or write).
std::vector<std::pair<char, std::string>> trace_records(const std::string& trace);
