// Pure rules of backup and restore: how an organiser root is normalised, how much of a path is
// shared with a root, and when a copy counts as unchanged (the 600-second margin). No I/O here,
// no link traffic: these are the parts that tests check on their own.
#pragma once

#include <cstddef>
#include <string>

// Copies are compared with a margin of ten minutes, so that clocks that disagree a little (and
// the time a transfer takes) do not make every file look changed.
inline constexpr long kUnchangedMargin = 600;

// The latest organiser time taken as a time: the last second of the year 9999. Anything later,
// or below -1, is no time the organiser can mean; it reads as unknown, and the file is copied.
inline constexpr long kLatestTime = 253402300799L;

// True when `t` is a time the organiser can mean (-1 included: a path it does not know).
inline bool plausibletime(long t) {
    return t >= -1 && t <= kLatestTime;
}

// `t` plus the margin, in `*sum`; false when that does not fit a long (no sum is made then).
inline bool addmargin(long t, long* sum) {
    return !__builtin_add_overflow(t, kUnchangedMargin, sum);
}

// Backup: the workstation copy is kept when the organiser's file is more than the margin older
// than the copy. An organiser time of -1 (unknown path) counts as very old; a copy exactly 600
// seconds newer is fetched again; an absurd organiser time never keeps a copy.
inline bool backupcopycurrent(long ovtime, long yaltime) {
    long sum = 0;
    return plausibletime(ovtime) && addmargin(ovtime, &sum) && sum < yaltime;
}

// Restore: the organiser's copy is kept when it is more than the margin newer than the
// workstation file; exactly 600 seconds newer is sent again, and so is a file whose organiser
// time is absurd. A workstation time too large for the margin has no newer organiser copy.
inline bool restoreorvelnewer(long ovtime, long yaltime) {
    long sum = 0;
    return plausibletime(ovtime) && addmargin(yaltime, &sum) && ovtime > sum;
}

// The position in `path` just after the leading characters it shares with `root` (both are
// walked while their characters are equal and neither has ended).
inline std::size_t commonprefixlength(const std::string& path, const std::string& root) {
    std::size_t i = 0;
    while (i < path.size() && i < root.size() && path[i] == root[i]) ++i;
    return i;
}

// An organiser root loses its trailing backslashes, since the path mapping inserts no
// separator; a bare device keeps its colon ("m:\" becomes "m:").
inline std::string trimorvelroot(std::string root) {
    while (!root.empty() && root.back() == '\\') root.pop_back();
    return root;
}
