// Frame building and checking on literal byte strings, and the one-frame limit of a line.
#include <gtest/gtest.h>

#include <string>

#include "ovlib.h"

namespace {

std::string text255() {
    std::string t;
    for (int i = 0; i < 255; i++) t.push_back(static_cast<char>('a' + i % 26));
    return t;
}

FrameCheck check(std::string_view line, std::string* text = nullptr) {
    std::string scratch;
    return ovunframe(line, text ? text : &scratch);
}

}  // namespace

TEST(LinkFrameTest, BuildsLiteralFrames) {
    EXPECT_EQ(ovframe("ol"), "$02ol$DB");
    EXPECT_EQ(ovframe("ia"), "$02ia$CA");
    EXPECT_EQ(ovframe("XOK"), "$03XOK$F2");
}

TEST(LinkFrameTest, EmptyText) {
    EXPECT_EQ(ovframe(""), "$00$00");
    std::string text = "junk";
    EXPECT_EQ(check("$00$00", &text), FrameCheck::kIntact);
    EXPECT_EQ(text, "");
}

TEST(LinkFrameTest, TextOf255BytesHasLengthFF) {
    std::string t = text255();
    std::string frame = ovframe(t);
    EXPECT_EQ(frame.substr(0, 3), "$FF");
    EXPECT_EQ(frame.size(), 255u + 6);
    std::string text;
    EXPECT_EQ(check(frame, &text), FrameCheck::kIntact);
    EXPECT_EQ(text, t);
}

TEST(LinkFrameTest, IntactFrameGivesTextAndFields) {
    std::string text, lenstr, chkstr;
    EXPECT_EQ(ovunframe("$07XONLINE$1D", &text, &lenstr, &chkstr), FrameCheck::kIntact);
    EXPECT_EQ(text, "XONLINE");
    EXPECT_EQ(lenstr, "$07");
    EXPECT_EQ(chkstr, "$1D");
}

TEST(LinkFrameTest, LowerCaseDigitsAccepted) {
    EXPECT_EQ(check("$03XOK$f2"), FrameCheck::kIntact);
    EXPECT_EQ(check("$0aXSTARTLIST$22"), FrameCheck::kIntact);
}

TEST(LinkFrameTest, ChecksumMismatch) {
    EXPECT_EQ(check("$03XOK$F3"), FrameCheck::kBadChecksum);
    EXPECT_EQ(check("$03XOL$F2"), FrameCheck::kBadChecksum);  // a flipped text byte
}

TEST(LinkFrameTest, BadLength) {
    // One more than the text holds: the checksum field is then read from the wrong place.
    EXPECT_NE(check("$04XOK$F2"), FrameCheck::kIntact);
    // One less: the text is cut and its sum no longer fits.
    EXPECT_NE(check("$02XOK$F2"), FrameCheck::kIntact);
    EXPECT_EQ(check("$0"), FrameCheck::kMalformed);
    EXPECT_EQ(check(""), FrameCheck::kMalformed);
}

TEST(LinkFrameTest, NonHexDigits) {
    EXPECT_EQ(check("$0ZXOK$F2"), FrameCheck::kMalformed);
    EXPECT_EQ(check("$G3XOK$F2"), FrameCheck::kMalformed);
    EXPECT_EQ(check("$03XOK$FZ"), FrameCheck::kMalformed);
    EXPECT_EQ(check("$03XOK$-2"), FrameCheck::kMalformed);
    EXPECT_EQ(check("$0 XOK$F2"), FrameCheck::kMalformed);  // only the first digit may be blank
}

TEST(LinkFrameTest, BlankPaddedFields) {
    std::string text, lenstr, chkstr;
    // "hello" sums to 0x214, so 0x14; the blank-5 length and blank-padded checksums work.
    EXPECT_EQ(ovunframe("$ 5hello$14", &text, &lenstr, &chkstr), FrameCheck::kIntact);
    EXPECT_EQ(text, "hello");
    EXPECT_EQ(lenstr, "$05");
    // A text summing to 7, with the checksum written as a blank and 7.
    EXPECT_EQ(ovunframe("$ 1\x07$ 7", &text, &lenstr, &chkstr), FrameCheck::kIntact);
    EXPECT_EQ(chkstr, "$07");
    EXPECT_EQ(ovunframe("$ 1\x70$7 ", &text, &lenstr, &chkstr), FrameCheck::kIntact);
    EXPECT_EQ(chkstr, "$70");
}

TEST(LinkFrameTest, TextShorterThanLength) {
    std::string text;
    EXPECT_EQ(check("$10abc$00", &text), FrameCheck::kMalformed);
    EXPECT_EQ(check("$FFab"), FrameCheck::kMalformed);
    EXPECT_EQ(check("$03XOK$F"), FrameCheck::kMalformed);  // checksum field cut short
    EXPECT_EQ(check("$03XOK"), FrameCheck::kMalformed);
}

TEST(LinkFrameTest, DollarSignsNotExamined) {
    EXPECT_EQ(check("#03XOK#F2"), FrameCheck::kIntact);
}

TEST(LinkFrameTest, IdehexReadsTwoDigitsEitherCase) {
    EXPECT_EQ(idehex("FF"), 255);
    EXPECT_EQ(idehex("ff"), 255);
    EXPECT_EQ(idehex("0a"), 10);
    EXPECT_EQ(idehex("7"), 7);   // stops at the terminating NUL
    EXPECT_EQ(idehex("3Z"), 3);  // stops at the first non-digit
    EXPECT_EQ(idehex("ZZ"), 0);
    EXPECT_EQ(idehex("123"), 0x12);
}

TEST(LinkFrameTest, LineFitsUpTo255Characters) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(ovlinefits(std::string(255, 'x')), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    testing::internal::CaptureStdout();
    EXPECT_EQ(ovlinefits(std::string(256, 'x')), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "ERROR: Command too long to send to the orvel (256 characters, at most 255)\n");
}

TEST(LinkFrameTest, LongPathRefusedWithoutTraffic) {
    ovpath = "m:\\old";
    testing::internal::CaptureStdout();
    EXPECT_EQ(ovsetpath(std::string(253, 'p')), kFailed);
    EXPECT_EQ(ovsp(std::string(253, 'p')), kFailed);
    EXPECT_EQ(ovpk(std::string(253, 'p')), kFailed);
    EXPECT_EQ(ovpl(nullptr, std::string(253, 'p')), kFailed);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("(256 characters, at most 255)"), std::string::npos);
    EXPECT_EQ(ovpath, "m:\\old");
    ovpath.clear();
}
