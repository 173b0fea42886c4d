// The link against a scripted organiser on a real pseudo-terminal: start-up, restart, the
// exact bytes of acknowledgements and resends, refused frames, lost contact, the port lock and
// the signal handlers.
#include <sys/file.h>

#include "link_peer.h"
#include "ovvar.h"

using linktest::ChildResult;
using linktest::peerframe;
using linktest::PtyPeer;

namespace {

std::string lostcontact() {
    return "ERROR, Lost contact with the orvel, exiting\n";
}

}  // namespace

TEST(LinkSessionTest, NormalStartAcksOnlineThenSwitchesToBinary) {
    PtyPeer peer;
    peer.start(
        [](const std::string& dev) {
            ovinit(0, dev);
            return 0;
        },
        false);
    ASSERT_TRUE(peer.waitconfigured());
    peer.replyok("XONLINE");
    peer.exchange("ia", {"XYES"});
    peer.exchange("tm", {"XOK"});
    ChildResult r = peer.finish();
    EXPECT_EQ(r.out, "RESULT 0\n");
    EXPECT_EQ(peer.wire, "O" + peerframe("ia") + "O" + peerframe("tm") + "O");
}

TEST(LinkSessionTest, BinaryOrganiserGetsNoTm) {
    PtyPeer peer;
    peer.start(
        [](const std::string& dev) {
            ovinit(0, dev);
            return 0;
        },
        false);
    ASSERT_TRUE(peer.waitconfigured());
    peer.replyok("XONLINE");
    peer.exchange("ia", {"XNO"});
    ChildResult r = peer.finish();
    EXPECT_EQ(r.out, "RESULT 0\n");
    EXPECT_EQ(peer.wire, "O$02ia$CAO");
}

TEST(LinkSessionTest, WrongFirstWordIsProtocolViolation) {
    PtyPeer peer;
    peer.start(
        [](const std::string& dev) {
            ovinit(0, dev);
            return 0;
        },
        false);
    ASSERT_TRUE(peer.waitconfigured());
    peer.replyok("XBADCMD");
    ChildResult r = peer.finish();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "ERROR, Protocol violation, expected (XONLINE), got (XBADCMD), exiting\n");
}

TEST(LinkSessionTest, RestartDiscardsStalePromptAndSendsOlOnce) {
    PtyPeer peer;
    // The peer's last ready prompt, left on the line from an earlier run.
    struct termios t;
    tcgetattr(peer.slavefd(), &t);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    tcsetattr(peer.slavefd(), TCSANOW, &t);
    peer.sendline(">");
    peer.start([](const std::string&) {
        ovpath = "m:\\stale";
        ovrestart();
        std::printf("path %s\n", ovpath.c_str());
        return 0;
    });
    EXPECT_EQ(peer.readframe(), "ol");
    peer.ack();
    peer.replyok("XONLINE");
    peer.exchange("sp m:", {"XOK"});
    ChildResult r = peer.finish();
    EXPECT_EQ(r.out, "path m:\nRESULT 0\n");
    EXPECT_EQ(peer.wire, "$02ol$DBO" + peerframe("sp m:") + "O");
}

TEST(LinkSessionTest, DeviceThatCannotBeOpened) {
    PtyPeer peer;
    peer.start(
        [](const std::string&) {
            ovinitlink("/nonexistent/orvel-device");
            return 0;
        },
        false);
    ChildResult r = peer.finish();
    EXPECT_EQ(r.status, 6);
    EXPECT_EQ(r.err, "Error in openint device\n\n");
}

