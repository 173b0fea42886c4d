// orvel-bench: the link's throughput and cost figures, measured on the real orvel against the
// simulated organiser. Not a test: it prints each figure with its target and exits 1 when a
// target is missed. Options: --no-paced (skip the 9600-baud runs, about 45 s per transfer),
// --no-trees (skip backup and rlist of large trees), --runs N (unpaced repeats, default 15).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "transfer_bench.h"
#include "tree_bench.h"

int main(int argc, char** argv) {
    bench::TransferOptions options;
    bool trees = true;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--no-paced")
            options.paced = false;
        else if (a == "--no-trees")
            trees = false;
        else if (a == "--runs" && i + 1 < argc)
            options.runs = std::max(1, std::atoi(argv[++i]));
        else {
            std::fprintf(stderr, "usage: orvel-bench [--no-paced] [--no-trees] [--runs N]\n");
            return 2;
        }
    }
    int missed = bench::transfer_bench(options);
    if (trees) missed += bench::tree_bench();
    std::printf("%s: %d target%s missed\n", missed ? "MISSED" : "ALL MET", missed,
                missed == 1 ? "" : "s");
    return missed ? 1 : 0;
}
