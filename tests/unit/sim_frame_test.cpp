// Framing and data-line coding of the simulated organiser, on literal byte strings.
#include <gtest/gtest.h>

#include "simframe.h"

namespace sim {
namespace {

TEST(SimFrameTest, FramesOlAsTheLiteralBytes) {
    EXPECT_EQ(frame_body("ol"), "$02ol$DB");
}

TEST(SimFrameTest, FramesEmptyAndLongTexts) {
    EXPECT_EQ(frame_body(""), "$00$00");
    EXPECT_EQ(frame_body("XONLINE"), "$07XONLINE$1D");
    const std::string full(255, 'A');  // 255 * 0x41 = 0x3EBF
    EXPECT_EQ(frame_body(full), "$FF" + full + "$BF");
}

TEST(SimFrameTest, PadsLeadingZeroDigitsWithBlanksOnRequest) {
    EXPECT_EQ(frame_body("hello", true), "$ 5hello$14");
    EXPECT_EQ(frame_body("\x01\x06", true), "$ 2\x01\x06$ 7");
    EXPECT_EQ(frame_body("XONLINE", true), "$ 7XONLINE$1D");
}

TEST(SimFrameTest, ParsesAnIntactFrame) {
    FrameEvent ev = parse_frame_bytes("$02ol$DB");
    EXPECT_EQ(ev.kind, FrameEvent::kFrame);
    EXPECT_EQ(ev.text, "ol");
    ev = parse_frame_bytes("$02vn$E4");
    EXPECT_EQ(ev.kind, FrameEvent::kFrame);
    EXPECT_EQ(ev.text, "vn");
    EXPECT_EQ(parse_frame_bytes("$02ol$db").kind, FrameEvent::kFrame);
}

TEST(SimFrameTest, TextMayHoldDollarSigns) {
    const FrameEvent ev = parse_frame_bytes(frame_body("a$b$"));
    EXPECT_EQ(ev.kind, FrameEvent::kFrame);
    EXPECT_EQ(ev.text, "a$b$");
}

TEST(SimFrameTest, ChecksumMismatch) {
    EXPECT_EQ(parse_frame_bytes("$02ol$DC").kind, FrameEvent::kBadChecksum);
    EXPECT_EQ(parse_frame_bytes("$02om$DB").kind, FrameEvent::kBadChecksum);
}

TEST(SimFrameTest, BadLengthDigitIsMalformed) {
    EXPECT_EQ(parse_frame_bytes("$0Gol$DB").kind, FrameEvent::kMalformed);
    EXPECT_EQ(parse_frame_bytes("$ 2ol$DB").kind, FrameEvent::kMalformed);
}

TEST(SimFrameTest, NonHexChecksumDigitIsMalformed) {
    EXPECT_EQ(parse_frame_bytes("$02ol$DX").kind, FrameEvent::kMalformed);
    EXPECT_EQ(parse_frame_bytes("$02ol$ B").kind, FrameEvent::kMalformed);
}

TEST(SimFrameTest, LengthLongerThanTextIsMalformed) {
    // Length 3 takes "ol$" as the text; the next byte must then be "$".
    EXPECT_EQ(parse_frame_bytes("$03ol$DB").kind, FrameEvent::kMalformed);
}

TEST(SimFrameTest, TruncatedFrameIsNotComplete) {
    FrameParser parser;
    for (char c : std::string("$02ol$D")) {
        EXPECT_EQ(parser.feed(static_cast<uint8_t>(c)).kind, FrameEvent::kNone);
    }
    EXPECT_TRUE(parser.in_frame());
    EXPECT_EQ(parser.feed('B').kind, FrameEvent::kFrame);
    EXPECT_FALSE(parser.in_frame());
}

TEST(SimFrameTest, BytesOutsideAFrameAreStray) {
    FrameParser parser;
    EXPECT_EQ(parser.feed('R').kind, FrameEvent::kStray);
    EXPECT_EQ(parser.feed('\n').kind, FrameEvent::kStray);
    FrameEvent last;
    for (char c : std::string("$02ol$DB")) last = parser.feed(static_cast<uint8_t>(c));
    EXPECT_EQ(last.kind, FrameEvent::kFrame);
    EXPECT_EQ(last.text, "ol");
}

TEST(SimFrameTest, ParserRecoversAfterAMalformedFrame) {
    FrameParser parser;
    EXPECT_EQ(parser.feed('$').kind, FrameEvent::kNone);
    EXPECT_EQ(parser.feed('Q').kind, FrameEvent::kMalformed);
    EXPECT_FALSE(parser.in_frame());
    FrameEvent last;
    for (char c : std::string("$00$00")) last = parser.feed(static_cast<uint8_t>(c));
    EXPECT_EQ(last.kind, FrameEvent::kFrame);
    EXPECT_EQ(last.text, "");
}

TEST(SimFrameTest, LettersCodeBytesAsTheLiteralExamples) {
    EXPECT_EQ(encode_letters(std::string(1, '\0')), "AA");
    EXPECT_EQ(encode_letters("\xFF"), "PP");
    EXPECT_EQ(encode_letters("\x3F"), "DP");
    EXPECT_EQ(encode_letters("\xA0"), "KA");
    std::string bytes;
    ASSERT_TRUE(decode_letters("AAPPDPKA", &bytes));
    EXPECT_EQ(bytes, std::string("\x00\xFF\x3F\xA0", 4));
}

TEST(SimFrameTest, LettersOutsideAToPAreRefused) {
    std::string bytes;
    EXPECT_FALSE(decode_letters("AQ", &bytes));
    EXPECT_FALSE(decode_letters("aa", &bytes));
    EXPECT_FALSE(decode_letters("AAA", &bytes));
}

TEST(SimFrameTest, HexPairsDecodeInEitherCase) {
    std::string bytes;
    ASSERT_TRUE(decode_hex("ff", &bytes));
    EXPECT_EQ(bytes, "\xFF");
    ASSERT_TRUE(decode_hex("FF", &bytes));
    EXPECT_EQ(bytes, "\xFF");
    EXPECT_FALSE(decode_hex("FG", &bytes));
    EXPECT_EQ(encode_hex(std::string("\x00\x3F\xA0\xFF", 4)), "003FA0FF");
}

TEST(SimFrameTest, GetLineWithSumIsCheckedAgainstItsBytes) {
    std::string bytes;
    // Bytes 0x01 0x02 0xFF sum to 0x02.
    ASSERT_TRUE(decode_get_line("02ABACPP", true, &bytes));
    EXPECT_EQ(bytes, "\x01\x02\xFF");
    EXPECT_FALSE(decode_get_line("03ABACPP", true, &bytes));
    EXPECT_FALSE(decode_get_line("0", true, &bytes));
    ASSERT_TRUE(decode_get_line("AB", false, &bytes));
    EXPECT_EQ(bytes, "\x01");
}

TEST(SimFrameTest, PutLineCarriesTheBlockSum) {
    EXPECT_EQ(encode_put_line("\x01\x02\xFF", false), "0102FF");
    EXPECT_EQ(encode_put_line("\x01\x02\xFF", true), "020102FF");
    EXPECT_EQ(encode_put_line("\x01\x02\xFF", true, true), "030102FF");
    EXPECT_EQ(encode_put_line("", true), "00");
}

}  // namespace
}  // namespace sim
