#include "transfer_bench.h"

#include <algorithm>
#include <cstdio>

#include "baseline.h"
#include "harness.h"
#include "measure.h"
#include "wire_minimum.h"

namespace bench {

namespace {

constexpr size_t kFileSize = 20000;
const char kOrgPath[] = "m:\\BENCH.BIN";

struct Direction {
    const char* name;  // "get" or "put"
    std::string data;
    Exchange exchange;
};

struct Session {
    RunResult r;
    bool file_ok = false;
    double seconds = -1;  // the transfer command alone
};

bool is_get(const Direction& d) {
    return std::string(d.name) == "get";
}

std::string session_input(const Direction& d) {
    return std::string(d.name) + " " + kOrgPath + (is_get(d) ? "" : " BENCH.BIN") + "\nquit\n";
}

// One session against a fresh organiser and a fresh served simulator: start-up, the transfer,
// quit.
Session run_session(const Direction& d, std::vector<std::string> simargs, int timeout_ms,
                    bool record = true) {
    OrganiserTree tree;
    TempDir local;
    bool get = is_get(d);
    if (get)
        tree.write("m/BENCH.BIN", d.data);
    else
        local.write("BENCH.BIN", d.data);
    ServedSim sim(tree.root, std::move(simargs), record);
    RunSpec s;
    s.cwd = local.path;
    s.timeout_ms = timeout_ms;
    s.input = session_input(d);
    Session out;
    out.r = sim.run(s);
    std::string copy = get ? slurp(local.file("BENCH.BIN")) : slurp(tree.host("m/BENCH.BIN"));
    out.file_ok = out.r.status == 0 && copy == d.data;
    out.seconds = command_seconds(out.r, 0);
    return out;
}

// The whole session's minimum: announcement, start-up, the transfer, quit.
WireBytes session_minimum(const Exchange& transfer) {
    Exchange all = startup_exchange();
    all.add(transfer);
    all.add(quit_exchange());
    WireBytes w = minimum(all), a = announce_minimum();
    w.to_yal += a.to_yal;
    w.from_yal += a.from_yal;
    return w;
}

int check_bytes(const Direction& d, const Session& s) {
    WireBytes want = session_minimum(d.exchange), ex = minimum(d.exchange);
    long to = static_cast<long>(s.r.to_yal.size()), from = static_cast<long>(s.r.from_yal.size());
    long extra_to = to - want.to_yal, extra_from = from - want.from_yal;
    int missed = 0;
    missed += !report("copy byte-identical, status 0", s.file_ok ? "yes" : "no", "yes", s.file_ok);
    missed += !report("bytes to orvel (exchange)", std::to_string(ex.to_yal + extra_to),
                      "= " + std::to_string(ex.to_yal), extra_to == 0);
    missed += !report("bytes from orvel (exchange)", std::to_string(ex.from_yal + extra_from),
                      "= " + std::to_string(ex.from_yal), extra_from == 0);
    std::printf("    (whole session: %ld to orvel, %ld from orvel; protocol minimum %ld / %ld)\n",
                to, from, want.to_yal, want.from_yal);
    return missed;
}

int paced_figures(const Direction& d) {
    Session s = run_session(d, {"--baud", "9600"}, 300000);
    long bytes = minimum(d.exchange).total();
    double ideal = bytes * 10.0 / 9600.0;
    double ratio = s.seconds > 0 ? ideal / s.seconds : 0;
    int missed = !s.file_ok;
    missed += !report("9600 baud: transfer wall time", fixed(s.seconds, 2) + " s",
                      "ideal " + fixed(ideal, 2) + " s", s.seconds > 0);
    missed += !report("9600 baud: throughput / ideal", fixed(ratio, 4), ">= 0.97", ratio >= 0.97);
    double cpu = s.r.wall_seconds > 0 ? 100.0 * s.r.cpu_seconds / s.r.wall_seconds : 100;
    missed += !report("9600 baud: orvel CPU / wall (whole run)",
                      fixed(s.r.cpu_seconds, 3) + " s / " + fixed(s.r.wall_seconds, 1) +
                          " s = " + fixed(cpu, 2) + "%",
                      "< 2%", cpu < 2.0);
    return missed;
}

// The best of `runs` timings (-1 when every run failed).
template <typename F>
double best_of(int runs, F&& once) {
    double best = -1;
    for (int i = 0; i < runs; ++i) {
        double t = once();
        if (t > 0 && (best < 0 || t < best)) best = t;
    }
    return best;
}

// orvel against a peer replaying the recorded session, in a fresh folder.
double orvel_against_replay(const Direction& d, const Records& all, std::pair<size_t, size_t> ex) {
    TempDir local;
    if (!is_get(d)) local.write("BENCH.BIN", d.data);
    return orvel_replay_seconds(all, ex.first, ex.second, session_input(d), local.path);
}

std::string rate(double frames, double seconds) {
    return seconds > 0 ? fixed(frames / seconds, 0) + " (" + fixed(seconds * 1000, 1) + " ms)"
                       : "failed";
}

int unpaced_figures(const Direction& d, const Session& first, int runs) {
    WireBytes skip = announce_minimum(), tail = minimum(quit_exchange());
    skip.from_yal += minimum(startup_exchange()).from_yal;
    Records all = trace_records(first.r.trace);
    std::pair<size_t, size_t> ex = exchange_range(all, skip.from_yal, tail.from_yal);
    Records slice(all.begin() + ex.first, all.begin() + ex.second);
    double base = best_of(runs, [&] { return replay_seconds(slice); });
    double mine = best_of(runs, [&] { return orvel_against_replay(d, all, ex); });
    double forked = best_of(runs, [&] { return replay_seconds_forked(slice); });
    double with_sim = best_of(runs, [&] { return run_session(d, {}, 60000, false).seconds; });
    double frames = static_cast<double>(d.exchange.frames());
    // Like for like: orvel is a process of its own against the peer, so the minimal exchange it
    // is measured against is a writer process of its own against the same peer. The same
    // exchange between two threads of one process is shown too: it saves the switches between
    // address spaces that no separate program can avoid.
    double ratio = forked > 0 && mine > 0 ? forked / mine : 0;
    int missed = 0;
    missed += !report("unpaced: minimal writer process fr/s", rate(frames, forked), "", forked > 0);
    missed += !report("unpaced: orvel + minimal peer fr/s", rate(frames, mine), "", mine > 0);
    missed += !report("unpaced: orvel / minimal", fixed(ratio, 3), ">= 0.8", ratio >= 0.8);
    report("unpaced: minimal writer thread fr/s", rate(frames, base), "(for reference)", true);
    report("unpaced: orvel + simulator (untraced) fr/s", rate(frames, with_sim), "(for reference)",
           true);
    return missed;
}

}  // namespace

int transfer_bench(const TransferOptions& options) {
    std::string data = random_bytes(kFileSize, 20000);
    std::vector<Direction> dirs = {{"get", data, get_exchange(kOrgPath, data)},
                                   {"put", data, put_exchange(kOrgPath, data)}};
    int missed = 0;
    for (const Direction& d : dirs) {
        std::printf("%s of a %zu-byte random file (%ld frames)\n", d.name, kFileSize,
                    d.exchange.frames());
        std::fflush(stdout);
        Session first = run_session(d, {}, 60000);
        missed += check_bytes(d, first);
        missed += unpaced_figures(d, first, options.runs);
        if (options.paced) missed += paced_figures(d);
    }
    return missed;
}

}  // namespace bench
