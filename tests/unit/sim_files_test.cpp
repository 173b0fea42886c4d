// The simulated organiser's file words and transfers, spoken over a real pseudo-terminal.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "sim_testpeer.h"

namespace sim {
namespace {

using Words = std::vector<std::string>;

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

class SimFilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        mkdir(h.org("m/DOCS").c_str(), 0755);
        std::ofstream(h.org("m/DOCS/notes.txt")) << "hello\n";
        std::ofstream(h.org("m/AGENDA.TXT")) << "agenda\n";
        std::ofstream(h.org("m/.profile")) << "x";
        std::ofstream(h.org("m/CONFIG.SYS"), std::ios::binary) << std::string("\x01\x02\xFF", 3);
        peer.configure();
        ASSERT_EQ(peer.response(), "XONLINE");
    }
    bool sp(const std::string& path) { return peer.command("sp " + path, 1) == Words{"XOK"}; }
    Words at(const std::string& path, const std::string& cmd, int n) {
        if (peer.command("sp " + path, 1) != Words{"XOK"}) return {"<sp failed>"};
        return peer.command(cmd, n);
    }

    SimHarness h;
    TestPeer peer{h.slave_path};
};

TEST_F(SimFilesTest, ExistenceSizeAccessAndTime) {
    EXPECT_EQ(at("M:\\DOCS\\NOTES.TXT", "ep", 1), Words{"XYES"});
    EXPECT_EQ(peer.command("sz", 1), Words{"S6"});
    EXPECT_EQ(peer.command("rw", 1), Words{"XRW"});
    struct stat st;
    ASSERT_EQ(stat(h.org("m/DOCS/notes.txt").c_str(), &st), 0);
    EXPECT_EQ(peer.command("ti", 1), Words{"T" + std::to_string(st.st_mtime)});
    EXPECT_EQ(at("M:\\NOPE", "ep", 1), Words{"XNO"});
    EXPECT_EQ(peer.command("sz", 1), Words{"XBADPATH"});
    EXPECT_EQ(peer.command("rw", 1), Words{"XBADPATH"});
    EXPECT_EQ(peer.command("ft", 1), Words{"XBADPATH"});
    EXPECT_EQ(peer.command("ti", 1), Words{"XBADPATH"});
}

TEST_F(SimFilesTest, AttributesOfFilesAndDirectories) {
    EXPECT_EQ(at("m:\\docs", "ft", 1), Words{"XDIR"});
    EXPECT_EQ(at("m:", "ft", 1), Words{"XDIR"});
    EXPECT_EQ(at("M:\\AGENDA.TXT", "ft", 1), Words{"XFILE TEXT"});
    EXPECT_EQ(at("M:\\.PROFILE", "ft", 1), Words{"XFILE TEXT HIDDEN"});
    EXPECT_EQ(at("M:\\config.sys", "ft", 1), Words{"XFILE SYSTEM"});
}

TEST_F(SimFilesTest, ListingsGiveFullPathsAsStored) {
    ASSERT_TRUE(sp("M:\\"));
    EXPECT_EQ(peer.listing("lp"), (Words{"XSTARTLIST", "M:\\.profile", "M:\\AGENDA.TXT",
                                         "M:\\CONFIG.SYS", "M:\\DOCS", "XENDLIST"}));
    ASSERT_TRUE(sp("m:\\docs\\*.TXT"));
    EXPECT_EQ(peer.listing("lp"), (Words{"XSTARTLIST", "M:\\DOCS\\notes.txt", "XENDLIST"}));
    ASSERT_TRUE(sp("m:\\nowhere"));
    EXPECT_EQ(peer.listing("lp"), (Words{"XSTARTLIST", "XBADPATH"}));
}

