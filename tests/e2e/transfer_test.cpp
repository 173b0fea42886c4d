// get, put and foreach as a user meets them: byte-identical round trips with and without line
// checksums and under line noise, failed transfers that leave both ends intact, wildcard gets,
// names with blanks, the sum check and its bounded correction, filters, dolower and the verbose
// lines. The real orvel runs against the simulated organiser; files are checked on both sides.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "e2e_util.h"
#include "harness.h"

using namespace e2e;

namespace {

struct Mode {
    std::string name, setup;
    std::vector<std::string> simargs;
    friend void PrintTo(const Mode& m, std::ostream* os) { *os << m.name; }
};

// One organiser tree, one local working folder, and orvel runs against them.
class TransferTest : public ::testing::TestWithParam<Mode> {
  protected:
    RunResult run(const std::string& input, std::vector<std::string> simargs = {}) {
        RunSpec spec;
        spec.root = org.root;
        spec.cwd = local.path;
        spec.input = input;
        spec.simargs = std::move(simargs);
        spec.timeout_ms = 120000;
        RunResult r = run_orvel(spec);
        EXPECT_TRUE(!r.timed_out && r.status == status) << r.status << "\n" << r.out << r.err;
        return r;
    }
    // Standard output from the first prompt on, with every prompt as "> ".
    std::string session(const RunResult& r) {
        std::string s = r.out.substr(std::min(r.out.find(kPrompt), r.out.size()));
        for (size_t at; (at = s.find(kPrompt)) != std::string::npos;) s.replace(at, 8, "> ");
        return s;
    }
    OrganiserTree org;
    TempDir local;
    int status = 0;  // what the next run must exit with: 3 when one of its commands fails
};

// The wildcard get lists into the one fixed file /tmp/filenames; runs that use it hold this lock
// so that tests running side by side do not read each other's names.
struct NamesFileLock {
    int fd = open("/tmp/orvel-e2e-filenames.lock", O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    NamesFileLock() { flock(fd, LOCK_EX); }
    ~NamesFileLock() { close(fd); }
};

std::string random_bytes(size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(gen() & 0xFF);
    return s;
}

// orvel's frames, joined by blanks.
std::string wire(const RunResult& r) {
    std::string all;
    for (const std::string& f : r.frames_from_yal()) all += (all.empty() ? "" : " ") + f;
    return all;
}

int frames(const RunResult& r, const std::string& text) {
    auto all = r.frames_from_yal();
    return static_cast<int>(std::count(all.begin(), all.end(), text));
}

const char* const kNoise = "out=0.05,in=0.05,ack=0.05,datain=0.05,dataout=0.05";

INSTANTIATE_TEST_SUITE_P(
    Modes, TransferTest,
    ::testing::Values(
        Mode{"Plain", "", {}}, Mode{"Filesum", "filesum on\n", {}},
        Mode{"Noise", "", {"--fault", kNoise, "--fault", "seed=11"}},
        Mode{"FilesumNoise", "filesum on\n", {"--fault", kNoise, "--fault", "seed=12"}}),
    [](const ::testing::TestParamInfo<Mode>& info) { return info.param.name; });

TEST_P(TransferTest, RoundTripsAreByteIdentical) {
    const size_t sizes[] = {0, 1, 99, 100, 101, 250, 65536};
    auto name = [](size_t size) { return std::string("F").append(std::to_string(size)) + ".BIN"; };
    std::string input = GetParam().setup;
    for (size_t size : sizes) {
        local.write(name(size), random_bytes(size, size + 7));
        input += "put m:\\" + name(size) + " " + name(size) + "\nget m:\\" + name(size) + " back" +
                 name(size) + "\n";
    }
    RunResult r = run(input, GetParam().simargs);
    EXPECT_FALSE(contains(r.out, "File not transfered")) << r.out;
    EXPECT_EQ(r.stat("corrupt_out") + r.stat("refused_in") > 0, !GetParam().simargs.empty());
    for (size_t size : sizes) {
        SCOPED_TRACE(size);
        EXPECT_EQ(org.read("m/" + name(size)), random_bytes(size, size + 7));
        EXPECT_EQ(local.read("back" + name(size)), random_bytes(size, size + 7));
    }
}

// Replaces each verbose statistics pair ("Transfer time ..." and "transmission information ...")
// by "bytes N" when it is sound: a time of at least 1 second, the speed equal to the byte count
// when the time is 1, at least one good block and no bad one. Anything else is left as it was.
std::string withbytesonly(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line + "\n");
    if (!text.empty() && text.back() != '\n') lines.back().pop_back();
    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        int secs = 0, bytes = 0, speed = 0, good = 0, bad = -1, used = 0;
        bool pair = i + 1 < lines.size() &&
                    std::sscanf(lines[i].c_str(),
                                "Transfer time %d, bytes %d, speed %d (bytes / sec)\n%n", &secs,
                                &bytes, &speed, &used) == 3 &&
                    used == static_cast<int>(lines[i].size()) &&
                    std::sscanf(lines[i + 1].c_str(),
                                "transmission information good blocks %d, bad blocks %d", &good,
                                &bad) == 2;
        if (pair && secs >= 1 && (secs > 1 || speed == bytes) && good >= 1 && bad == 0) {
            out += "bytes " + std::to_string(bytes) + "\n";
            ++i;
        } else {
            out += lines[i];
        }
    }
    return out;
}

