// File transfers against a scripted organiser on a real pseudo-terminal: the exact data lines
// of put and get, with and without per-line checksums, and what happens to the local file when
// a transfer fails.
#include <dirent.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <vector>

#include "link_peer.h"
#include "ovvar.h"

using linktest::ChildResult;
using linktest::peerframe;
using linktest::PtyPeer;

namespace {

// A fresh directory for the local files of one test, removed with everything in it.
class TempDir {
  public:
    TempDir() {
        char name[] = "/tmp/orvel-linkxferXXXXXX";
        path = mkdtemp(name);
    }
    ~TempDir() {
        for (const auto& n : entries()) unlink((path + "/" + n).c_str());
        rmdir(path.c_str());
    }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        if (DIR* d = opendir(path.c_str())) {
            while (dirent* e = readdir(d))
                if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
                    names.push_back(e->d_name);
            closedir(d);
        }
        return names;
    }
    std::string file(const std::string& name, const std::string& data, mode_t mode = 0644) {
        std::string full = path + "/" + name;
        FILE* f = std::fopen(full.c_str(), "wb");
        std::fwrite(data.data(), 1, data.size(), f);
        std::fclose(f);
        chmod(full.c_str(), mode);
        return full;
    }
    std::string path;
};

std::string letters(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        out += static_cast<char>('A' + (c >> 4));
        out += static_cast<char>('A' + (c & 15));
    }
    return out;
}

std::string hexof(const std::string& bytes) {
    std::string out;
    char pair[3];
    for (unsigned char c : bytes) {
        std::snprintf(pair, sizeof pair, "%02x", c);
        out += pair;
    }
    return out;
}

std::string sumdigits(const std::string& bytes) {
    unsigned sum = 0;
    for (unsigned char c : bytes) sum += c;
    char d[3];
    std::snprintf(d, sizeof d, "%02X", sum & 0xFF);
    return d;
}

std::string pattern(std::size_t n) {
    std::string s;
    for (std::size_t i = 0; i < n; i++) s += static_cast<char>(i * 7 + 3);
    return s;
}

// The link's side of a get into `target`, reporting result and counters.
PtyPeer::Body getbody(const std::string& target, int chk) {
    return [target, chk](const std::string&) {
        filechksum = chk;
        int rc = ovpfb(target);
        std::printf("transct %d frecgood %d frecbad %d\n", transct, frecgood, frecbad);
        return rc;
    };
}

PtyPeer::Body putbody(const std::string& local, int chk) {
    return [local, chk](const std::string&) {
        filechksum = chk;
        int rc = ovgfb(local);
        std::printf("transct %d ftransgood %d ftransbad %d\n", transct, ftransgood, ftransbad);
        return rc;
    };
}

void expectlines(const std::vector<std::string>& names, std::size_t count) {
    EXPECT_EQ(names.size(), count) << "temporary files left behind";
}

}  // namespace

TEST(LinkTransferTest, PutSendsLettersInBlocksOf100) {
    TempDir dir;
    const std::string data = pattern(250);
    PtyPeer peer;
    peer.start(putbody(dir.file("local", data), 0));
    ASSERT_TRUE(peer.waitconfigured());
    peer.exchange("gf", {"XSTARTGET", "XOK"});
    std::string got;
    std::vector<std::size_t> sizes;
    for (int i = 0; i < 3; i++) {
        std::string line = peer.take();
        sizes.push_back(line.size());
        got += line;
    }
    peer.exchange("XE", {"XENDGET"});
    ChildResult r = peer.finish();
    EXPECT_EQ(sizes, (std::vector<std::size_t>{200, 200, 100}));
    EXPECT_EQ(got, letters(data));
    EXPECT_EQ(r.out, "transct 250 ftransgood 0 ftransbad 0\nRESULT -2\n");
    std::string wire = peerframe("gf") + "OO";
    for (int i = 0; i < 3; i++) wire += peerframe(letters(data.substr(i * 100, 100)));
    EXPECT_EQ(peer.wire, wire + peerframe("XE") + "O");
}