TEST_F(SimFilesTest, DirectoriesAreMadeChangedIntoAndRemoved) {
    EXPECT_EQ(at("M:\\New Dir", "md", 1), Words{"XOK"});
    EXPECT_EQ(peer.command("md", 1), Words{"XBADPATH"});  // it exists now
    struct stat st;
    EXPECT_EQ(stat(h.org("m/New Dir").c_str(), &st), 0);
    EXPECT_EQ(at("M:\\NEW DIR\\", "cd", 1), Words{"XOK"});
    EXPECT_EQ(peer.command("pp", 1), Words{"PM:\\New Dir"});
    EXPECT_EQ(at("..\\AGENDA.TXT", "ep", 1), Words{"XYES"});
    EXPECT_EQ(at("B:\\", "cd", 1), Words{"XOK"});
    EXPECT_EQ(peer.command("pp", 1), Words{"PB:\\"});
    EXPECT_EQ(at("M:\\AGENDA.TXT\\", "cd", 1), Words{"XBADPATH"});
    EXPECT_EQ(at("M:\\DOCS", "rp", 1), Words{"XBADPATH"});  // not empty
    EXPECT_EQ(at("M:\\New Dir", "rp", 1), Words{"XOK"});
    EXPECT_NE(stat(h.org("m/New Dir").c_str(), &st), 0);
    EXPECT_EQ(at("M:\\NOWHERE\\X", "md", 1), Words{"XBADPATH"});
}

TEST_F(SimFilesTest, ReadOnlyIsKeptAndEnforced) {
    EXPECT_EQ(at("M:\\AGENDA.TXT", "wn", 1), Words{"XOK"});
    EXPECT_EQ(peer.command("rw", 1), Words{"XRO"});
    EXPECT_EQ(peer.command("rp", 1), Words{"XBADPATH"});
    EXPECT_EQ(peer.command("gf", 2), (Words{"XSTARTGET", "XBADOPEN"}));
    EXPECT_EQ(peer.command("wy", 1), Words{"XOK"});
    EXPECT_EQ(peer.command("rw", 1), Words{"XRW"});
    EXPECT_EQ(peer.command("rp", 1), Words{"XOK"});
    EXPECT_EQ(peer.command("ep", 1), Words{"XNO"});
    EXPECT_EQ(peer.command("wn", 1), Words{"XBADPATH"});
}

TEST_F(SimFilesTest, UnreadableFilesCannotBeOpened) {
    chmod(h.org("m/AGENDA.TXT").c_str(), 0200);
    EXPECT_EQ(at("M:\\AGENDA.TXT", "pf", 2), (Words{"XSTARTPUT", "XBADOPEN"}));
    EXPECT_EQ(peer.command("cs", 2), (Words{"XSTARTSUM", "XBADOPEN"}));
    EXPECT_EQ(peer.command("ft", 1), Words{"XFILE"});
}

TEST_F(SimFilesTest, ChecksumsOfFiles) {
    EXPECT_EQ(at("M:\\CONFIG.SYS", "cs", 4), (Words{"XSTARTSUM", "XOK", "C2", "XENDSUM"}));
    EXPECT_EQ(at("M:\\MISSING", "cs", 2), (Words{"XSTARTSUM", "XBADOPEN"}));
    EXPECT_EQ(at("M:\\DOCS", "cs", 2), (Words{"XSTARTSUM", "XBADOPEN"}));
    EXPECT_EQ(peer.command("vn", 1), Words{"V3.24"});  // nothing more came after XBADOPEN
}

TEST_F(SimFilesTest, GetFileWithoutLineSums) {
    EXPECT_EQ(at("M:\\DOCS\\Copy.bin", "gf", 2), (Words{"XSTARTGET", "XOK"}));
    const std::string data = std::string("\x00\x01\xFF\x3F\xA0", 5) + std::string(150, 'z');
    ASSERT_TRUE(peer.put(encode_letters(data.substr(0, 100))));
    ASSERT_TRUE(peer.put(encode_letters(data.substr(100))));
    ASSERT_TRUE(peer.put("XE"));
    EXPECT_EQ(peer.response(), "XENDGET");
    EXPECT_EQ(slurp(h.org("m/DOCS/Copy.bin")), data);
}

TEST_F(SimFilesTest, GetFileWithLineSumsRefusesABadLine) {
    EXPECT_EQ(peer.command("fc 1", 1), Words{"XOK"});
    EXPECT_EQ(at("M:\\NOTES2.TXT", "gf", 2), (Words{"XSTARTGET", "XOK"}));
    const std::string block = "\x01\x02\xFF";
    ASSERT_TRUE(peer.put("03" + encode_letters(block)));  // wrong sum: 0x02 is right
    EXPECT_EQ(peer.response(), "XBAD");
    ASSERT_TRUE(peer.put("02" + encode_letters(block)));
    EXPECT_EQ(peer.response(), "XG");
    ASSERT_TRUE(peer.put("XE"));
    EXPECT_EQ(peer.response(), "XENDGET");
    EXPECT_EQ(slurp(h.org("m/NOTES2.TXT")), block);
}

