// A long noisy session: hundreds of random files put to the organiser and fetched back into
// another local folder, with and without line checksums, over a line on which the simulator
// spoils frames both ways, refuses acknowledgements and (with checksums) spoils data lines.
// Every file must arrive byte-identical on both ends, and the block counters that transinfo and
// ftransinfo print must account for exactly the faults that the simulator reports injecting.
// The files are split into three batches, each run with and without checksums side by side.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "harness.h"

namespace {

constexpr int kBatches = 3;
constexpr int kDeadlineMs = 110000;  // per batch; holds under sanitizers on two busy cores

// Every third of the same 300 files (name, bytes), from `batch` on: sizes 0 to 8 KiB, bytes
// from one seed.
std::vector<std::pair<std::string, std::string>> batch_files(int batch) {
    std::mt19937 gen(0x50A6);
    std::uniform_int_distribution<std::size_t> size(0, 8192);
    std::vector<std::pair<std::string, std::string>> files;
    for (int i = 0; i < 300; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "S%03d.BIN", i);
        std::string bytes(size(gen), '\0');
        for (char& c : bytes) c = static_cast<char>(gen() & 0xFF);
        if (i % kBatches == batch) files.emplace_back(name, bytes);
    }
    return files;
}

// The last "HEAD, good = G, bad = B" line of transinfo or ftransinfo ({-1, -1} if none); a line
// of the other command, whose head is longer ("File Transmited blocks"), does not count.
std::pair<long, long> counters(const std::string& out, const std::string& head) {
    std::pair<long, long> c = {-1, -1};
    for (std::size_t at = out.find(head); at != std::string::npos; at = out.find(head, at + 1))
        if (head.starts_with("File") || at < 5 || out.compare(at - 5, 5, "File ") != 0)
            std::sscanf(out.c_str() + at + head.size(), ", good = %ld, bad = %ld", &c.first,
                        &c.second);
    return c;
}

class SoakTest : public ::testing::TestWithParam<std::tuple<int, bool>> {};

TEST_P(SoakTest, NoisyRoundTripsKeepFilesIntactAndCountersAgree) {
    const auto [batch, filesum] = GetParam();
    const auto files = batch_files(batch);
    OrganiserTree org;
    TempDir up, down;  // the files to put (orvel's working folder), and where the gets land
    // Every file put, then every file got back, then the counters; pause sends nothing, so they
    // are the totals of the whole wire. With checksums the session runs as a command file.
    std::string cmds = filesum ? "filesum on\n" : "";
    for (const auto& [name, bytes] : files) {
        up.write(name, bytes);
        cmds += "put m:\\" + name + " " + name + "\n";
    }
    for (const auto& [name, bytes] : files)
        cmds += "get m:\\" + name + " " + down.file(name) + "\n";
    cmds += "transinfo\nftransinfo\n";
    if (filesum) up.write("soak.ovcmd", cmds);
    RunSpec how{.input = filesum ? "run soak\npause\n" : cmds + "pause\n",
                .simargs = {"--fault", "out=0.03,in=0.03,ack=0.03", "--fault",
                            "seed=" + std::to_string(100 + batch + (filesum ? kBatches : 0))},
                .root = org.root,
                .cwd = up.path,
                .timeout_ms = kDeadlineMs};
    if (filesum) how.simargs.insert(how.simargs.end(), {"--fault", "datain=0.03,dataout=0.03"});
    RunResult r = run_orvel(how);
    ASSERT_FALSE(r.timed_out) << "after " << r.wall_seconds << " s";
    EXPECT_EQ(r.status, 0) << r.err;
    int bad = 0;
    for (const auto& [name, bytes] : files) {
        if (org.read("m/" + name) != bytes) ++bad, ADD_FAILURE() << "organiser " << name;
        if (down.read(name) != bytes) ++bad, ADD_FAILURE() << "fetched " << name;
        if (bad > 5) break;  // enough to see what went wrong
    }
    EXPECT_EQ(down.dot_names(), std::vector<std::string>{});
    EXPECT_EQ(r.out.find("File not transfered"), std::string::npos);
    // The counters against the simulator's own counts of frames and injected faults.
    const auto sent = counters(r.out, "Transmited blocks"),
               recd = counters(r.out, "Recieved blocks");
    const auto fsent = counters(r.out, "File Transmited blocks");
    const auto frecd = counters(r.out, "File Recieved blocks");
    const long refused = r.stat("refused_in") + r.stat("refused_ack");
    for (const char* fault : {"corrupt_out", "refused_in", "refused_ack"})
        EXPECT_GT(r.stat(fault), 0) << fault;
    EXPECT_EQ(recd.second, r.stat("corrupt_out"));
    EXPECT_EQ(sent.second, refused);
    EXPECT_EQ(sent.first, r.stat("frames_in") - refused);
    EXPECT_EQ(recd.first, r.stat("frames_out") - r.stat("corrupt_out"));
    EXPECT_EQ(frecd.second, r.stat("datain_bad"));
    EXPECT_EQ(fsent.second, r.stat("dataout_bad"));
    long lines = 0;  // one "XG" per data line (of 100 bytes) put, one accepted copy per line got
    for (const auto& [name, bytes] : files) lines += filesum ? (bytes.size() + 99) / 100 : 0;
    EXPECT_EQ(fsent.first, lines);
    EXPECT_EQ(frecd.first, lines);
    EXPECT_EQ(r.stat("datain_bad") > 0 && r.stat("dataout_bad") > 0, filesum);
}

INSTANTIATE_TEST_SUITE_P(Batches, SoakTest,
                         ::testing::Combine(::testing::Range(0, kBatches), ::testing::Bool()),
                         [](const auto& info) {
                             return "Batch" + std::to_string(std::get<0>(info.param) + 1) +
                                    (std::get<1>(info.param) ? "WithLineChecksums" : "");
                         });

}  // namespace
