// The simulated organiser's own framing, data-line coding and seeded noise, on literal byte
// strings. Written apart from the workstation's, so that one mistake cannot pass on both ends.
#include <gtest/gtest.h>

#include "simfaults.h"
#include "simframe.h"

namespace sim {
namespace {

TEST(SimFrameTest, FormatsReplyLinesAsTheLiteralBytes) {
    const std::string full(255, 'A');  // 255 * 0x41 = 0x3EBF
    EXPECT_EQ(frame_body("ol"), "$02ol$DB");
    EXPECT_EQ(frame_body(""), "$00$00");
    EXPECT_EQ(frame_body(full), "$FF" + full + "$BF");
    EXPECT_EQ(frame_body("hello", true), "$ 5hello$14");  // leading 0 digits as blanks
    EXPECT_EQ(frame_body("\x01\x06", true), "$ 2\x01\x06$ 7");
}

TEST(SimFrameTest, ParsesFramesAndNamesWhatIsWrong) {
    using E = FrameEvent;
    const std::pair<const char*, E::Kind> cases[] = {
        {"$02ol$DB", E::kFrame},       {"$02ol$db", E::kFrame},       {"$04a$b$$0B", E::kFrame},
        {"$02ol$DC", E::kBadChecksum}, {"$02om$DB", E::kBadChecksum}, {"$0Gol$DB", E::kMalformed},
        {"$ 2ol$DB", E::kMalformed},   {"$02ol$DX", E::kMalformed},   {"$02ol$ B", E::kMalformed},
        {"$03ol$DB", E::kMalformed},  // the length takes "ol$" as text: no "$" follows
        {"$02ol$D", E::kNone},        // truncated
    };
    for (const auto& [bytes, kind] : cases) EXPECT_EQ(parse_frame_bytes(bytes).kind, kind) << bytes;
    EXPECT_EQ(parse_frame_bytes("$04a$b$$0B").text, "a$b$");
}

TEST(SimFrameTest, StreamParserResynchronisesAfterGarbage) {
    FrameParser parser;
    std::string seen;
    for (char c : std::string("R\n$Q$02ol$D")) seen += "-FCMS"[parser.feed(uint8_t(c)).kind];
    EXPECT_EQ(seen, "SS-M-------");  // stray, stray, malformed, then a frame under way
    EXPECT_TRUE(parser.in_frame());
    EXPECT_EQ(parser.feed('B').text, "ol");
    EXPECT_FALSE(parser.in_frame());
}

TEST(SimFrameTest, DataLinesAreLettersInAndHexOut) {
    const std::string bytes("\x00\xFF\x3F\xA0", 4);
    std::string got;
    EXPECT_EQ(encode_letters(bytes), "AAPPDPKA");
    EXPECT_TRUE(decode_letters("AAPPDPKA", &got) && got == bytes);
    for (const char* bad : {"AQ", "aa", "AAA"}) EXPECT_FALSE(decode_letters(bad, &got)) << bad;
    EXPECT_EQ(encode_hex(bytes), "00FF3FA0");
    for (const char* ff : {"ff", "FF"}) EXPECT_TRUE(decode_hex(ff, &got) && got == "\xFF") << ff;
    EXPECT_FALSE(decode_hex("FG", &got));
    // With line sums a line starts with the sum of its bytes: 0x01 + 0x02 + 0xFF = 0x02.
    EXPECT_TRUE(decode_get_line("02ABACPP", true, &got) && got == "\x01\x02\xFF");
    EXPECT_FALSE(decode_get_line("03ABACPP", true, &got));
    EXPECT_FALSE(decode_get_line("0", true, &got));
    EXPECT_EQ(encode_put_line("\x01\x02\xFF", false), "0102FF");
    EXPECT_EQ(encode_put_line("\x01\x02\xFF", true), "020102FF");
    EXPECT_EQ(encode_put_line("\x01\x02\xFF", true, true), "030102FF");  // a deliberate lie
}

// The draws and corruptions of one plan, as one string.
std::string noise(uint64_t seed) {
    Faults f(FaultPlan{.out = 0.3, .in = 0.5, .seed = seed});
    std::string s, how;
    for (int i = 0; i < 100; ++i) {
        s += f.draw(FaultKind::kOut) ? "1" : "0";
        s += f.draw(FaultKind::kIn) ? "1" : "0";
        s += f.corrupt("$02ol$DB", &how);
    }
    return s;
}

TEST(SimFaultsTest, TheSameSeedGivesTheSameNoise) {
    EXPECT_EQ(noise(42), noise(42));
    EXPECT_NE(noise(42), noise(43));
}

}  // namespace
}  // namespace sim
