// Reading, trimming, splitting and expanding command lines.
#include "words.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>

namespace {
using Words = std::vector<std::string>;

Words split(const std::string& line) {
    Words w;
    EXPECT_EQ(splitwords(line, w), SplitResult::kOk) << line;
    return w;
}

std::string wordsline(int n) {
    std::string line = "echo";
    for (int i = 1; i < n; ++i) line += " w" + std::to_string(i);
    return line;
}

std::map<std::string, std::string> fakevars;
const char* fakelookup(const std::string& name) {
    auto it = fakevars.find(name);
    return it == fakevars.end() ? nullptr : it->second.c_str();
}
}  // namespace

TEST(WordsTest, TrimNeverTouchesTheFirstCharacter) {
    std::string line = "\n";
    trimtrailing(line);
    EXPECT_EQ(line, "\n");
    line = " ";
    trimtrailing(line);
    EXPECT_EQ(line, " ");
    line = "lpwd \t\r\n";
    trimtrailing(line);
    EXPECT_EQ(line, "lpwd");
    line = "";
    trimtrailing(line);
    EXPECT_EQ(line, "");
}

TEST(WordsTest, EmptyLineGivesTwoEmptyWords) {
    EXPECT_EQ(split("\n"), (Words{"", ""}));
    EXPECT_EQ(split(" "), (Words{"", ""}));
    EXPECT_EQ(split(""), (Words{""}));
}

TEST(WordsTest, LeadingBlanksGiveAnEmptyFirstWord) {
    EXPECT_EQ(split("  lpwd"), (Words{"", "lpwd"}));
}

TEST(WordsTest, RunsOfWhiteSpaceSeparateAsOne) {
    EXPECT_EQ(split("echo   a    b"), (Words{"echo", "a", "b"}));
    EXPECT_EQ(split("echo\ta \t b"), (Words{"echo", "a", "b"}));
}

TEST(WordsTest, LastWordIsKeptEvenWhenEmpty) {
    EXPECT_EQ(split("echo a "), (Words{"echo", "a", ""}));
}

TEST(WordsTest, LineEndsAtItsFirstNul) {
    EXPECT_EQ(split(std::string("echo a\0b c", 10)), (Words{"echo", "a"}));
}

TEST(WordsTest, At255WordsTheLineIsKeptAnd256AreRefused) {
    EXPECT_EQ(split(wordsline(255)).size(), 255u);
    Words w{"untouched"};
    EXPECT_EQ(splitwords(wordsline(256), w), SplitResult::kTooManyWords);
    EXPECT_EQ(w, (Words{"untouched"}));
}

TEST(WordsTest, WordOf254CharactersFitsAnd255AreRefused) {
    std::string ok(254, 'x');
    EXPECT_EQ(split("echo " + ok), (Words{"echo", ok}));
    Words w;
    std::size_t badlen = 0;
    EXPECT_EQ(splitwords("echo " + std::string(255, 'y') + " z", w, &badlen),
              SplitResult::kWordTooLong);
    EXPECT_EQ(badlen, 255u);
    EXPECT_EQ(splitwords(std::string(300, 'y'), w, &badlen), SplitResult::kWordTooLong);
    EXPECT_EQ(badlen, 300u);
}

TEST(WordsTest, BracketNameDropsTheLastCharacterWhateverItIs) {
    EXPECT_EQ(bracketname("[x]"), "x");
    EXPECT_EQ(bracketname("[x"), "");
    EXPECT_EQ(bracketname("[abc)"), "abc");
    EXPECT_EQ(bracketname("["), "");
}

TEST(WordsTest, ExpansionGivesTheValueAsOneWordNotExpandedAgain) {
    fakevars = {{"x", "a b"}, {"y", "[x]"}, {"", "empty"}};
    Words w{"echo", "[x]", "[y]", "a[x]", "[x"};
    std::string missing;
    EXPECT_TRUE(expandwords(w, fakelookup, missing));
    EXPECT_EQ(w, (Words{"echo", "a b", "[x]", "a[x]", "empty"}));
}

TEST(WordsTest, ExpansionReportsTheMissingName) {
    fakevars = {{"x", "1"}};
    Words w{"[cmd]", "[x]"};
    std::string missing;
    EXPECT_FALSE(expandwords(w, fakelookup, missing));
    EXPECT_EQ(missing, "cmd");
}

TEST(WordsTest, ReadKeepsNewlinesAndTakesALastLineWithoutOne) {
    char text[] = "lpwd\n\nquit";
    std::FILE* in = fmemopen(text, sizeof(text) - 1, "r");
    ASSERT_NE(in, nullptr);
    std::string line;
    EXPECT_EQ(readcmdline(in, line), LineRead::kLine);
    EXPECT_EQ(line, "lpwd\n");
    EXPECT_EQ(readcmdline(in, line), LineRead::kLine);
    EXPECT_EQ(line, "\n");
    EXPECT_EQ(readcmdline(in, line), LineRead::kLine);
    EXPECT_EQ(line, "quit");
    EXPECT_EQ(readcmdline(in, line), LineRead::kEnd);
    std::fclose(in);
}

TEST(WordsTest, ReadRefusesALongLineAndSkipsToItsNewline) {
    std::string text = std::string(9999, 'a') + "\n" + std::string(10000, 'b') + "\nnext\n";
    std::FILE* in = fmemopen(text.data(), text.size(), "r");
    ASSERT_NE(in, nullptr);
    std::string line;
    EXPECT_EQ(readcmdline(in, line), LineRead::kLine);
    EXPECT_EQ(line.size(), 10000u);
    EXPECT_EQ(readcmdline(in, line), LineRead::kTooLong);
    EXPECT_EQ(line, "");
    EXPECT_EQ(readcmdline(in, line), LineRead::kLine);
    EXPECT_EQ(line, "next\n");
    std::fclose(in);
}
