// get, put and foreach as a user meets them: byte-identical round trips with and without line
// checksums and under line noise, failed transfers that leave both ends intact, wildcard gets,
// names with blanks, the sum check and its bounded correction, filters, dolower and the verbose
// lines. The real orvel runs against the simulated organiser; files are checked on both sides.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "harness.h"

namespace {

// One organiser tree, one local working folder, and orvel runs against them.
struct Link {
    OrganiserTree org;
    TempDir local;
    std::vector<std::string> simargs;
    std::vector<std::string> args;

    RunResult run(const std::string& input, int timeout_ms = 60000) {
        RunSpec spec;
        spec.root = org.root;
        spec.cwd = local.path;
        spec.input = input;
        spec.simargs = simargs;
        spec.args = args;
        spec.timeout_ms = timeout_ms;
        RunResult r = run_orvel(spec);
        EXPECT_FALSE(r.timed_out) << r.out << r.err;
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        return r;
    }
};

// The wildcard get always lists into the one fixed file /tmp/filenames; runs that use it hold
// this lock so that tests running side by side do not read each other's names.
class NamesFileLock {
  public:
    NamesFileLock()
        : fd_(open("/tmp/orvel-e2e-filenames.lock", O_RDWR | O_CREAT | O_CLOEXEC, 0666)) {
        if (fd_ >= 0) flock(fd_, LOCK_EX);
    }
    ~NamesFileLock() {
        if (fd_ >= 0) close(fd_);
    }
    NamesFileLock(const NamesFileLock&) = delete;
    NamesFileLock& operator=(const NamesFileLock&) = delete;

  private:
    int fd_;
};

std::string random_bytes(size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(gen() & 0xFF);
    return s;
}

int bytesum(const std::string& s) {
    int sum = 0;
    for (unsigned char c : s) sum = (sum + c) & 0xFF;
    return sum;
}

bool has(const std::string& out, const std::string& text) {
    return out.find(text) != std::string::npos;
}

int occurrences(const std::string& out, const std::string& text) {
    int n = 0;
    for (size_t at = out.find(text); at != std::string::npos; at = out.find(text, at + 1)) ++n;
    return n;
}

int count_frames(const RunResult& r, const std::string& text) {
    auto frames = r.frames_from_yal();
    return static_cast<int>(std::count(frames.begin(), frames.end(), text));
}

// Local files whose names start with `prefix` and are exactly six characters longer.
std::vector<std::string> saved_copies(const TempDir& dir, const std::string& prefix) {
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path)) {
        std::string name = entry.path().filename().string();
        if (name.size() == prefix.size() + 6 && name.rfind(prefix, 0) == 0) found.push_back(name);
    }
    return found;
}

const size_t kSizes[] = {0, 1, 99, 100, 101, 250, 65536};

// Puts one random file of every size and gets each back under another name.
void round_trip(Link& l, const std::string& setup) {
    std::string input = setup;
    for (size_t size : kSizes) {
        std::string name = "F" + std::to_string(size) + ".BIN";
        l.local.write(name, random_bytes(size, static_cast<unsigned>(size) + 7));
        input += "put m:\\" + name + " " + name + "\nget m:\\" + name + " back" + name + "\n";
    }
    RunResult r = l.run(input, 120000);
    EXPECT_FALSE(has(r.out, "File not transfered")) << r.out;
    for (size_t size : kSizes) {
        std::string name = "F" + std::to_string(size) + ".BIN";
        std::string bytes = random_bytes(size, static_cast<unsigned>(size) + 7);
        EXPECT_EQ(l.org.read("m/" + name), bytes) << "organiser copy of " << size << " bytes";
        EXPECT_EQ(l.local.read("back" + name), bytes) << "fetched copy of " << size << " bytes";
    }
}

const char* const kNoise = "out=0.05,in=0.05,ack=0.05,datain=0.05,dataout=0.05";

}  // namespace

