// Remote file, process and display operations against a scripted organiser on a real
// pseudo-terminal: the command lines they send, the replies they read and what they print.
#include "link_peer.h"
#include "ovvar.h"

using linktest::ChildResult;
using linktest::PtyPeer;

TEST(LinkRemoteTest, SamePathIsSentOnce) {
    PtyPeer peer;
    peer.start([](const std::string&) {
        ovsetpath("m:\\a");
        ovsetpath("m:\\a");
        ovsetpath("M:\\a");
        return ovep();
    });
    ASSERT_TRUE(peer.waitconfigured());
    peer.exchange("sp m:\\a", {"XOK"});
    peer.exchange("sp M:\\a", {"XOK"});
    peer.exchange("ep", {"XYES"});
    EXPECT_EQ(peer.finish().out, "RESULT 1\n");
}

TEST(LinkRemoteTest, ListingPrintsEntriesAndHelp) {
    PtyPeer peer;
    peer.start([](const std::string&) {
        addvar("helpfull", "");
        ovlp(nullptr);
        ovlp(nullptr);
        ovlp(nullptr);
        return 0;
    });
    ASSERT_TRUE(peer.waitconfigured());
    peer.exchange("lp", {"XSTARTLIST", "M:\\A.TXT", "M:\\B", "XENDLIST"});
    peer.exchange("lp", {"XSTARTLIST", "XBADPATH"});
    peer.exchange("lp", {"XBADCMD"});  // not a listing: nothing at all is printed
    EXPECT_EQ(peer.finish().out,
              "File :M:\\A.TXT\nFile :M:\\B\n"
              "HELP: Error in listing files, bad path specified\nRESULT 0\n");
}

TEST(LinkRemoteTest, ValueQueries) {
    PtyPeer peer;
    peer.start([](const std::string&) {
        std::string pwd;
        long size = ovgetfsize();
        long bad = ovgetfsize();
        int rw = ovgetrw();
        int ro = ovgetrw();
        int atts = ovgetatts();
        long t = ovgetmodtime();
        ovgetpwd(pwd);
        std::printf("%ld %ld %d %d %d %ld %s\n", size, bad, rw, ro, atts, t, pwd.c_str());
        return 0;
    });
    ASSERT_TRUE(peer.waitconfigured());
    peer.exchange("sz", {"S1234"});
    peer.exchange("sz", {"XBADPATH"});
    peer.exchange("rw", {"XRW"});
    peer.exchange("rw", {"XRO"});
    peer.exchange("ft", {"XFILE TEXT HIDDEN"});
    peer.exchange("ti", {"T86400"});
    peer.exchange("pp", {"PM:\\DOCS"});
    EXPECT_EQ(peer.finish().out, "1234 0 1 2 34 86400 M:\\DOCS\nRESULT 0\n");
}

TEST(LinkRemoteTest, ChecksumReadsUpToFourReplies) {
    PtyPeer peer;
    peer.start([](const std::string&) {
        int a = ovcs();
        int b = ovcs();
        int c = ovcs();
        std::printf("%d %d %d\n", a, b, c);
        return 0;
    });
    ASSERT_TRUE(peer.waitconfigured());
    peer.exchange("cs", {"XSTARTSUM", "XOK", "C30", "XENDSUM"});
    peer.exchange("cs", {"XSTARTSUM", "XBADOPEN"});
    peer.exchange("cs", {"XSTARTSUM", "XOK", "XBADSUM"});
    EXPECT_EQ(peer.finish().out, "30 -1 -1\nRESULT 0\n");
}

TEST(LinkRemoteTest, RcdOnDevicesAndDirectories) {
    PtyPeer peer;
    peer.start([](const std::string&) {
        ovpath = "B:";
        int dev = ovrcd();
        ovpath = "x:";
        int bad = ovrcd();
        ovpath = "A:\\";
        int dir = ovrcd();
        std::printf("%d %d %d %s\n", dev, bad, dir, ovpath.c_str());
        return 0;
    });
    ASSERT_TRUE(peer.waitconfigured());
    peer.exchange("sp B:\\", {"XOK"});
    peer.exchange("cd", {"XOK"});
    peer.exchange("ep", {"XYES"});
    peer.exchange("ft", {"XDIR"});
    peer.exchange("sp A:\\\\", {"XOK"});
    peer.exchange("cd", {"XBADPATH"});
    EXPECT_EQ(peer.finish().out,
              "ERROR: Invalid devicename x:\n"
              "ERROR: remote command failed to set remote directory\n"
              "-2 -3 -3 A:\\\\\n"
              "RESULT 0\n");
}