TEST_F(SimFilesTest, GetFileIntoAMissingDirectoryIsRefused) {
    EXPECT_EQ(at("M:\\NOWHERE\\X.TXT", "gf", 2), (Words{"XSTARTGET", "XBADOPEN"}));
    EXPECT_EQ(at("M:\\DOCS", "gf", 2), (Words{"XSTARTGET", "XBADOPEN"}));
    EXPECT_EQ(peer.command("vn", 1), Words{"V3.24"});
}

TEST_F(SimFilesTest, PutFileSendsHexBlocksOfAHundredBytes) {
    std::string data;
    for (int i = 0; i < 250; ++i) data += static_cast<char>(i);
    std::ofstream(h.org("m/BIG.BIN"), std::ios::binary) << data;
    const Words got = at("M:\\big.bin", "pf", 7);
    ASSERT_EQ(got.size(), 7u);
    EXPECT_EQ(got[0], "XSTARTPUT");
    EXPECT_EQ(got[1], "XOK");
    EXPECT_EQ(got[2], encode_hex(data.substr(0, 100)));
    EXPECT_EQ(got[3], encode_hex(data.substr(100, 100)));
    EXPECT_EQ(got[4], encode_hex(data.substr(200)));
    EXPECT_EQ(got[5], "XE");
    EXPECT_EQ(got[6], "XENDPUT");
}

TEST_F(SimFilesTest, PutFileWithLineSumsResendsAfterB) {
    EXPECT_EQ(peer.command("fc 1", 1), Words{"XOK"});
    EXPECT_EQ(at("M:\\CONFIG.SYS", "pf", 3), (Words{"XSTARTPUT", "XOK", "020102FF"}));
    ASSERT_TRUE(peer.put("B"));
    EXPECT_EQ(peer.response(), "020102FF");
    ASSERT_TRUE(peer.put("G"));
    EXPECT_EQ(peer.response(), "XE");
    EXPECT_EQ(peer.response(), "XENDPUT");
}

TEST_F(SimFilesTest, PutOfAnEmptyFileEndsAtOnce) {
    std::ofstream(h.org("m/EMPTY"));
    EXPECT_EQ(at("M:\\EMPTY", "pf", 4), (Words{"XSTARTPUT", "XOK", "XE", "XENDPUT"}));
    EXPECT_EQ(at("M:\\NOPE", "pf", 2), (Words{"XSTARTPUT", "XBADOPEN"}));
    EXPECT_EQ(at("M:\\DOCS", "pf", 2), (Words{"XSTARTPUT", "XBADOPEN"}));
    EXPECT_EQ(peer.command("vn", 1), Words{"V3.24"});
}

TEST_F(SimFilesTest, RestartInTheMiddleOfATransfer) {
    EXPECT_EQ(at("M:\\HALF.BIN", "gf", 2), (Words{"XSTARTGET", "XOK"}));
    ASSERT_TRUE(peer.put(encode_letters("abc")));
    ASSERT_TRUE(peer.await_prompt());
    ASSERT_TRUE(peer.put("ol", false));
    EXPECT_EQ(peer.response(), "XONLINE");
    EXPECT_EQ(peer.command("vn", 1), Words{"V3.24"});
}

TEST_F(SimFilesTest, ProcessWords) {
    EXPECT_EQ(peer.listing("pl sys*"),
              (Words{"XSTARTLIST", "SYS$SHLL", "SYS$WSRV", "SYS$FSRV", "XENDLIST"}));
    EXPECT_EQ(peer.command("pl", 1), Words{"XBADPARAM"});
    EXPECT_EQ(peer.command("pl 12345678901234567", 1), Words{"XBADPARAM"});
    EXPECT_EQ(peer.command("pk *", 1), Words{"K4"});
    EXPECT_EQ(peer.command("pk word", 1), Words{"KILLNOPROC"});
    EXPECT_EQ(peer.command("pk", 1), Words{"XBADPARAM"});
    EXPECT_EQ(peer.command("ps tav*", 1), Words{"S0"});
    EXPECT_EQ(peer.command("ps zz", 1), Words{"SDNOPROC"});
    EXPECT_EQ(peer.command("ps ", 1), Words{"XBADPARAM"});
    EXPECT_EQ(peer.command("po 0", 1), Words{"XOFF"});
    EXPECT_EQ(peer.command("pk tavlin", 1), Words{"K1"});
}

}  // namespace
}  // namespace sim