TEST(LinkSessionTest, BusyDeviceRefused) {
    PtyPeer peer;
    int holder = open(peer.device().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
    struct termios before;
    tcgetattr(holder, &before);
    peer.start([](const std::string&) { return 0; });
    ChildResult r = peer.finish();
    EXPECT_EQ(r.status, 6);
    EXPECT_EQ(r.err, "Error, the device is in use by another orvel\n\n");
    struct termios after;
    tcgetattr(holder, &after);
    EXPECT_EQ(before.c_lflag, after.c_lflag);  // the other user's settings are left alone
    close(holder);
}

TEST(LinkSessionTest, SignalRestoresLineSettings) {
    PtyPeer peer;
    struct termios before;
    tcgetattr(peer.masterfd(), &before);
    ASSERT_NE(before.c_lflag & ECHO, 0u);
    peer.start([](const std::string&) {
        std::string reply;
        ovresponse(reply);
        return 0;
    });
    ASSERT_TRUE(peer.waitconfigured());
    // The child is blocked in its read; end it as a user's kill would.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    peer.terminate(SIGTERM);
    ChildResult r = peer.finish();
    EXPECT_EQ(r.signal, SIGTERM);
    struct termios after;
    tcgetattr(peer.masterfd(), &after);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(after.c_cflag, before.c_cflag);
}

TEST(LinkFrameIoTest, ResendsUntilAcknowledged) {
    PtyPeer peer;
    peer.start([](const std::string&) {
        ovputline("hello");
        std::printf("good %d bad %d\n", transgood, transbad);
        return 0;
    });
    ASSERT_TRUE(peer.waitconfigured());
    peer.sendline("xyz");  // not a prompt: skipped
    peer.prompt();
    EXPECT_EQ(peer.readframe(), "hello");
    peer.sendline("R");
    EXPECT_EQ(peer.readframe(), "hello");
    peer.sendline("Rx");
    EXPECT_EQ(peer.readframe(), "hello");
    peer.sendline("OK");
    ChildResult r = peer.finish();
    EXPECT_EQ(r.out, "good 1 bad 2\nRESULT 0\n");
    std::string f = peerframe("hello");
    EXPECT_EQ(peer.wire, f + f + f);
}

TEST(LinkFrameIoTest, RefusesDamagedAndMalformedFrames) {
    PtyPeer peer;
    peer.start([](const std::string&) {
        std::string reply;
        ovresponse(reply);
        std::printf("%s good %d bad %d\n", reply.c_str(), recgood, recbad);
        return 0;
    });
    ASSERT_TRUE(peer.waitconfigured());
    peer.sendline("$03XOK$F3");  // checksum mismatch
    EXPECT_EQ(peer.readbyte(), 'R');
    peer.sendline("$0ZXOK$F2");  // not a hexadecimal length
    EXPECT_EQ(peer.readbyte(), 'R');
    peer.sendline("$10abc$00");  // shorter than its length says
    EXPECT_EQ(peer.readbyte(), 'R');
    peer.sendline("$03XOK$F2" + std::string(1500, 'z'));  // longer than one read
    EXPECT_EQ(peer.readbyte(), 'R');
    peer.sendline("$ 3XOK$F2");
    EXPECT_EQ(peer.readbyte(), 'O');
    ChildResult r = peer.finish();
    EXPECT_EQ(r.out, "XOK good 1 bad 4\nRESULT 0\n");
    EXPECT_EQ(peer.wire, "RRRRO");
}

TEST(LinkFrameIoTest, LostContactEndsWithStatus1) {
    PtyPeer peer;
    peer.start([](const std::string&) {
        ovputline("hello");
        return 0;
    });
    ASSERT_TRUE(peer.waitconfigured());
    peer.hangup();
    ChildResult r = peer.finish();
    EXPECT_EQ(r.status, 1) << r.signal << r.err;
    EXPECT_EQ(r.out, lostcontact());
}

TEST(LinkFrameIoTest, LineTimeoutEndsLikeLostContact) {
    PtyPeer peer;
    peer.start([](const std::string&) {
        addvar("linetimeout", "0.3");
        std::string reply;
        ovresponse(reply);
        return 0;
    });
    ASSERT_TRUE(peer.waitconfigured());
    ChildResult r = peer.finish();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, lostcontact());
}

TEST(LinkFrameIoTest, WithoutTimeoutASlowPeerIsWaitedFor) {
    PtyPeer peer;
    peer.start([](const std::string&) {
        addvar("linetimeout", "nonsense");  // not a positive number: no time-out
        std::string reply;
        ovresponse(reply);
        std::printf("%s\n", reply.c_str());
        return 0;
    });
    ASSERT_TRUE(peer.waitconfigured());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    peer.replyok("XOK");
    ChildResult r = peer.finish();
    EXPECT_EQ(r.out, "XOK\nRESULT 0\n");
}

TEST(LinkSessionTest, LineSettingsAreExactlyTheLinks) {
    PtyPeer peer;
    struct termios before;
    tcgetattr(peer.masterfd(), &before);
    peer.start([](const std::string&) {
        std::string reply;
        ovresponse(reply);
        return 0;
    });
    ASSERT_TRUE(peer.waitconfigured());
    struct termios t;
    ASSERT_EQ(tcgetattr(peer.masterfd(), &t), 0);
    EXPECT_EQ(t.c_cflag, static_cast<tcflag_t>(B9600 | CS8 | CREAD));
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));
    EXPECT_EQ(t.c_lflag, before.c_lflag & ~static_cast<tcflag_t>(ECHO | IEXTEN));
    EXPECT_NE(t.c_lflag & ICANON, 0u);
    EXPECT_EQ(t.c_iflag,
              (before.c_iflag & ~static_cast<tcflag_t>(INPCK | IXON | IXOFF)) | IGNCR | ISTRIP);
    EXPECT_EQ(t.c_oflag, (before.c_oflag & ~static_cast<tcflag_t>(OPOST)) | ONLRET);
    peer.replyok("XOK");
    EXPECT_EQ(peer.finish().out, "RESULT 0\n");
}