TEST_F(TransferTest, OneNameTransfersDolowerVerboseAndAgreeingSums) {
    org.write("m/DOCS/A.TXT", "a\n");
    org.write("m/DOCS/B.TXT", "old organiser copy\n");
    org.write("m/DOCS/NOTES.TXT", "notes\n");
    local.write("B.TXT", "new\n");
    local.write("notes.txt", "an older, longer local copy\n");
    local.write("up.txt", "up\n");
    RunResult r =
        run("setv chksumwarn\nsetv chksumcorrect\nget M:\\DOCS\\A.TXT\nput m:\\docs\\B.TXT\n"
            "setv dolower\nget M:\\DOCS\\NOTES.TXT\nput M:\\DOCS\\UP.TXT up.txt\nsetv verbose\n"
            "get m:\\docs\\a.txt\nget M:\\DOCS\\A.TXT c.txt\nput m:\\docs\\b.txt B.TXT\n"
            "put m:\\docs\\up.txt\n");
    // Each statistics pair becomes "bytes N"; the speed is checked where the time is 1 second.
    EXPECT_EQ(
        withbytesonly(session(r)),
        "> > > > > > > > > Getting one file m:\\docs\\a.txt\nbytes 2\n> Getting m:\\docs\\a.txt to "
        "c.txt\nbytes 2\n> putting m:\\docs\\b.txt from B.TXT\nbytes 4\n> putting one file "
        "m:\\docs\\up.txt\nbytes 3\n> " +
            std::string(kPauseMsg));
    for (const char* name : {"A.TXT", "a.txt", "c.txt"}) EXPECT_EQ(local.read(name), "a\n");
    EXPECT_EQ(org.read("m/DOCS/b.txt"), "new\n");  // the second put named it anew
    EXPECT_EQ(local.read("notes.txt"), "notes\n");
    EXPECT_FALSE(local.exists("NOTES.TXT"));
    EXPECT_EQ(org.read("m/DOCS/up.txt"), "up\n");
    EXPECT_EQ(frames(r, "sp M:\\DOCS\\A.TXT") + frames(r, "sp m:\\docs\\notes.txt"), 2);
    EXPECT_EQ(frames(r, "cs"), 8);
}

// The organiser refuses every file, the long path fits no frame, and no temporary stays.
TEST_F(TransferTest, FailedTransfersLeaveBothEndsIntact) {
    status = 3;
    org.write("m/KEEP.TXT", "organiser\n");
    local.write("keep.txt", "local\n");
    local.write("out.txt", "hello\n");
    local.write("go.ovcmd",
                "get m:\\nothere.txt keep.txt\nput m:\\keep.txt nothere.txt\necho on\n");
    local.write("up.ovcmd", "! sed -i s/hello/HELLO/ [arg1]\n");
    local.write("down.ovcmd", "! sed -i s/HELLO/hello/ [arg1]\n");
    const std::string path = "m:\\" + std::string(251, 'a');
    local.write("long.ovcmd", "get " + path + "\necho after the get\n");
    RunResult r =
        run("run go\nsetv helpfull\nget m:\\keep.txt keep.txt\naddfilter out txt up\n"
            "addfilter restore txt down\nsetv autofilefilter\nput m:\\OUT.TXT out.txt\n"
            "run long\nput " +
                path + " x\n",
            {"--reply", "pf=XSTARTPUT;XBADOPEN", "--reply", "gf=XSTARTGET;XBADOPEN"});
    const std::string toolong =
        "ERROR: Command too long to send to the orvel (257 characters, at most 255)\n";
    EXPECT_EQ(
        session(r),
        "> File not transfered\nError in puting nothere.txt, not found on local machine\n"
        "on\n> > Error in put, cannot open the file on the orvel\nFile not transfered\n> > > > "
        "HELP: Error in getting file from the orvel, cannot open it.\n"
        "HELP: Either the disk is full, there are to many files or the directory\n"
        "HELP: does not exist\n> " +
            toolong + "> " + toolong + "> " + kPauseMsg);
    // The put whose local file is missing sends its path only: no "ep", no "rp".
    EXPECT_EQ(wire(r),
              "ia tm vn po 1 sp m:\\nothere.txt ep sp m:\\keep.txt ep pf sp m:\\OUT.TXT ep gf");
    EXPECT_EQ(local.read("keep.txt"), "local\n");
    EXPECT_EQ(local.read("out.txt"), "hello\n");  // the restore filter ran after the failed put
    EXPECT_EQ(org.read("m/KEEP.TXT"), "organiser\n");
    EXPECT_FALSE(org.exists("m/OUT.TXT"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(local.path), {}), 6);
}