TEST(LinkTransferTest, PutExactBytesOnTheWire) {
    TempDir dir;
    const std::string data("\x00\xFF\x3F\xA0", 4);
    PtyPeer peer;
    peer.start(putbody(dir.file("local", data), 0));
    ASSERT_TRUE(peer.waitconfigured());
    peer.exchange("gf", {"XSTARTGET", "XOK"});
    EXPECT_EQ(peer.take(), "AAPPDPKA");
    peer.exchange("XE", {"XENDGET"});
    ChildResult r = peer.finish();
    EXPECT_EQ(r.out, "transct 4 ftransgood 0 ftransbad 0\nRESULT -2\n");
    // The link acknowledges the organiser's replies; its own lines are acknowledged by the peer.
    EXPECT_EQ(peer.wire, "$02gf$CDOO$08AAPPDPKA$42$02XE$9DO");
}

TEST(LinkTransferTest, PutWithFilesumResendsUntilXG) {
    TempDir dir;
    const std::string data("\x00\xFF\x3F", 3);
    PtyPeer peer;
    peer.start(putbody(dir.file("local", data), 1));
    ASSERT_TRUE(peer.waitconfigured());
    peer.exchange("gf", {"XSTARTGET", "XOK"});
    peer.exchange("3EAAPPDP", {"XB"});
    peer.exchange("3EAAPPDP", {"XG"});
    peer.exchange("XE", {"XENDGET"});
    ChildResult r = peer.finish();
    EXPECT_EQ(r.out, "transct 3 ftransgood 1 ftransbad 1\nRESULT -2\n");
    EXPECT_EQ(peer.wire, "$02gf$CDOO$083EAAPPDP$2EO$083EAAPPDP$2EO$02XE$9DO");
}

TEST(LinkTransferTest, PutEmptyFileSendsOnlyTheEndWord) {
    TempDir dir;
    PtyPeer peer;
    peer.start(putbody(dir.file("empty", ""), 0));
    ASSERT_TRUE(peer.waitconfigured());
    peer.exchange("gf", {"XSTARTGET", "XOK"});
    peer.exchange("XE", {"XENDGET"});
    ChildResult r = peer.finish();
    EXPECT_EQ(r.out, "transct 0 ftransgood 0 ftransbad 0\nRESULT -2\n");
}

TEST(LinkTransferTest, PutMissingLocalFileLeavesOrganiserUntouched) {
    TempDir dir;
    PtyPeer peer;
    std::string missing = dir.path + "/missing";
    peer.start([missing](const std::string&) {
        ovpath = "m:\\dir\\target";
        return ovsendfile(missing);
    });
    ASSERT_TRUE(peer.waitconfigured());
    ChildResult r = peer.finish();
    EXPECT_EQ(r.out, "Error in puting " + missing + ", not found on local machine\nRESULT -3\n");
    EXPECT_EQ(peer.wire, "");
}

TEST(LinkTransferTest, PutRefusedByOrganiserPrintsHelp) {
    TempDir dir;
    std::string local = dir.file("local", "abc");
    PtyPeer peer;
    peer.start([local](const std::string&) {
        addvar("helpfull", "");
        return ovgfb(local);
    });
    ASSERT_TRUE(peer.waitconfigured());
    peer.exchange("gf", {"XSTARTGET", "XBADOPEN"});
    ChildResult r = peer.finish();
    EXPECT_EQ(r.out,
              "HELP: Error in getting file from the orvel, cannot open it.\n"
              "HELP: Either the disk is full, there are to many files or the directory\n"
              "HELP: does not exist\n"
              "RESULT -3\n");
}

TEST(LinkTransferTest, GetDecodesEitherCaseAndReplacesTheFile) {
    TempDir dir;
    std::string target = dir.file("target", "old contents that are longer", 0600);
    PtyPeer peer;
    peer.start(getbody(target, 0));
    ASSERT_TRUE(peer.waitconfigured());
    peer.exchange("pf", {"XSTARTPUT", "XOK"});
    peer.replyok("68656c6C6F");
    peer.replyok("0A5");  // an odd last character is ignored
    peer.replyok("XE");
    peer.replyok("XENDPUT");
    ChildResult r = peer.finish();
    EXPECT_EQ(r.out, "transct 6 frecgood 0 frecbad 0\nRESULT -2\n");
    EXPECT_EQ(linktest::readfile(target), "hello\n");
    struct stat st;
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    expectlines(dir.entries(), 1);
    EXPECT_EQ(peer.wire, "$02pf$D6OOOOOO");
}