// ---- round trips ----------------------------------------------------------------------------

TEST(TransferTest, RoundTripsAreByteIdentical) {
    Link l;
    round_trip(l, "");
}

TEST(TransferTest, RoundTripsWithLineChecksumsAreByteIdentical) {
    Link l;
    round_trip(l, "filesum on\n");
}

TEST(TransferTest, RoundTripsSurviveLineNoise) {
    Link l;
    l.simargs = {"--fault", kNoise, "--fault", "seed=11"};
    round_trip(l, "");
}

TEST(TransferTest, RoundTripsWithLineChecksumsSurviveLineNoise) {
    Link l;
    l.simargs = {"--fault", kNoise, "--fault", "seed=12"};
    round_trip(l, "filesum on\n");
}

TEST(TransferTest, OneArgumentGetLandsUnderTheLastName) {
    Link l;
    l.org.write("m/DOCS/NOTES.TXT", "notes\n");
    l.local.write("notes.txt", "an older, longer local copy\n");
    RunResult r = l.run("get m:\\docs\\notes.txt\n");
    EXPECT_EQ(l.local.read("notes.txt"), "notes\n");
    EXPECT_FALSE(has(r.out, "File not transfered"));
}

TEST(TransferTest, OneArgumentPutTakesTheLastNameLocally) {
    Link l;
    l.org.write("m/DOCS/NOTES.TXT", "old organiser copy\n");
    l.local.write("NOTES.TXT", "new\n");
    l.run("put m:\\DOCS\\NOTES.TXT\n");
    EXPECT_EQ(l.org.read("m/DOCS/NOTES.TXT"), "new\n");
}

// ---- failures leave both ends intact --------------------------------------------------------

TEST(TransferTest, GetOfAMissingOrganiserFileKeepsTheLocalFile) {
    Link l;
    l.local.write("keep.txt", "local\n");
    l.local.write("go.ovcmd", "get m:\\nothere.txt keep.txt\necho still going\n");
    RunResult r = l.run("run go\n");
    EXPECT_TRUE(has(r.out, "File not transfered\n")) << r.out;
    EXPECT_TRUE(has(r.out, "still going"));
    EXPECT_EQ(l.local.read("keep.txt"), "local\n");
    EXPECT_EQ(count_frames(r, "pf"), 0);
}

TEST(TransferTest, GetThatTheOrganiserCannotOpenKeepsTheLocalFile) {
    Link l;
    l.simargs = {"--reply", "pf=XSTARTPUT;XBADOPEN"};
    l.org.write("m/A.TXT", "organiser\n");
    l.local.write("keep.txt", "local\n");
    RunResult r = l.run("setv helpfull\nget m:\\a.txt keep.txt\n");
    EXPECT_TRUE(has(r.out, "Error in put, cannot open the file on the orvel\n")) << r.out;
    EXPECT_TRUE(has(r.out, "File not transfered\n")) << r.out;
    EXPECT_EQ(l.local.read("keep.txt"), "local\n");
}

TEST(TransferTest, PutOfAMissingLocalFileKeepsTheOrganiserCopy) {
    Link l;
    l.org.write("m/KEEP.TXT", "organiser\n");
    l.local.write("go.ovcmd", "put m:\\keep.txt nothere.txt\necho still going\n");
    RunResult r = l.run("run go\n");
    EXPECT_TRUE(has(r.out, "Error in puting nothere.txt, not found on local machine\n")) << r.out;
    EXPECT_FALSE(has(r.out, "File not transfered"));
    EXPECT_TRUE(has(r.out, "still going"));
    EXPECT_EQ(l.org.read("m/KEEP.TXT"), "organiser\n");
    EXPECT_EQ(count_frames(r, "rp"), 0);
    EXPECT_EQ(count_frames(r, "gf"), 0);
}