TEST_F(TransferTest, WildcardGetFetchesEveryMatchButNeverListsThroughALink) {
    NamesFileLock lock;
    org.write("m/W/A.TXT", "a\n");
    org.write("m/W/B.TXT", "b\n");
    org.write("m/W/C.DAT", "c\n");
    local.write("go.ovcmd", "get m:\\w\\*.zip\necho on\n");
    RunResult r = run("run go\nget m:\\w\\*.txt mine.txt\nsetv dolower\nget M:\\W\\*.DAT\n");
    EXPECT_EQ(session(r),
              "> on\n> Sorry cannot use specific recieving names with wildcard get (yet)\n> > > " +
                  std::string(kPauseMsg));
    EXPECT_EQ(local.read("A.TXT"), "a\n");
    EXPECT_EQ(local.read("B.TXT"), "b\n");
    EXPECT_EQ(local.read("c.dat"), "c\n");
    EXPECT_FALSE(local.exists("mine.txt"));
    EXPECT_EQ(slurp("/tmp/filenames"), "M:\\W\\C.DAT\n");
    EXPECT_EQ(wire(r),
              "ia tm vn po 1 sp m:\\w\\*.zip lp sp m:\\w\\*.txt lp sp M:\\W\\A.TXT ep pf sp "
              "M:\\W\\B.TXT ep pf sp M:\\W\\*.DAT lp sp m:\\w\\c.dat ep pf");
    local.write("victim", "precious\n");
    unlink("/tmp/filenames");
    ASSERT_EQ(symlink(local.file("victim").c_str(), "/tmp/filenames"), 0);
    local.write("go.ovcmd", "get m:\\w\\*\necho after the get\n");
    status = 3;
    r = run("run go\n");
    unlink("/tmp/filenames");
    EXPECT_EQ(session(r),
              "> ERROR: /tmp/filenames is a symbolic link, not used\n> " + std::string(kPauseMsg));
    EXPECT_EQ(local.read("victim"), "precious\n");
    EXPECT_EQ(frames(r, "lp"), 0);
}

TEST_F(TransferTest, ForeachDispatchesEachWholeLineAfterItsLeadingWords) {
    status = 3;
    for (const char* f : {"m/MY NOTES.TXT", "m/TWO  BLANKS [X].TXT", "m/A", "m/B", "m/C"})
        org.write(f, f);
    local.write("names", "M:\\MY NOTES.TXT\nM:\\TWO  BLANKS [X].TXT");
    local.write("rms", "m:\\a\n\nm:\\b\n");
    local.write("dirs", "m:\\d1\nm:\\d2\n");
    local.write("empty", "");
    local.write("long", "echo-me" + std::string(300, 'x') + "end\n");
    local.write("go.ovcmd", "foreach empty get\nforeach nothere get\necho after the foreach\n");
    RunResult r =
        run("foreach names get\nforeach dirs mkdir\nforeach long echo\nrun go\n"
            "setv debugrun\nforeach rms rm\n");
    EXPECT_EQ(session(r), "> > Creating directory m:\\d1\nCreating directory m:\\d2\n> echo-me" +
                              std::string(300, 'x') +
                              "end\n> foreach error on opening names file\n> > Foreach input "
                              ":m:\\a\n:\nForeach input :\n:\nError Cmd not known\n"
                              "Foreach input :m:\\b\n:\n> " +
                              kPauseMsg);
    EXPECT_EQ(local.read("MY NOTES.TXT"), "m/MY NOTES.TXT");
    EXPECT_EQ(local.read("TWO  BLANKS [X].TXT"), "m/TWO  BLANKS [X].TXT");
    for (const char* f : {"m/A", "m/B", "m/C", "m/d1/", "m/d2/"})
        EXPECT_EQ(org.exists(f), f != std::string("m/A") && f != std::string("m/B")) << f;
    EXPECT_EQ(frames(r, "pf"), 2);
}

