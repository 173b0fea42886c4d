// Frame building and checking on literal byte strings (the one-frame limit of a line is pinned
// by the sessions files/rm-mkdir and process/list).
#include <gtest/gtest.h>

#include <tuple>

#include "ovlib.h"

TEST(LinkFrameTest, BuildsLiteralFrames) {
    EXPECT_EQ(ovframe("ol"), "$02ol$DB");
    EXPECT_EQ(ovframe("XOK"), "$03XOK$F2");
    EXPECT_EQ(ovframe(""), "$00$00");
    const std::string text(255, 'a');  // 255 * 0x61 = 0x609F
    EXPECT_EQ(ovframe(text), "$FF" + text + "$9F");
}

TEST(LinkFrameTest, ChecksFramesByteByByte) {
    const FrameCheck ok = FrameCheck::kIntact, sum = FrameCheck::kBadChecksum,
                     bad = FrameCheck::kMalformed;
    const std::tuple<std::string, FrameCheck, std::string> cases[] = {
        {"$07XONLINE$1D", ok, "XONLINE"},
        {"$0aXSTARTLIST$22", ok, "XSTARTLIST"},  // lower-case digits
        {"$ 5hello$14", ok, "hello"},            // blank-padded fields
        {"$ 1\x07$ 7", ok, "\x07"},
        {"$ 1\x70$7 ", ok, "\x70"},
        {"#03XOK#F2", ok, "XOK"},  // the dollar signs are not examined
        {"$03XOK$F3", sum, ""},
        {"$03XOL$F2", sum, ""},  // a flipped text byte
        {"$04XOK$F2", bad, ""},  // bad lengths move the checksum field off its digits
        {"$0 XOK$F2", bad, ""},  // only the first length digit may be blank
        {"$03XOK$FZ", bad, ""},
        {"$10abc$00", bad, ""},  // text shorter than its length
        {"", bad, ""},
        {"$", bad, ""},
    };
    for (const auto& [line, want, text] : cases) {
        std::string got;
        EXPECT_EQ(ovunframe(line, &got), want) << line;
        if (want == ok) {
            EXPECT_EQ(got, text) << line;
        }
    }
}
