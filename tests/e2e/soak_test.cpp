// A long noisy session: hundreds of random files put to the organiser and fetched back into
// another local folder, with and without line checksums, over a line on which the simulator
// spoils frames both ways, refuses acknowledgements and (with checksums) spoils data lines.
// Every file must arrive byte-identical on both ends, and the block counters that transinfo and
// ftransinfo print must account for exactly the faults that the simulator reports injecting.
// The files are split into batches, one test each, so that batches run side by side.
#include <dirent.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "e2e_util.h"
#include "harness.h"

using namespace e2e;

namespace {

constexpr int kFiles = 300;
constexpr int kBatches = 3;
constexpr size_t kMaxSize = 8192;
constexpr unsigned kSeed = 0x50A6;
constexpr int kBlock = 100;          // file bytes per data line
constexpr int kDeadlineMs = 110000;  // per batch; holds under sanitizers on two busy cores

const char kLineNoise[] = "out=0.03,in=0.03,ack=0.03";
const char kDataNoise[] = "datain=0.03,dataout=0.03";

struct SoakFile {
    std::string name;
    std::string bytes;
};

// The same 300 files on every run: sizes 0 to 8 KiB and their bytes from one fixed seed.
const std::vector<SoakFile>& soak_files() {
    static const std::vector<SoakFile> files = [] {
        std::mt19937 gen(kSeed);
        std::uniform_int_distribution<size_t> size(0, kMaxSize);
        std::vector<SoakFile> all;
        for (int i = 0; i < kFiles; ++i) {
            char name[16];
            std::snprintf(name, sizeof name, "S%03d.BIN", i);
            std::string bytes(size(gen), '\0');
            for (char& c : bytes) c = static_cast<char>(gen() & 0xFF);
            all.push_back({name, bytes});
        }
        return all;
    }();
    return files;
}

std::vector<SoakFile> batch(int index) {
    const std::vector<SoakFile>& all = soak_files();
    std::vector<SoakFile> part;
    for (int i = index; i < kFiles; i += kBatches) part.push_back(all[i]);
    return part;
}

long data_lines(const std::vector<SoakFile>& files) {
    long n = 0;
    for (const SoakFile& f : files) n += (static_cast<long>(f.bytes.size()) + kBlock - 1) / kBlock;
    return n;
}

// One "..., good = G, bad = B" line of transinfo or ftransinfo; {-1, -1} when it is missing.
struct GoodBad {
    long good = -1, bad = -1;
};

// The last such line, not counting those whose head is longer ("File Transmited blocks" is not
// "Transmited blocks").
GoodBad counters(const std::string& out, const std::string& head) {
    GoodBad c;
    size_t at = out.rfind(head + ", good = ");
    while (at != std::string::npos && at >= 5 && out.compare(at - 5, 5, "File ") == 0)
        at = at == 0 ? std::string::npos : out.rfind(head + ", good = ", at - 1);
    if (at != std::string::npos)
        std::sscanf(out.c_str() + at + head.size(), ", good = %ld, bad = %ld", &c.good, &c.bad);
    return c;
}

struct Soak {
    std::vector<SoakFile> files;
    bool filesum = false;
    OrganiserTree org;
    TempDir up;    // the files to put, and orvel's working directory
    TempDir down;  // where the gets land
    RunResult r;

    // Every file put and then every file got back, then the counters; pause sends nothing, so
    // they are the totals of the whole wire. With checksums the session runs as a command file.
    void run(int seed) {
        std::string cmds = filesum ? "filesum on\n" : "";
        for (const SoakFile& f : files) {
            up.write(f.name, f.bytes);
            cmds += "put m:\\" + f.name + " " + f.name + "\n";
        }
        for (const SoakFile& f : files)
            cmds += "get m:\\" + f.name + " " + down.file(f.name) + "\n";
        cmds += "transinfo\nftransinfo\n";
        RunSpec how;
        how.root = org.root;
        how.cwd = up.path;
        how.timeout_ms = kDeadlineMs;
        how.simargs = {"--fault", kLineNoise, "--fault", "seed=" + std::to_string(seed)};
        if (filesum) how.simargs.insert(how.simargs.end(), {"--fault", kDataNoise});
        if (filesum) {
            up.write("soak.ovcmd", cmds);
            how.input = "run soak\npause\n";
        } else {
            how.input = cmds + "pause\n";
        }
        r = run_orvel(how);
    }