TEST(LinkTransferTest, GetNewFileGetsDefaultMode) {
    TempDir dir;
    std::string target = dir.path + "/new";
    mode_t mask = umask(022);
    PtyPeer peer;
    peer.start(getbody(target, 0));
    ASSERT_TRUE(peer.waitconfigured());
    peer.exchange("pf", {"XSTARTPUT", "XOK", hexof("data"), "XE", "XENDPUT"});
    ChildResult r = peer.finish();
    umask(mask);
    EXPECT_EQ(linktest::readfile(target), "data");
    struct stat st;
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST(LinkTransferTest, GetWithFilesumRefusesBadLine) {
    TempDir dir;
    std::string target = dir.path + "/target";
    PtyPeer peer;
    peer.start(getbody(target, 1));
    ASSERT_TRUE(peer.waitconfigured());
    peer.exchange("pf", {"XSTARTPUT", "XOK"});
    peer.replyok("00" + hexof("AB"));  // wrong sum
    EXPECT_EQ(peer.take(), "B");
    peer.replyok(sumdigits("AB") + hexof("AB"));
    EXPECT_EQ(peer.take(), "G");
    peer.replyok(" 3" + hexof("\x01\x02"));  // blank-padded sum
    EXPECT_EQ(peer.take(), "G");
    peer.replyok("XE");
    peer.replyok("XENDPUT");
    ChildResult r = peer.finish();
    EXPECT_EQ(r.out, "transct 4 frecgood 2 frecbad 1\nRESULT -2\n");
    EXPECT_EQ(linktest::readfile(target), "AB\x01\x02");
}

TEST(LinkTransferTest, GetRefusedByOrganiserKeepsOldFile) {
    TempDir dir;
    std::string target = dir.file("target", "old");
    PtyPeer peer;
    peer.start([target](const std::string&) {
        addvar("helpfull", "");
        return ovpfb(target);
    });
    ASSERT_TRUE(peer.waitconfigured());
    peer.exchange("pf", {"XSTARTPUT", "XBADOPEN"});
    ChildResult r = peer.finish();
    EXPECT_EQ(r.out, "Error in put, cannot open the file on the orvel\nRESULT -3\n");
    EXPECT_EQ(linktest::readfile(target), "old");
    expectlines(dir.entries(), 1);
}

TEST(LinkTransferTest, GetIntoUnwritableDirectorySendsNothing) {
    TempDir dir;
    std::string target = dir.path + "/no/such/dir/file";
    PtyPeer peer;
    peer.start(getbody(target, 0));
    ASSERT_TRUE(peer.waitconfigured());
    ChildResult r = peer.finish();
    EXPECT_EQ(r.out, "ERROR: Cant open file (" + target +
                         ") to recieve the data\ntransct 0 frecgood 0 frecbad 0\nRESULT -3\n");
    EXPECT_EQ(peer.wire, "");
}

TEST(LinkTransferTest, GetLostContactRemovesTemporaryFile) {
    TempDir dir;
    std::string target = dir.file("target", "old");
    PtyPeer peer;
    peer.start(getbody(target, 0));
    ASSERT_TRUE(peer.waitconfigured());
    peer.exchange("pf", {"XSTARTPUT", "XOK", hexof("new data")});
    peer.hangup();
    ChildResult r = peer.finish();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "ERROR, Lost contact with the orvel, exiting\n");
    EXPECT_EQ(linktest::readfile(target), "old");
    expectlines(dir.entries(), 1);
}