TEST(TransferTest, AnOverlongPathIsNotSent) {
    Link l;
    std::string path = "m:\\" + std::string(251, 'a');
    l.local.write("long.ovcmd", "get " + path + "\necho after the get\n");
    RunResult r = l.run("run long\nput " + path + " x\n");
    EXPECT_FALSE(has(r.out, "after the get"));
    for (const auto& f : r.frames_from_yal()) EXPECT_NE(f.rfind("sp m:\\aaaa", 0), 0u) << f;
}

// ---- dolower and verbose --------------------------------------------------------------------

TEST(TransferTest, DolowerLowersTheOrganiserPathAndTheLocalName) {
    Link l;
    l.org.write("m/DOCS/NOTES.TXT", "notes\n");
    l.local.write("up.txt", "up\n");
    RunResult r = l.run("setv dolower\nget M:\\DOCS\\NOTES.TXT\nput M:\\DOCS\\UP.TXT up.txt\n");
    EXPECT_EQ(count_frames(r, "sp m:\\docs\\notes.txt"), 1);
    EXPECT_EQ(count_frames(r, "sp m:\\docs\\up.txt"), 1);
    EXPECT_TRUE(l.local.exists("notes.txt"));
    EXPECT_FALSE(l.local.exists("NOTES.TXT"));
    EXPECT_EQ(l.org.read("m/DOCS/up.txt"), "up\n");
}

TEST(TransferTest, WithoutDolowerTheCaseIsKept) {
    Link l;
    l.org.write("m/DOCS/NOTES.TXT", "notes\n");
    RunResult r = l.run("get M:\\DOCS\\NOTES.TXT\n");
    EXPECT_EQ(count_frames(r, "sp M:\\DOCS\\NOTES.TXT"), 1);
    EXPECT_TRUE(l.local.exists("NOTES.TXT"));
}

TEST(TransferTest, VerbosePrintsProgressAndStatistics) {
    Link l;
    l.org.write("m/A.TXT", "hello");
    l.local.write("b.txt", "0123456789");
    RunResult r = l.run(
        "setv verbose\nget m:\\a.txt\nget m:\\a.txt c.txt\nput m:\\B.TXT b.txt\nput m:\\a.txt\n");
    EXPECT_TRUE(has(r.out, "Getting one file m:\\a.txt\n")) << r.out;
    EXPECT_TRUE(has(r.out, "Getting m:\\a.txt to c.txt\n")) << r.out;
    EXPECT_TRUE(has(r.out, "putting m:\\B.TXT from b.txt\n")) << r.out;
    EXPECT_TRUE(has(r.out, "putting one file m:\\a.txt\n")) << r.out;
    std::regex timing(R"(Transfer time (\d+), bytes (\d+), speed (\d+) \(bytes / sec\)\n)"
                      R"(transmission information good blocks (\d+), bad blocks (\d+)\n)");
    std::vector<int> bytes;
    for (auto it = std::sregex_iterator(r.out.begin(), r.out.end(), timing);
         it != std::sregex_iterator(); ++it) {
        int secs = std::stoi((*it)[1]), n = std::stoi((*it)[2]), speed = std::stoi((*it)[3]);
        EXPECT_GE(secs, 1);
        EXPECT_EQ(speed, n / secs);
        EXPECT_GE(std::stoi((*it)[4]), 1);
        EXPECT_EQ(std::stoi((*it)[5]), 0);
        bytes.push_back(n);
    }
    EXPECT_EQ(bytes, (std::vector<int>{5, 5, 10, 5})) << r.out;
}

TEST(TransferTest, QuietWithoutVerbose) {
    Link l;
    l.org.write("m/A.TXT", "hello");
    RunResult r = l.run("get m:\\a.txt\nput m:\\b.txt A.TXT\n");
    EXPECT_FALSE(has(r.out, "Getting"));
    EXPECT_FALSE(has(r.out, "putting"));
    EXPECT_FALSE(has(r.out, "Transfer time"));
}

