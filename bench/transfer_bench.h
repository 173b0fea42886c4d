// The transfer figures: a get and a put of a 20,000-byte random file, measured for wire bytes
// against the protocol's minimum, paced throughput and CPU, and unpaced frame rate against a
// minimal stop-and-wait exchange of the same lines.
#pragma once

namespace bench {

struct TransferOptions {
    bool paced = true;  // the 9600-baud runs take about 45 s each
    int runs = 15;      // unpaced runs (the best one counts): a VM's scheduling is noisy
};

// Prints the figures; returns the number of targets missed.
int transfer_bench(const TransferOptions& options);

}  // namespace bench
