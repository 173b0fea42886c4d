// The organiser hangs up in the middle of things: after every frame of a get and of a put (with
// and without line checksums), and at a few points of the start-up. Each run must end at once
// with the lost-contact message and status 1 (or normally, when the hang-up would come after
// the last frame), no existing local file may be damaged or shadowed by a leftover temporary
// file, and the organiser's copy of a put target must be exactly what the frames that got
// through account for. A silent organiser, the other lost contact, shows that the line gets its
// settings back on that way out.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <random>

#include "e2e_util.h"
#include "harness.h"

using namespace e2e;

namespace {

constexpr int kStartupFrames = 9;  // XONLINE, ia, XYES, tm, XOK, vn, V3.24, po 1, XON
constexpr int kRunMs = 15000;
constexpr size_t kBlock = 100;  // file bytes per data line

const char kOld[] = "the old copy, which must survive\n";

std::string random_bytes(size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(gen() & 0xFF);
    return s;
}

bool ends_with(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// One frame of a clean run, in wire order: 'Y' for orvel's frames, 'T' for the organiser's.
struct WireFrame {
    char from;
    std::string text;
};

// Takes the complete frames off the front of `buf`, leaving an unfinished one in place.
void take_frames(char from, std::string& buf, std::vector<WireFrame>* seq) {
    for (;;) {
        size_t at = buf.find('$');
        if (at == std::string::npos || buf.size() < at + 3) {
            buf.erase(0, at == std::string::npos ? buf.size() : at);
            return;
        }
        size_t n = std::stoul(buf.substr(at + 1, 2), nullptr, 16);
        if (buf.size() < at + 6 + n) {
            buf.erase(0, at);
            return;
        }
        seq->push_back({from, buf.substr(at + 3, n)});
        buf.erase(0, at + 6 + n);
    }
}

// Without faults the link is strictly lock-step, so the order of the trace's records is the
// order of the frames, and the simulator's frame count (which the hang-up uses) is the index.
std::vector<WireFrame> frame_sequence(const RunResult& r) {
    std::vector<WireFrame> seq;
    std::string from_yal, to_yal;
    for (const auto& [dir, bytes] : trace_records(r.trace)) {
        std::string& buf = dir == 'Y' ? from_yal : to_yal;
        buf += bytes;
        take_frames(dir, buf, &seq);
    }
    return seq;
}

// 1-based index of the first frame from `from` with `text` at or after `start`; 0 if none.
int index_of(const std::vector<WireFrame>& seq, char from, const std::string& text, int start = 1) {
    for (int i = start; i <= static_cast<int>(seq.size()); ++i)
        if (seq[i - 1].from == from && seq[i - 1].text == text) return i;
    return 0;
}

// A get or a put of a file of four data lines, run again and again with the hang-up after
// another frame; both ends are laid out afresh before every run.
class Sweep {
  public:
    Sweep(bool put, bool filesum) : put_(put), filesum_(filesum), new_(random_bytes(350, 77)) {}

    // The clean run: it must end well and gives the frame order for everything else.
    void learn() {
        RunResult r = run(0);
        ASSERT_EQ(r.status, 0) << r.out << r.err;
        seq_ = frame_sequence(r);
        total_ = static_cast<int>(seq_.size());
        ASSERT_EQ(total_, r.stat("frames_in") + r.stat("frames_out"));
        ASSERT_GT(total_, kStartupFrames);
        EXPECT_EQ(seq_[kStartupFrames - 1].text, "XON");
        expect_files(0);
    }

    // Every frame after the start-up, a few in it, and two past the end.
    std::vector<int> points() const {
        std::vector<int> ks = {1, 2, 5, kStartupFrames};
        for (int k = kStartupFrames + 1; k <= total_ + 1; ++k) ks.push_back(k);
        ks.push_back(total_ + 4);
        return ks;
    }

    void check(int k) {
        SCOPED_TRACE("hang-up after frame " + std::to_string(k) + " of " + std::to_string(total_) +
                     " (" + frame_name(k) + ")");
        RunResult r = run(k);
        ASSERT_FALSE(r.timed_out) << r.out;
        const bool lost = r.status == 1 && ends_with(r.out, kLostContact);
        const bool normal = r.status == 0 && ends_with(r.out, kQuitMsg);
        // The organiser closes the line once orvel has taken frame k; only after the last frame
        // of the session does orvel need nothing more from it.
        EXPECT_TRUE(k < total_ ? lost : normal) << "status " << r.status << "\n" << r.out << r.err;
        expect_files(k);
    }

  private:
    std::string frame_name(int k) const {
        if (k < 1 || k > total_) return "none";
        return std::string(seq_[k - 1].from == 'Y' ? "orvel's " : "organiser's ") +
               seq_[k - 1].text.substr(0, 12);
    }

    RunResult run(long hangup) {
        if (put_) {
            org_.write("m/P.BIN", kOld);
            local_.write("P.BIN", new_);
        } else {
            org_.write("m/G.BIN", new_);
            local_.write("keep.bin", kOld);
        }
        RunSpec how;
        how.root = org_.root;
        how.cwd = local_.path;
        how.timeout_ms = kRunMs;
        how.input = std::string(filesum_ ? "filesum on\n" : "") +
                    (put_ ? "put m:\\P.BIN P.BIN\n" : "get m:\\G.BIN keep.bin\n") + "quit\n";
        if (hangup > 0) how.simargs = {"--fault", "hangup=" + std::to_string(hangup)};
        return run_orvel(how);
    }

    // k = 0: the clean run.
    void expect_files(int k) {
        EXPECT_EQ(dot_files(local_.path), std::vector<std::string>{});
        if (put_) {
            EXPECT_EQ(local_.read("P.BIN"), new_);
            expect_organiser_copy(k);
        } else {
            EXPECT_EQ(org_.read("m/G.BIN"), new_);
            expect_local_copy(k);
        }
    }

    // The local file changes only once orvel has taken the end word of the transfer.
    void expect_local_copy(int k) {
        const int end = index_of(seq_, 'T', "XENDPUT");
        ASSERT_GT(end, 0);
        EXPECT_EQ(local_.read("keep.bin"), k == 0 || k >= end ? new_ : kOld);
    }

    // The organiser removes its copy when it takes "rp", creates the new one when it has sent
    // "XSTARTGET", and writes each data line that it took: a frame on which the line closed is
    // not taken.
    void expect_organiser_copy(int k) {
        const int rp = index_of(seq_, 'Y', "rp");
        const int start = index_of(seq_, 'T', "XSTARTGET");
        const int xe = index_of(seq_, 'Y', "XE", start);
        ASSERT_TRUE(rp > 0 && start > rp && xe > start);
        if (k == 0) k = total_ + 1;
        if (k <= rp) {
            EXPECT_EQ(org_.read("m/P.BIN"), kOld);
        } else if (k <= start) {
            EXPECT_FALSE(org_.exists("m/P.BIN"));
        } else {
            size_t lines = 0;
            for (int i = start + 1; i < xe && i < k; ++i) lines += seq_[i - 1].from == 'Y';
            EXPECT_EQ(org_.read("m/P.BIN"), new_.substr(0, std::min(new_.size(), lines * kBlock)));
        }
    }

    bool put_, filesum_;
    std::string new_;
    OrganiserTree org_;
    TempDir local_;
    std::vector<WireFrame> seq_;
    int total_ = 0;
};

// The settings of a terminal device, opened without becoming anyone's controlling terminal.
bool device_settings(const std::string& path, struct termios* t) {
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = tcgetattr(fd, t) == 0;
    close(fd);
    return ok;
}

// "" when two settings agree in their modes and speeds, else the first field that differs.
std::string settings_change(const struct termios& a, const struct termios& b) {
    if (a.c_iflag != b.c_iflag) return "input modes";
    if (a.c_oflag != b.c_oflag) return "output modes";
    if (a.c_cflag != b.c_cflag) return "control modes";
    if (a.c_lflag != b.c_lflag) return "local modes";
    if (cfgetispeed(&a) != cfgetispeed(&b) || cfgetospeed(&a) != cfgetospeed(&b)) return "speed";
    return "";
}

// A get against a served simulator that falls silent after frame `k`, with the line kept
// open so that its settings can be read afterwards; orvel's line time-out turns the silence
// into lost contact. `change` gets the settings' change from before the run to after it.
RunResult silenced_get(int k, std::string* change) {
    OrganiserTree org;
    TempDir local;
    org.write("m/G.BIN", random_bytes(350, 5));
    local.write("keep.bin", kOld);
    ServedSim sim(org.root, {"--mute-after", std::to_string(k)});
    struct termios before = {}, after = {};
    if (sim.pty.empty() || !device_settings(sim.pty, &before)) {
        ADD_FAILURE() << "no served line";
        return RunResult();
    }
    RunSpec how;
    how.input = "setv linetimeout 0.5\nget m:\\G.BIN keep.bin\nquit\n";
    how.cwd = local.path;
    how.timeout_ms = kRunMs;
    RunResult r = sim.run(how);
    EXPECT_TRUE(device_settings(sim.pty, &after));
    *change = settings_change(before, after);
    EXPECT_EQ(local.read("keep.bin"), kOld);
    EXPECT_EQ(dot_files(local.path), std::vector<std::string>{});
    return r;
}

void sweep(bool put, bool filesum) {
    Sweep s(put, filesum);
    s.learn();
    if (::testing::Test::HasFatalFailure()) return;
    for (int k : s.points()) s.check(k);
}

}  // namespace

TEST(HangupTest, GetEndsCleanlyAtEveryFrameAndKeepsTheLocalFile) {
    sweep(false, false);
}

TEST(HangupTest, GetWithLineChecksumsEndsCleanlyAtEveryFrameAndKeepsTheLocalFile) {
    sweep(false, true);
}

TEST(HangupTest, PutEndsCleanlyAtEveryFrameAndLeavesASoundOrganiserCopy) {
    sweep(true, false);
}

TEST(HangupTest, PutWithLineChecksumsEndsCleanlyAtEveryFrameAndLeavesASoundOrganiserCopy) {
    sweep(true, true);
}

// A hang-up takes a pseudo-terminal away with its settings (and leaves a real line's descriptor
// dead), so the settings are checked on the other lost contact, a silent organiser, which ends
// through the same shutdown: on the get's command, in its data and on its end word.
TEST(HangupTest, LostContactGivesTheLineItsSettingsBack) {
    for (int k : {kStartupFrames + 1, kStartupFrames + 9, kStartupFrames + 12}) {
        SCOPED_TRACE("silent after frame " + std::to_string(k));
        std::string change = "not run";
        RunResult r = silenced_get(k, &change);
        EXPECT_FALSE(r.timed_out);
        EXPECT_EQ(r.status, 1) << r.out << r.err;
        EXPECT_TRUE(ends_with(r.out, kLostContact)) << r.out;
        EXPECT_EQ(change, "");
    }
}