// ---- wildcard get and foreach ---------------------------------------------------------------

TEST(TransferTest, WildcardGetFetchesEveryMatch) {
    NamesFileLock lock;
    Link l;
    l.org.write("m/W/A.TXT", "a\n");
    l.org.write("m/W/B.TXT", "b\n");
    l.org.write("m/W/C.DAT", "c\n");
    RunResult r = l.run("get m:\\w\\*.txt\n");
    EXPECT_EQ(l.local.read("A.TXT"), "a\n");
    EXPECT_EQ(l.local.read("B.TXT"), "b\n");
    EXPECT_FALSE(l.local.exists("C.DAT"));
    EXPECT_EQ(slurp("/tmp/filenames"), "M:\\W\\A.TXT\nM:\\W\\B.TXT\n");
    EXPECT_EQ(count_frames(r, "sp m:\\w\\*.txt"), 1);
}

TEST(TransferTest, WildcardGetIgnoresALocalName) {
    NamesFileLock lock;
    Link l;
    l.org.write("m/W/A.TXT", "a\n");
    l.org.write("m/W/B.TXT", "b\n");
    RunResult r = l.run("get m:\\w\\* mine.txt\n");
    EXPECT_TRUE(has(r.out, "Sorry cannot use specific recieving names with wildcard get (yet)\n"))
        << r.out;
    EXPECT_EQ(l.local.read("A.TXT"), "a\n");
    EXPECT_EQ(l.local.read("B.TXT"), "b\n");
    EXPECT_FALSE(l.local.exists("mine.txt"));
}

TEST(TransferTest, WildcardGetOfNothingFetchesNothingAndGoesOn) {
    NamesFileLock lock;
    Link l;
    l.org.write("m/W/A.TXT", "a\n");
    l.local.write("go.ovcmd", "get m:\\w\\*.zip\necho still going\n");
    RunResult r = l.run("run go\n");
    EXPECT_TRUE(has(r.out, "still going")) << r.out;
    EXPECT_EQ(slurp("/tmp/filenames"), "");
    EXPECT_EQ(count_frames(r, "pf"), 0);
}

TEST(TransferTest, WildcardGetAppliesDolowerPerFileNotToThePattern) {
    NamesFileLock lock;
    Link l;
    l.org.write("m/W/A.TXT", "a\n");
    RunResult r = l.run("setv dolower\nget M:\\W\\*\n");
    EXPECT_EQ(count_frames(r, "sp M:\\W\\*"), 1);
    EXPECT_EQ(count_frames(r, "sp m:\\w\\a.txt"), 1);
    EXPECT_EQ(l.local.read("a.txt"), "a\n");
}

TEST(TransferTest, WildcardGetNeverWritesThroughASymbolicLink) {
    NamesFileLock lock;
    Link l;
    l.org.write("m/W/A.TXT", "a\n");
    l.local.write("victim", "precious\n");
    unlink("/tmp/filenames");
    ASSERT_EQ(symlink(l.local.file("victim").c_str(), "/tmp/filenames"), 0);
    l.local.write("go.ovcmd", "get m:\\w\\*\necho after the get\n");
    RunResult r = l.run("run go\n");
    unlink("/tmp/filenames");
    EXPECT_TRUE(has(r.out, "list, Bad file /tmp/filenames\n")) << r.out;
    EXPECT_FALSE(has(r.out, "after the get"));
    EXPECT_EQ(l.local.read("victim"), "precious\n");
    EXPECT_FALSE(l.local.exists("A.TXT"));
    EXPECT_EQ(count_frames(r, "lp"), 0);
}

