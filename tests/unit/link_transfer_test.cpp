// File transfers against a scripted organiser on a pseudo-terminal: exact data lines with
// per-line checksums, the progress line, and what a failing get does to local files.
#include <sys/resource.h>
#include <sys/stat.h>

#include <filesystem>

#include "link_peer.h"

using namespace linktest;
namespace fs = std::filesystem;

namespace {

// A fresh directory for the local files of one test, removed with everything in it.
struct TempDir {
    std::string path = fs::temp_directory_path() / "orvel-linkxferXXXXXX";
    TempDir() { mkdtemp(path.data()); }
    ~TempDir() { fs::remove_all(path); }
    std::string file(const std::string& name, const std::string& data, int mode = 0644) {
        std::ofstream(path + "/" + name, std::ios::binary) << data;
        fs::permissions(path + "/" + name, fs::perms(mode));
        return path + "/" + name;
    }
    long entries() const { return std::distance(fs::directory_iterator(path), {}); }
};

}  // namespace

// 250 bytes go as lines of 202, 202 and 102 characters (two sum digits, a letter pair per byte);
// "XB" makes a line go again and counts. On a terminal the progress line is drawn, then erased.
TEST(LinkTransferTest, PutSendsSummedLetterLinesAndDrawsProgress) {
    const std::string lines[] = {"DEAAPPDPKA" + std::string(192, 'A'), "00" + std::string(200, 'A'),
                                 "00" + std::string(100, 'A')};
    for (bool quiet : {false, true}) {
        SCOPED_TRACE(quiet ? "noprogress" : "progress");
        TempDir dir;
        const std::string local =
            dir.file("local", std::string("\x00\xFF\x3F\xA0", 4) + std::string(246, '\0'));
        PtyPeer peer;
        peer.start([local, quiet] {
            filechksum = 1;
            if (quiet) addvar("noprogress", "");
            int master = -1, slave = -1;
            if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return 99;
            dup2(slave, 2);
            int rc = ovgfb(local);
            usleep(200000);  // for the terminal to pass on all that was drawn
            char buf[8192];
            fcntl(master, F_SETFL, O_NONBLOCK);
            std::string shown(buf, static_cast<std::size_t>(std::max(0L, read(master, buf, 8192))));
            std::printf("transct %d ftransgood %d ftransbad %d drawn %d erased %d\n", transct,
                        ftransgood, ftransbad, shown.find("%, ") != std::string::npos,
                        shown.ends_with("\r\033[K"));
            return rc;
        });
        ASSERT_TRUE(peer.waitconfigured());
        peer.exchange("gf", {"XSTARTGET", "XOK"});
        std::string wire = peerframe("gf") + "OO";
        const std::pair<int, const char*> sends[] = {{0, "XB"}, {0, "XG"}, {1, "XG"}, {2, "XG"}};
        for (const auto& [i, verdict] : sends) {
            usleep(150000);  // time enough for the progress line to be drawn
            peer.exchange(lines[i], {verdict});
            wire += peerframe(lines[i]) + "O";
        }
        peer.exchange("XE", {"XENDGET"});
        EXPECT_EQ(peer.finish(), 0);
        EXPECT_EQ(peer.out(), std::string("transct 250 ftransgood 3 ftransbad 1 drawn ") +
                                  (quiet ? "0 erased 0" : "1 erased 1") + "\nRESULT -2\n");
        EXPECT_EQ(peer.wire, wire + peerframe("XE") + "O");
    }
}

// A put of a missing file sends nothing. Gets: a write error drains the transfer, keeping the
// old file; "B" refuses a wrong sum and only the accepted copy is kept; a new file gets the
// default mode, a replaced one its own; refused gets keep everything; SIGINT in mid-get
// restores the line and removes the temporary file.
TEST(LinkTransferTest, GetsWithChecksumsKeepOnlyWhatEndedWell) {
    TempDir dir;
    const std::string big = dir.file("big", "old"), fresh = dir.path + "/fresh",
                      kept = dir.file("kept", "old", 0600), refused = dir.file("refused", "old"),
                      nodir = dir.path + "/no/such/file", missing = dir.path + "/missing";
    struct termios before, after;
    PtyPeer peer;
    tcgetattr(peer.master, &before);
    peer.start([=] {
        filechksum = 1;
        umask(022);
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit lim = {1000, 1000};  // files may not grow past 1000 bytes
        setrlimit(RLIMIT_FSIZE, &lim);
        ovpath = "m:\\A.TXT";
        std::printf("%d\n", ovsendfile(missing));
        for (const std::string& f : {big, fresh, kept, refused, nodir})
            std::printf("%d\n", ovpfb(f));
        std::printf("good %d bad %d\n", frecgood, frecbad);
        return ovpfb(refused);
    });
    ASSERT_TRUE(peer.waitconfigured());
    peer.exchange("pf", {"XSTARTPUT", "XOK"});
    for (int i = 0; i < 11; i++) {  // 1100 zero bytes
        peer.replies({std::string(202, '0')});
        EXPECT_EQ(peer.take(), "G");
    }
    peer.replies({"XE", "XENDPUT"});
    peer.exchange("pf", {"XSTARTPUT", "XOK", "006869fe"});  // the sum of "hi\xFE" is CF
    EXPECT_EQ(peer.take(), "B");
    peer.replies({"CF6869fe"});
    EXPECT_EQ(peer.take(), "G");
    peer.replies({" 30102"});
    EXPECT_EQ(peer.take(), "G");
    peer.replies({"XE", "XENDPUT"});
    peer.exchange("pf", {"XSTARTPUT", "XOK", "XE", "XENDPUT"});
    peer.exchange("pf", {"XSTARTPUT", "XBADOPEN"});
    peer.exchange("pf", {"XSTARTPUT", "XOK", "006e6577"});
    EXPECT_EQ(peer.take(), "B");
    EXPECT_EQ(dir.entries(), 5);  // with the temporary file beside "refused"
    peer.terminate(SIGINT);
    EXPECT_EQ(peer.finish(), 128 + SIGINT);
    tcgetattr(peer.master, &after);
    EXPECT_EQ(peer.out(), "Error in puting " + missing + ", not found on local machine\n-3\n" +
                              "ERROR: Cant write to " + big + ", the transfer has failed\n-3\n" +
                              "-2\n-2\n-3\nERROR: Cant open file (" + nodir +
                              ") to recieve the data\n-3\ngood 13 bad 1\n");
    EXPECT_EQ(readfile(big) + readfile(refused), "oldold");
    EXPECT_EQ(readfile(fresh), "hi\xFE\x01\x02");
    EXPECT_EQ(readfile(kept), "");
    EXPECT_EQ(fs::status(fresh).permissions(), fs::perms(0644));
    EXPECT_EQ(fs::status(kept).permissions(), fs::perms(0600));
    EXPECT_EQ(dir.entries(), 4);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
}
