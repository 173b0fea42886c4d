// orvel on a pseudo-terminal whose other end the test drives by hand, to send what no sane
// organiser sends: malformed frames (non-hex length, text shorter than its length, non-hex or
// wrong checksum, a bare dollar) and a line far longer than any frame are each refused with one
// "R", and a refused acknowledgement makes orvel send its frame again.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include "harness.h"

TEST(PeerTest, MalformedFramesAndOverlongLinesAreRefusedWithR) {
    int master = -1, slave = -1;
    char name[256] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    Proc orvel({ORVEL_BIN, "-d", name}, {.input = "transinfo\n", .keep_stdin_open = true});
    fcntl(master, F_SETFL, O_NONBLOCK);
    ASSERT_TRUE(orvel.wait_until(  // echo off: only then is it safe to write
        [&] {
            struct termios t;
            return tcgetattr(master, &t) == 0 && !(t.c_lflag & ECHO);
        },
        5000));
    auto exchange = [&](const std::string& line, std::size_t want) {  // orvel's next bytes
        EXPECT_EQ(write(master, line.data(), line.size()), static_cast<ssize_t>(line.size()));
        std::string got;
        orvel.wait_until(
            [&] {
                for (char c; got.size() < want && read(master, &c, 1) == 1;) got += c;
                return got.size() == want;
            },
            5000);
        return got;
    };
    // The organiser's lines, each with what orvel must answer: the start-up with a refused ack.
    // clang-format off
    const std::pair<std::string, std::string> script[] = {
        {"$0ZXONLINE$1D", "R"}, {"$20XONLINE$1D", "R"}, {"$07XONLINE$ZZ", "R"},
        {"$07XONLINF$1D", "R"}, {"$", "R"}, {"$07XONLINE$1D" + std::string(1500, 'z'), "R"},
        {"$07XONLINE$1D", "O"},
        {">", "$02ia$CA"}, {"N", "$02ia$CA"}, {"O", ""}, {"$03XNO$F5", "O"},
        {">", "$02vn$E4"}, {"O", ""}, {"$05V3.24$1D", "O"},
        {">", "$04po 1$30"}, {"O", ""}, {"$03XON$F5", "O"}};
    // clang-format on
    for (const auto& [line, answer] : script)
        EXPECT_EQ(exchange(line + "\n", answer.size()), answer) << line.substr(0, 20);
    ASSERT_TRUE(orvel.wait_for_out("Recieved blocks", 5000)) << orvel.out();
    EXPECT_NE(orvel.out().find("Transmited blocks, good = 3, bad = 1\n"), std::string::npos);
    EXPECT_NE(orvel.out().find("Recieved blocks, good = 4, bad = 6\n"), std::string::npos);
    orvel.close_input();  // end of input: ends as pause does
    RunResult r;
    orvel.finish(5000, &r);
    EXPECT_EQ(r.status, 0);
    close(master);
    close(slave);
}