TEST(TransferTest, ForeachCarriesNamesWithBlanks) {
    Link l;
    l.org.write("m/MY NOTES.TXT", "one\n");
    l.org.write("m/TWO  BLANKS [X].TXT", "two\n");
    l.local.write("names", "M:\\MY NOTES.TXT\nM:\\TWO  BLANKS [X].TXT");
    RunResult r = l.run("foreach names get\n");
    EXPECT_EQ(l.local.read("MY NOTES.TXT"), "one\n") << r.out;
    EXPECT_EQ(l.local.read("TWO  BLANKS [X].TXT"), "two\n") << r.out;
}

TEST(TransferTest, ForeachPutsItsLeadingArgumentsFirst) {
    Link l;
    l.org.write("m/A.TXT", "a");
    l.org.write("m/B.TXT", "b");
    l.org.write("m/C.TXT", "c");
    l.local.write("names", "m:\\a.txt\nm:\\b.txt\n");
    RunResult r = l.run("foreach names rm\n");
    EXPECT_FALSE(l.org.exists("m/A.TXT"));
    EXPECT_FALSE(l.org.exists("m/B.TXT"));
    EXPECT_TRUE(l.org.exists("m/C.TXT"));
    l.local.write("dirs", "m:\\d1\nm:\\d2\n");
    r = l.run("foreach dirs mkdir\n");
    EXPECT_TRUE(l.org.exists("m/d1"));
    EXPECT_TRUE(l.org.exists("m/d2"));
}

TEST(TransferTest, ForeachDebugrunShowsEachLineAsRead) {
    Link l;
    l.org.write("m/A.TXT", "a");
    l.local.write("names", "m:\\a.txt\n\nm:\\a.txt\n");
    RunResult r = l.run("setv debugrun\nforeach names get\n");
    EXPECT_EQ(occurrences(r.out, "Foreach input :m:\\a.txt\n:\n"), 2) << r.out;
    EXPECT_EQ(occurrences(r.out, "Foreach input :\n:\n"), 1) << r.out;
    EXPECT_EQ(count_frames(r, "pf"), 2);
}

TEST(TransferTest, ForeachHandlesLongLinesWhole) {
    Link l;
    std::string line = "echo-me" + std::string(300, 'x') + "end";
    l.local.write("names", line + "\n");
    RunResult r = l.run("foreach names echo\n");
    // One command for the whole line: never a second one for a tail piece.
    EXPECT_TRUE(has(r.out, line + "\n") || has(r.out, "too long")) << r.out;
    EXPECT_EQ(occurrences(r.out, "xend\n"), has(r.out, line + "\n") ? 1 : 0) << r.out;
}

TEST(TransferTest, ForeachWithoutItsNamesFileFailsAndStops) {
    Link l;
    l.local.write("go.ovcmd", "foreach nothere get\necho after the foreach\n");
    RunResult r = l.run("run go\n");
    EXPECT_TRUE(has(r.out, "foreach error on opening names file\n")) << r.out;
    EXPECT_FALSE(has(r.out, "after the foreach"));
}

TEST(TransferTest, ForeachOverAnEmptyFileDoesNothing) {
    Link l;
    l.local.write("names", "");
    l.local.write("go.ovcmd", "foreach names get\necho still going\n");
    RunResult r = l.run("run go\n");
    EXPECT_TRUE(has(r.out, "still going"));
    EXPECT_EQ(count_frames(r, "pf"), 0);
}

// ---- the sum check and its correction -------------------------------------------------------

TEST(TransferTest, ChksumwarnWarnsAndKeepsTheFile) {
    Link l;
    l.simargs = {"--fault", "sum=1"};
    std::string bytes = "checksummed bytes\n";
    l.org.write("m/A.TXT", bytes);
    RunResult r = l.run("setv chksumwarn\nget m:\\a.txt\n");
    int yal = bytesum(bytes);
    char expect[128];
    std::snprintf(expect, sizeof expect,
                  "Warning, the orvel and yal check sums disagree (yal = %d, orvel = %d)\n", yal,
                  (yal + 1) & 0xFF);
    EXPECT_TRUE(has(r.out, expect)) << r.out;
    EXPECT_EQ(l.local.read("a.txt"), bytes);
    EXPECT_EQ(count_frames(r, "pf"), 1);
}