    void expect_files_intact() {
        int bad = 0;
        for (const SoakFile& f : files) {
            if (org.read("m/" + f.name) != f.bytes) ++bad, ADD_FAILURE() << "organiser " << f.name;
            if (down.read(f.name) != f.bytes) ++bad, ADD_FAILURE() << "fetched " << f.name;
            if (bad > 5) return;  // enough to see what went wrong
        }
        EXPECT_EQ(dot_files(down.path), std::vector<std::string>{});
        EXPECT_FALSE(contains(r.out, "File not transfered"));
    }

    // The counters against the simulator's own counts of frames and injected faults.
    void expect_counters_agree() {
        const GoodBad sent = counters(r.out, "Transmited blocks");
        const GoodBad recd = counters(r.out, "Recieved blocks");
        const GoodBad fsent = counters(r.out, "File Transmited blocks");
        const GoodBad frecd = counters(r.out, "File Recieved blocks");
        const long refused = r.stat("refused_in") + r.stat("refused_ack");
        EXPECT_GT(r.stat("corrupt_out"), 0);
        EXPECT_GT(r.stat("refused_in"), 0);
        EXPECT_GT(r.stat("refused_ack"), 0);
        EXPECT_EQ(recd.bad, r.stat("corrupt_out"));
        EXPECT_EQ(sent.bad, refused);
        EXPECT_EQ(sent.good, r.stat("frames_in") - refused);
        EXPECT_EQ(recd.good, r.stat("frames_out") - r.stat("corrupt_out"));
        EXPECT_EQ(frecd.bad, r.stat("datain_bad"));
        EXPECT_EQ(fsent.bad, r.stat("dataout_bad"));
        const long lines = filesum ? data_lines(files) : 0;
        EXPECT_EQ(fsent.good, lines);  // one "XG" per data line put
        EXPECT_EQ(frecd.good, lines);  // one accepted copy per data line got
        if (filesum) {
            EXPECT_GT(r.stat("datain_bad"), 0);
            EXPECT_GT(r.stat("dataout_bad"), 0);
        }
    }
};

void soak_batch(int index, bool filesum) {
    Soak s;
    s.files = batch(index);
    s.filesum = filesum;
    s.run(100 + index + (filesum ? kBatches : 0));
    ASSERT_FALSE(s.r.timed_out) << "after " << s.r.wall_seconds << " s";
    EXPECT_EQ(s.r.status, 0) << s.r.err;
    s.expect_files_intact();
    s.expect_counters_agree();
    std::printf("[ soak     ] %zu files, %.1f s\n", s.files.size(), s.r.wall_seconds);
}

}  // namespace

TEST(SoakTest, NoisyRoundTripsKeepFilesIntactBatch1) {
    soak_batch(0, false);
}
TEST(SoakTest, NoisyRoundTripsKeepFilesIntactBatch2) {
    soak_batch(1, false);
}
TEST(SoakTest, NoisyRoundTripsKeepFilesIntactBatch3) {
    soak_batch(2, false);
}
TEST(SoakTest, NoisyRoundTripsWithLineChecksumsKeepFilesIntactBatch1) {
    soak_batch(0, true);
}
TEST(SoakTest, NoisyRoundTripsWithLineChecksumsKeepFilesIntactBatch2) {
    soak_batch(1, true);
}
TEST(SoakTest, NoisyRoundTripsWithLineChecksumsKeepFilesIntactBatch3) {
    soak_batch(2, true);
}

TEST(SoakTest, TheBatchesHoldEveryFileOnce) {
    size_t total = 0, bytes = 0;
    for (int i = 0; i < kBatches; ++i) {
        for (const SoakFile& f : batch(i)) bytes += f.bytes.size();
        total += batch(i).size();
    }
    EXPECT_EQ(total, static_cast<size_t>(kFiles));
    EXPECT_GT(bytes, kFiles * kMaxSize / 3);  // sizes spread over the whole range
}
