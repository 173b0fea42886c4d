#include "tree_bench.h"

#include <cstdio>

#include "harness.h"
#include "measure.h"

namespace bench {

namespace {

constexpr int kFilesPerDir = 39;  // each directory and its files: 40 entries

struct Figure {
    double seconds = -1;  // the command alone, from orvel's prompts
    long rss_kb = 0;      // orvel's peak resident size over the whole run
    bool ok = false;
};

// A tree of `entries` entries below m:\TREE: directories D000... of 39 small files each.
void make_tree(OrganiserTree& tree, int entries) {
    char name[64];
    for (int d = 0; d < entries / (kFilesPerDir + 1); ++d) {
        for (int f = 0; f < kFilesPerDir; ++f) {
            std::snprintf(name, sizeof name, "m/TREE/D%03d/F%02d.TXT", d, f);
            tree.write(name, std::string("entry ") + name + "\n");
        }
    }
}

Figure run_command(int entries, const std::string& command) {
    OrganiserTree tree;
    make_tree(tree, entries);
    TempDir local;
    ServedSim sim(tree.root);
    RunSpec s;
    s.cwd = local.path;
    s.timeout_ms = 600000;
    s.args = {"-var", "backupnocheck"};
    s.input = command + "\nquit\n";
    RunResult r = sim.run(s);
    Figure f;
    f.seconds = command_seconds(r, 0);
    f.rss_kb = r.maxrss_kb;
    f.ok = r.status == 0 && f.seconds > 0;
    if (!f.ok)
        std::printf("    run failed: status %d\n%s%s\n", r.status, r.out.c_str(), r.err.c_str());
    return f;
}

int compare(const std::string& what, const std::string& command) {
    std::printf("%s\n", what.c_str());
    std::fflush(stdout);
    Figure small = run_command(2000, command), big = run_command(4000, command);
    int missed = 0;
    missed += !report("2,000 entries: time, peak RSS",
                      fixed(small.seconds, 2) + " s, " + std::to_string(small.rss_kb) + " KiB", "",
                      small.ok);
    missed +=
        !report("4,000 entries: time, peak RSS",
                fixed(big.seconds, 2) + " s, " + std::to_string(big.rss_kb) + " KiB", "", big.ok);
    double tgrow = small.seconds > 0 ? big.seconds / small.seconds : 0;
    double mgrow = small.rss_kb > 0 ? static_cast<double>(big.rss_kb) / small.rss_kb : 0;
    report("growth 2,000 -> 4,000: time, peak RSS", fixed(tgrow, 2) + "x, " + fixed(mgrow, 2) + "x",
           "(linear: 2x)", true);
    return missed;
}

}  // namespace

int tree_bench() {
    int missed = compare("backup of a generated tree (unpaced)", "backup m:\\TREE bk");
    missed += compare("rlist of a generated tree (unpaced)", "rlist m:\\TREE list.txt");
    return missed;
}

}  // namespace bench