TEST(TransferTest, AgreeingSumsAreQuiet) {
    Link l;
    l.org.write("m/A.TXT", "abc");
    l.local.write("b.txt", "def");
    RunResult r =
        l.run("setv chksumwarn\nsetv chksumcorrect\nget m:\\a.txt\nput m:\\b.txt b.txt\n");
    EXPECT_FALSE(has(r.out, "Warning"));
    EXPECT_EQ(count_frames(r, "pf"), 1);
    EXPECT_EQ(count_frames(r, "gf"), 1);
    EXPECT_EQ(count_frames(r, "cs"), 2);
}

TEST(TransferTest, ChksumcorrectGivesUpAfterFiveRegets) {
    Link l;
    l.simargs = {"--fault", "sum=1"};
    l.org.write("m/A.TXT", "always disputed\n");
    RunResult r = l.run("setv chksumcorrect\nsetv verbose\nget m:\\a.txt\necho next\n");
    EXPECT_EQ(count_frames(r, "pf"), 6);
    EXPECT_EQ(occurrences(r.out, "A Checksum difference has been detected, regetting the file\n"),
              5)
        << r.out;
    EXPECT_EQ(occurrences(r.out,
                          "Error, the orvel and yal check sums still disagree after 5 "
                          "attempts, giving up on m:\\a.txt\n"),
              1)
        << r.out;
    EXPECT_TRUE(has(r.out, "next"));
    EXPECT_EQ(l.local.read("a.txt"), "always disputed\n");
}

TEST(TransferTest, ChksumcorrectGivesUpAfterFiveReputs) {
    Link l;
    l.simargs = {"--fault", "sum=1"};
    l.local.write("b.txt", "always disputed\n");
    RunResult r = l.run("setv chksumcorrect\nsetv verbose\nput m:\\B.TXT b.txt\n");
    EXPECT_EQ(count_frames(r, "gf"), 6);
    EXPECT_EQ(occurrences(r.out, "A Checksum difference has been detected, re-putting the file\n"),
              5)
        << r.out;
    EXPECT_TRUE(has(r.out,
                    "Error, the orvel and yal check sums still disagree after 5 attempts, "
                    "giving up on m:\\B.TXT\n"))
        << r.out;
    EXPECT_EQ(l.org.read("m/B.TXT"), "always disputed\n");
    EXPECT_EQ(l.local.read("b.txt"), "always disputed\n");
}

TEST(TransferTest, ChksumcorrectRefetchesUntilTheSumsAgree) {
    Link l;
    l.simargs = {"--fault", "sum=0.5", "--fault", "seed=3"};
    for (int i = 0; i < 6; ++i)
        l.org.write("m/F" + std::to_string(i) + ".BIN", random_bytes(300, 40 + i));
    std::string input = "setv chksumcorrect\n";
    for (int i = 0; i < 6; ++i) input += "get m:\\f" + std::to_string(i) + ".bin\n";
    RunResult r = l.run(input);
    long lies = r.stat("sum_lies");
    EXPECT_GT(lies, 0);
    EXPECT_EQ(count_frames(r, "pf"), 6 + lies - occurrences(r.out, "giving up"));
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(l.local.read("f" + std::to_string(i) + ".bin"), random_bytes(300, 40 + i));
}

TEST(TransferTest, ChksumsaveKeepsEveryDisputedCopy) {
    Link l;
    l.simargs = {"--fault", "sum=1"};
    l.org.write("m/A.TXT", "disputed\n");
    RunResult r =
        l.run("setv chksumcorrect\nsetv chksumsave\nsetv verbose\nget m:\\a.txt mine.txt\n");
    std::vector<std::string> saved = saved_copies(l.local, "mine.txt");
    ASSERT_EQ(saved.size(), 5u) << r.out;
    for (const std::string& name : saved) {
        EXPECT_EQ(l.local.read(name), "disputed\n");
        EXPECT_TRUE(has(r.out, "Saving incorrect version using :mv mine.txt " + name + ":\n"))
            << r.out;
    }
    EXPECT_EQ(l.local.read("mine.txt"), "disputed\n");
}

