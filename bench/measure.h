// Pieces shared by the benchmark's parts: timing one command from orvel's prompts, cutting an
// exchange out of a trace, and printing a figure against its target.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "harness.h"

namespace bench {

// Seconds one command took: from the moment the `n`-th prompt (0-based) had fully arrived on
// orvel's standard output to the moment the next prompt began to arrive. -1 if not found.
double command_seconds(const RunResult& r, int n);

using Records = std::vector<std::pair<char, std::string>>;

// The records [first, last) of one exchange within a session's records: everything after the
// first `skip_from` bytes that orvel sent, up to (not including) the ready prompt before its
// last `tail_from` bytes.
std::pair<size_t, size_t> exchange_range(const Records& all, long skip_from, long tail_from);

// Prints "  label: value" with the target and OK/MISS; returns whether the target was met.
bool report(const std::string& label, const std::string& value, const std::string& target, bool ok);

std::string random_bytes(size_t n, unsigned seed);
std::string fixed(double v, int decimals);

}  // namespace bench
