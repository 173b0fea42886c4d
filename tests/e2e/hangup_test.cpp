// The organiser hangs up in the middle of things: after every frame of a get and of a put (with
// and without line checksums), and at a few points of the start-up. Each run must end at once
// with the lost-contact message and status 1 (or normally, when the hang-up would come after
// the last frame), no existing local file may be damaged or shadowed by a leftover temporary
// file, and the organiser's copy of a put target must be exactly what the frames that got
// through account for.
#include <gtest/gtest.h>

#include <algorithm>

#include "harness.h"

namespace {

constexpr int kStartupFrames = 9;    // XONLINE, ia, XYES, tm, XOK, vn, V3.24, po 1, XON
constexpr std::size_t kBlock = 100;  // file bytes per data line
const char kOld[] = "the old copy, which must survive\n";

using Frames = std::vector<std::pair<char, std::string>>;

// 1-based index of the first frame from `from` with `text` after frame `after`; 0 if none.
int index_of(const Frames& seq, char from, const std::string& text, int after = 0) {
    for (int i = after; i < static_cast<int>(seq.size()); ++i)
        if (seq[i] == std::pair(from, text)) return i + 1;
    return 0;
}

// A get or a put of a file of four data lines, run again and again with the hang-up after
// another frame; both ends are laid out afresh before every run.
class HangupTest : public ::testing::TestWithParam<std::tuple<bool, bool>> {
  protected:
    bool put_ = std::get<0>(GetParam()), filesum_ = std::get<1>(GetParam());
    const std::string new_ = random_bytes(350, 77);
    OrganiserTree org_;
    TempDir local_;

    RunResult run(int hangup) {
        org_.write(put_ ? "m/P.BIN" : "m/G.BIN", put_ ? kOld : new_);
        local_.write(put_ ? "P.BIN" : "keep.bin", put_ ? new_ : kOld);
        RunSpec how{.input = std::string(filesum_ ? "filesum on\n" : "") +
                             (put_ ? "put m:\\P.BIN P.BIN\n" : "get m:\\G.BIN keep.bin\n") +
                             "quit\n",
                    .root = org_.root,
                    .cwd = local_.path,
                    .timeout_ms = 15000};
        if (hangup > 0) how.simargs = {"--fault", "hangup=" + std::to_string(hangup)};
        return run_orvel(how);
    }

    // After a hang-up following frame k (0: none) of the clean run's frames `seq`. The local
    // file changes only once orvel has taken the end word of a get. The organiser removes its
    // copy when it takes "rp", creates the new one when it has sent "XSTARTGET", and writes
    // each data line that it took: a frame on which the line closed is not taken.
    void expect_files(int k, const Frames& seq) {
        EXPECT_EQ(local_.dot_names(), std::vector<std::string>{});
        if (k == 0) k = static_cast<int>(seq.size()) + 1;
        if (!put_) {
            EXPECT_EQ(org_.read("m/G.BIN"), new_);
            EXPECT_EQ(local_.read("keep.bin"), k >= index_of(seq, 'T', "XENDPUT") ? new_ : kOld);
            return;
        }
        EXPECT_EQ(local_.read("P.BIN"), new_);
        const int rp = index_of(seq, 'Y', "rp"), start = index_of(seq, 'T', "XSTARTGET");
        const int xe = index_of(seq, 'Y', "XE", start);
        ASSERT_TRUE(rp > 0 && start > rp && xe > start);
        std::size_t lines = 0;
        for (int i = start + 1; i < xe && i < k; ++i) lines += seq[i - 1].first == 'Y';
        if (k <= rp)
            EXPECT_EQ(org_.read("m/P.BIN"), kOld);
        else if (k <= start)
            EXPECT_FALSE(org_.exists("m/P.BIN"));
        else
            EXPECT_EQ(org_.read("m/P.BIN"), new_.substr(0, std::min(new_.size(), lines * kBlock)));
    }
};

TEST_P(HangupTest, EndsCleanlyAfterEveryFrameAndKeepsBothEndsSound) {
    // The clean run gives the frame order: without faults the link is strictly lock-step, so
    // the simulator's frame count (which the hang-up uses) is the index in it.
    RunResult clean = run(0);
    ASSERT_EQ(clean.status, 0) << clean.out << clean.err;
    const Frames seq = clean.frames();
    const int total = static_cast<int>(seq.size());
    ASSERT_EQ(total, clean.stat("frames_in") + clean.stat("frames_out"));
    ASSERT_GT(total, kStartupFrames);
    EXPECT_EQ(seq[kStartupFrames - 1].second, "XON");
    expect_files(0, seq);
    // A few frames in the start-up, every frame after it, and two past the end.
    std::vector<int> points = {1, 2, 5, kStartupFrames, total + 4};
    for (int k = kStartupFrames + 1; k <= total + 1; ++k) points.push_back(k);
    for (int k : points) {
        SCOPED_TRACE("hang-up after frame " + std::to_string(k) + " of " + std::to_string(total) +
                     (k <= total ? " (" + seq[k - 1].second.substr(0, 12) + ")" : ""));
        RunResult r = run(k);
        ASSERT_FALSE(r.timed_out) << r.out;
        // The organiser closes the line once orvel has taken frame k; only after the last frame
        // of the session does orvel need nothing more from it.
        const char* end = k < total ? "ERROR, Lost contact with the orvel, exiting\n"
                                    : "Disconnecting and closing down orvel\n";
        EXPECT_TRUE(r.status == (k < total ? 1 : 0) && r.out.ends_with(end)) << r.out << r.err;
        expect_files(k, seq);
    }
}

INSTANTIATE_TEST_SUITE_P(GetAndPut, HangupTest,
                         ::testing::Combine(::testing::Bool(), ::testing::Bool()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param) ? "Put" : "Get") +
                                    (std::get<1>(info.param) ? "WithLineChecksums" : "");
                         });

}  // namespace