TEST(TransferTest, WithoutChksumsaveTheDisputedCopyIsDeleted) {
    Link l;
    l.simargs = {"--fault", "sum=1"};
    l.org.write("m/A.TXT", "disputed\n");
    RunResult r = l.run("setv chksumcorrect\nget m:\\a.txt mine.txt\n");
    EXPECT_TRUE(saved_copies(l.local, "mine.txt").empty());
    EXPECT_FALSE(has(r.out, "Saving incorrect version"));
    EXPECT_EQ(l.local.read("mine.txt"), "disputed\n");
}

// ---- filters --------------------------------------------------------------------------------

TEST(TransferTest, FiltersConvertAroundGetAndPut) {
    Link l;
    l.local.write("up.ovcmd", "! sed -i s/hello/HELLO/ [arg1]\n");
    l.local.write("down.ovcmd", "! sed -i s/HELLO/hello/ [arg1]\n");
    l.local.write("tag.ovcmd", "! sed -i s/world/WORLD/ [arg1]\n");
    l.local.write("out.txt", "hello world\n");
    l.org.write("m/IN.TXT", "hello world\n");
    RunResult r = l.run(
        "addfilter out txt up\naddfilter restore txt down\naddfilter in txt tag\n"
        "setv autofilefilter\nput m:\\OUT.TXT out.txt\nget m:\\in.txt in.txt\n");
    EXPECT_EQ(l.org.read("m/OUT.TXT"), "HELLO world\n") << r.out;
    EXPECT_EQ(l.local.read("out.txt"), "hello world\n") << r.out;
    EXPECT_EQ(l.local.read("in.txt"), "hello WORLD\n") << r.out;
}

TEST(TransferTest, NoFiltersWithoutAutofilefilter) {
    Link l;
    l.local.write("tag.ovcmd", "! sed -i s/world/WORLD/ [arg1]\n");
    l.org.write("m/IN.TXT", "hello world\n");
    l.run("addfilter in txt tag\nget m:\\in.txt in.txt\n");
    EXPECT_EQ(l.local.read("in.txt"), "hello world\n");
}

TEST(TransferTest, InFilterRunsOnceOnTheFinalCopyAfterCorrections) {
    Link l;
    l.simargs = {"--fault", "sum=1"};
    l.local.write("mark.ovcmd", "! echo filtered >> [arg1]\n");
    l.org.write("m/IN.TXT", "data\n");
    RunResult r =
        l.run("addfilter in txt mark\nsetv autofilefilter\nsetv chksumcorrect\nget m:\\in.txt\n");
    EXPECT_EQ(l.local.read("in.txt"), "data\nfiltered\n") << r.out;
    EXPECT_EQ(count_frames(r, "pf"), 6);
}

TEST(TransferTest, RestoreFilterRunsAfterAFailedPut) {
    Link l;
    l.simargs = {"--reply", "gf=XSTARTGET;XBADOPEN"};
    l.local.write("up.ovcmd", "! sed -i s/hello/HELLO/ [arg1]\n");
    l.local.write("down.ovcmd", "! sed -i s/HELLO/hello/ [arg1]\n");
    l.local.write("out.txt", "hello\n");
    RunResult r = l.run(
        "addfilter out txt up\naddfilter restore txt down\nsetv autofilefilter\n"
        "put m:\\OUT.TXT out.txt\n");
    EXPECT_EQ(l.local.read("out.txt"), "hello\n") << r.out;
    EXPECT_FALSE(l.org.exists("m/OUT.TXT"));
}