TEST(LinkTransferTest, GetSignalRemovesTemporaryFile) {
    TempDir dir;
    std::string target = dir.file("target", "old");
    PtyPeer peer;
    peer.start(getbody(target, 0));
    ASSERT_TRUE(peer.waitconfigured());
    peer.exchange("pf", {"XSTARTPUT", "XOK", hexof("new data")});
    EXPECT_EQ(dir.entries().size(), 2u);  // the temporary file beside the target
    peer.terminate(SIGINT);
    ChildResult r = peer.finish();
    EXPECT_EQ(r.signal, SIGINT);
    EXPECT_EQ(linktest::readfile(target), "old");
    expectlines(dir.entries(), 1);
}

TEST(LinkTransferTest, GetWriteErrorDrainsTransferAndKeepsOldFile) {
    TempDir dir;
    std::string target = dir.file("target", "old");
    PtyPeer peer;
    peer.start([target](const std::string&) {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit lim = {1000, 1000};  // files may not grow past 1000 bytes
        setrlimit(RLIMIT_FSIZE, &lim);
        return ovpfb(target);
    });
    ASSERT_TRUE(peer.waitconfigured());
    peer.exchange("pf", {"XSTARTPUT", "XOK"});
    for (int i = 0; i < 15; i++) peer.replyok(hexof(pattern(100)));
    peer.replyok("XE");
    peer.replyok("XENDPUT");
    ChildResult r = peer.finish();
    EXPECT_EQ(r.out, "ERROR: Cant write to " + target + ", the transfer has failed\nRESULT -3\n");
    EXPECT_EQ(linktest::readfile(target), "old");
    expectlines(dir.entries(), 1);
}

TEST(LinkTransferTest, RecfileOfMissingPathCreatesNothing) {
    TempDir dir;
    std::string target = dir.path + "/target";
    PtyPeer peer;
    peer.start([target](const std::string&) { return ovrecfile(target); });
    ASSERT_TRUE(peer.waitconfigured());
    peer.exchange("ep", {"XNO"});
    ChildResult r = peer.finish();
    EXPECT_EQ(r.out, "RESULT 0\n");
    expectlines(dir.entries(), 0);
}

namespace {

// A put whose standard error is a terminal: reports what was drawn there.
PtyPeer::Body putonterminal(const std::string& local, bool quiet) {
    return [local, quiet](const std::string&) {
        if (quiet) addvar("noprogress", "");
        int master = -1, slave = -1;
        if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return 99;
        dup2(slave, 2);
        int rc = ovgfb(local);
        std::string shown;  // everything written there, until it has been quiet for a while
        char buf[8192];
        for (struct pollfd p = {master, POLLIN, 0}; poll(&p, 1, 200) > 0;) {
            ssize_t n = read(master, buf, sizeof buf);
            if (n <= 0) break;
            shown.append(buf, static_cast<std::size_t>(n));
        }
        const std::string erase = "\r\033[K";
        bool erased = shown.size() >= erase.size() &&
                      shown.compare(shown.size() - erase.size(), erase.size(), erase) == 0;
        std::printf("drawn %d erased %d\n", shown.find("%, ") != std::string::npos, erased);
        return rc;
    };
}

void slowput(PtyPeer& peer, int blocks) {
    peer.exchange("gf", {"XSTARTGET", "XOK"});
    for (int i = 0; i < blocks; i++) {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        peer.take();
    }
    peer.exchange("XE", {"XENDGET"});
}

}  // namespace

TEST(LinkTransferTest, ProgressLineOnATerminalIsErasedAtTheEnd) {
    TempDir dir;
    PtyPeer peer;
    peer.start(putonterminal(dir.file("local", pattern(300)), false));
    ASSERT_TRUE(peer.waitconfigured());
    slowput(peer, 3);
    EXPECT_EQ(peer.finish().out, "drawn 1 erased 1\nRESULT -2\n");
}

TEST(LinkTransferTest, NoprogressKeepsTheTerminalQuiet) {
    TempDir dir;
    PtyPeer peer;
    peer.start(putonterminal(dir.file("local", pattern(300)), true));
    ASSERT_TRUE(peer.waitconfigured());
    slowput(peer, 3);
    EXPECT_EQ(peer.finish().out, "drawn 0 erased 0\nRESULT -2\n");
}