TEST(LinkRemoteTest, FilesumSwitchAndRemoval) {
    PtyPeer peer;
    peer.start([](const std::string&) {
        ovfc(1);
        int on = filechksum;
        ovfc(0);
        ovclearfile();
        ovclearfile();
        std::printf("%d %d\n", on, filechksum);
        return 0;
    });
    ASSERT_TRUE(peer.waitconfigured());
    peer.exchange("fc 1", {"XOK"});
    peer.exchange("fc 0", {"XBADCMD"});
    peer.exchange("ep", {"XYES"});
    peer.exchange("rp", {"XBADPATH"});
    peer.exchange("ep", {"XNO"});
    EXPECT_EQ(peer.finish().out,
              "Error in command ovfc\nERROR: Cant remove the file on the orvel\n1 0\nRESULT 0\n");
}

TEST(LinkRemoteTest, ProcessListAndKillMessages) {
    PtyPeer peer;
    peer.start([](const std::string&) {
        addvar("helpfull", "");
        addvar("verbose", "");
        ovpl(nullptr, "*");
        ovpl(nullptr, "waytoolongpatternforit");
        ovpk("x");
        ovpk("y");
        ovpk("z");
        return ovpk("w");
    });
    ASSERT_TRUE(peer.waitconfigured());
    peer.exchange("pl *", {"XSTARTLIST", "TAVLIN", "Word", "XENDLIST"});
    peer.exchange("pl waytoolongpatternforit", {"XBADPARAM"});
    peer.exchange("pk x", {"KILLNOPROC"});
    peer.exchange("pk y", {"K3"});
    peer.exchange("pk z", {"KILLERRPROC"});
    peer.exchange("pk w", {"XBADPARAM"});
    EXPECT_EQ(peer.finish().out,
              "Process :TAVLIN\nProcess :Word\n"
              "HELP: Error in listing processes using pattern waytoolongpatternforit, posibly the "
              "pattern is to long\n"
              "HELP: Error in killing processes, no processes found matching patterm x\n"
              "3 processes killed matching pattern y\n"
              "HELP: Error in killing processes, tavlin error\n"
              "HELP: Error in killing processes using pattern w, posibly the pattern is to long "
              "or was not supplied\n"
              "RESULT -2\n");
}

TEST(LinkRemoteTest, QuietWithoutHelpfullOrVerbose) {
    PtyPeer peer;
    peer.start([](const std::string&) {
        ovpk("x");
        ovps("y");
        return ovpk("z");
    });
    ASSERT_TRUE(peer.waitconfigured());
    peer.exchange("pk x", {"KILLNOPROC"});
    peer.exchange("ps y", {"S2"});
    peer.exchange("pk z", {"K3"});
    EXPECT_EQ(peer.finish().out, "RESULT -2\n");
}

TEST(LinkRemoteTest, ProtectionWordIsRequired) {
    PtyPeer peer;
    peer.start([](const std::string&) {
        ovpo(1);
        return ovpo(0);
    });
    ASSERT_TRUE(peer.waitconfigured());
    peer.exchange("po 1", {"XON"});
    peer.exchange("po 0", {"XON"});
    ChildResult r = peer.finish();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "ERROR, Protocol violation, expected (XOFF), got (XON), exiting\n");
}

TEST(LinkRemoteTest, DisplayTogglesOnlyWhenNeeded) {
    PtyPeer peer;
    peer.start([](const std::string&) {
        ovverboseoff();
        ovscreenoff();
        ovverboseon();
        ovscreenon();
        return 0;
    });
    ASSERT_TRUE(peer.waitconfigured());
    peer.exchange("iv", {"XYES"});
    peer.exchange("vb", {"XOK"});
    peer.exchange("is", {"XNO"});
    peer.exchange("iv", {"XNO"});
    peer.exchange("vb", {"XOK"});
    peer.exchange("is", {"XYES"});
    EXPECT_EQ(peer.finish().out, "RESULT 0\n");
}

TEST(LinkRemoteTest, VersionAskedOnceAndBadCmdMeansOldest) {
    PtyPeer peer;
    peer.start([](const std::string&) {
        version = "X";
        int lt = ovvsnlt("3.7");
        std::printf("%s %d %d\n", version.c_str(), lt, ovvsnlt("2.3"));
        return 0;
    });
    ASSERT_TRUE(peer.waitconfigured());
    peer.exchange("vn", {"XBADCMD"});
    EXPECT_EQ(peer.finish().out, "2.3 1 0\nRESULT 0\n");
}

TEST(LinkRemoteTest, FatalVersionDisconnects) {
    PtyPeer peer;
    peer.start([](const std::string&) {
        version = "3.5";
        versiontolow("Orvel program", "3.7", 1);
        return 0;
    });
    ASSERT_TRUE(peer.waitconfigured());
    peer.exchange("dc", {"XDISCONNECTED"});
    ChildResult r = peer.finish();
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "Function Orvel program requires version 3.7 of tavlin, you have version 3.5\n"
              "Please contact the orvel maintainers at your site\n"
              "for a later release of this software\n"
              "THIS IS A FATAL INCOMPATIBILITY, program exiting\n");
}
