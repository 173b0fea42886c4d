// One session of the link against a hand-driven organiser: restart, the exact line settings, an
// overlong frame line, refusals worded in the organiser's own way, lost contact.
#include "link_peer.h"

TEST(LinkSessionTest, RestartOddRepliesRefusalsAndLostContact) {
    linktest::PtyPeer peer;
    struct termios atopen, t;
    tcgetattr(peer.master, &atopen);
    cfmakeraw(&atopen);  // left raw, with translations that would spoil every frame
    atopen.c_iflag |= INLCR | IGNCR | ISTRIP | IXON | PARMRK;
    tcsetattr(peer.master, TCSANOW, &atopen);
    peer.sendline(">");  // the organiser's last ready prompt, left on the line by an earlier run
    peer.start([] {
        ovpath = "m:\\stale";
        ovrestart();
        std::string reply;
        ovresponse(reply);
        std::printf("%s %s good %d bad %d\n", ovpath.c_str(), reply.c_str(), recgood, recbad);
        addvar("helpfull", "");
        ovfc(0);
        char empty[] = "/tmp/orvel-putXXXXXX";  // a regular file: a device is never sent
        close(mkstemp(empty));
        int put = ovgfb(empty), tavlinerror = ovpk("z"), badparam = ovpk("w");
        std::printf("%d %d %d\n", put, tavlinerror, badparam);
        return ovep();
    });
    EXPECT_EQ(peer.readn(8), "$02ol$DB");  // at once and only once: the stale prompt is dropped
    peer.sendline("O");
    peer.replies({"XONLINE"});
    peer.exchange("sp m:", {"XOK"});
    ASSERT_EQ(tcgetattr(peer.master, &t), 0);
    // The link's settings, whatever was found: canonical lines and nothing else.
    EXPECT_EQ(t.c_cflag, static_cast<tcflag_t>(B9600 | CS8 | CREAD));
    EXPECT_EQ(t.c_lflag, static_cast<tcflag_t>(ICANON));
    EXPECT_EQ(t.c_iflag, 0u);
    EXPECT_EQ(t.c_oflag, 0u);
    for (int i = 0; i < NCCS; ++i)  // no control characters: a noise byte 0x04 is no end of file
        EXPECT_EQ(t.c_cc[i], i == VMIN ? 1 : i == VTIME ? 0 : _POSIX_VDISABLE) << i;
    peer.sendline("$03XOK$F2" + std::string(1500, 'z'));
    EXPECT_EQ(peer.readn(1), "R");  // one refusal for the whole line, drained
    peer.sendline(linktest::peerframe("X\xE9\rK") + "\r");  // bit 7 and an inner CR are the frame's
    EXPECT_EQ(peer.readn(1), "O");
    peer.exchange("fc 0", {"XBADCMD"});
    peer.exchange("gf", {"XSTARTGET", "XBADOPEN"});
    peer.exchange("pk z", {"KILLERRPROC"});
    peer.exchange("pk w", {"XBADPARAM"});
    EXPECT_EQ(peer.take(), "ep");
    peer.hangup();
    EXPECT_EQ(peer.finish(), 1);
    EXPECT_EQ(peer.out(),
              "m: X\xE9\rK good 3 bad 1\nError in command ovfc\n"
              "HELP: Error in getting file from the orvel, cannot open it.\n"
              "HELP: Either the disk is full, there are to many files or the directory\n"
              "HELP: does not exist\n"
              "HELP: Error in killing processes, tavlin error\n"
              "HELP: Error in killing processes using pattern w, posibly the pattern is to long "
              "or was not supplied\n-3 -2 -2\n"
              "ERROR, Lost contact with the orvel, exiting\n");
    EXPECT_EQ(peer.wire.substr(0, 23), "$02ol$DBO$05sp m:$AAORO");
}
