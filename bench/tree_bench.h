// The tree figures: backup and rlist of generated organiser trees of 2,000 and 4,000 entries,
// unpaced, with orvel's run time and peak resident size and how both grow with the tree.
#pragma once

namespace bench {

// Prints the figures; returns the number of targets missed (a run that failed).
int tree_bench();

}  // namespace bench