// The simulated organiser's sum is always one more than the workstation's. The filters run
// only under autofilefilter, an in filter once on the final copy after its corrections.
TEST_F(TransferTest, FiltersAndDisputedSumsWarnedCorrectedAtMostFiveTimesAndKept) {
    status = 3;
    org.write("m/A.TXT", "disputed\n");
    org.write("m/IN.TXT", "hello world\n");
    local.write("b.txt", "always disputed\n");
    local.write("out.txt", "hello world\n");
    local.write("up.ovcmd", "! sed -i s/hello/HELLO/ [arg1]\n");
    local.write("down.ovcmd", "! sed -i s/HELLO/hello/ [arg1]\n");
    local.write("mark.ovcmd", "! echo filtered >> [arg1]\n");
    RunResult r =
        run("addfilter out txt up\naddfilter restore txt down\naddfilter in txt mark\n"
            "get m:\\in.txt plain.txt\nsetv autofilefilter\nput m:\\OUT.TXT out.txt\n"
            "get m:\\in.txt in.txt\nsetv chksumwarn\nget m:\\a.txt warned.txt\nunsetv chksumwarn\n"
            "setv chksumcorrect\nget m:\\in.txt fixed.txt\nunsetv autofilefilter\n"
            "get m:\\a.txt a.txt\nsetv verbose\nput m:\\B.TXT b.txt\nsetv chksumsave\n"
            "get m:\\a.txt mine.txt\n",
            {"--fault", "sum=1"});
    EXPECT_EQ(local.read("plain.txt"), "hello world\n") << r.out;
    EXPECT_EQ(org.read("m/OUT.TXT"), "HELLO world\n");
    EXPECT_EQ(local.read("out.txt"), "hello world\n");
    for (const char* name : {"in.txt", "fixed.txt"})
        EXPECT_EQ(local.read(name), "hello world\nfiltered\n");
    EXPECT_EQ(local.read("warned.txt"), "disputed\nfiltered\n");
    EXPECT_EQ(count_of(r.out,
                       "Warning, the orvel and yal check sums disagree (yal = 108, orvel = "
                       "109)\n"),
              1);
    EXPECT_EQ(count_of(r.out, "A Checksum difference has been detected, regetting the file\n"), 5);
    EXPECT_EQ(count_of(r.out, "A Checksum difference has been detected, re-putting the file\n"), 5);
    EXPECT_EQ(count_of(r.out, "giving up on m:\\a.txt\n"), 2);
    EXPECT_TRUE(contains(r.out,
                         "Error, the orvel and yal check sums still disagree after 5 "
                         "attempts, giving up on m:\\B.TXT\n"));
    int saved = 0;  // mine.txt and six characters: nothing else has 14
    for (const auto& e : std::filesystem::directory_iterator(local.path)) {
        const std::string name = e.path().filename().string();
        if (name.size() != 14) continue;
        ++saved;
        EXPECT_EQ(local.read(name), "disputed\n");
        EXPECT_TRUE(contains(r.out, "Saving incorrect version using :mv mine.txt " + name + ":\n"));
    }
    EXPECT_EQ(saved, 5) << r.out;
    for (const char* name : {"a.txt", "mine.txt"}) EXPECT_EQ(local.read(name), "disputed\n");
    EXPECT_EQ(org.read("m/B.TXT"), "always disputed\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(local.path), {}), 11 + 5);
    EXPECT_EQ(frames(r, "pf"), 1 + 1 + 1 + 6 + 6 + 6);
    EXPECT_EQ(frames(r, "gf"), 1 + 6);
}

TEST_F(TransferTest, CorrectionRefetchesUntilTheSumsAgree) {
    std::string input = "setv chksumcorrect\n";
    for (int i = 0; i < 6; ++i) {
        org.write("m/F" + std::to_string(i) + ".BIN", random_bytes(300, 40 + i));
        input += "get m:\\f" + std::to_string(i) + ".bin\n";
    }
    RunResult r = run(input, {"--fault", "sum=0.5", "--fault", "seed=3"});
    const long lies = r.stat("sum_lies");
    EXPECT_GT(lies, 0);
    EXPECT_EQ(frames(r, "pf"), 6 + lies - count_of(r.out, "giving up"));
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(local.read(std::string("f").append(std::to_string(i)) + ".bin"),
                  random_bytes(300, 40 + i));
}

}  // namespace
