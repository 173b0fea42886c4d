// The suffix filter list through its commands: adding, removing, printing and looking up.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "ovfilt.h"
#include "ovmain.h"

namespace {

class FilterListTest : public ::testing::Test {
  protected:
    void SetUp() override {
        initvars();
        initfilters();
    }
    void TearDown() override { initfilters(); }
    std::string line(const std::string& text, int* rc = nullptr) {
        ::testing::internal::CaptureStdout();
        const int r = cmdintr(text);
        std::fflush(stdout);
        if (rc) *rc = r;
        return ::testing::internal::GetCapturedStdout();
    }
    int count() {
        int n = 0;
        for (const FilterEntry* e = filters; e; e = e->next) ++n;
        return n;
    }
};

TEST_F(FilterListTest, EmptyListPrintsItsMessage) {
    int rc = 0;
    EXPECT_EQ(line("printfilters", &rc), "No filters currently installed\n");
    EXPECT_EQ(rc, kDone);
}

TEST_F(FilterListTest, AddedFilterDropsOneLeadingDotAndPrints) {
    int rc = 0;
    EXPECT_EQ(line("addfilter in .txt conv", &rc), "");
    EXPECT_EQ(rc, kDone);
    EXPECT_EQ(line("printfilters"),
              "Current installed filters\n"
              "Direction Input,   Suffix txt, Ovcmd conv\n");
    line("addfilter in ..x c2");
    EXPECT_STREQ(locatefilter(kFilterIn, ".x"), "c2");
}

TEST_F(FilterListTest, ListIsNewestFirstWithEachDirectionText) {
    line("addfilter in txt a");
    line("addfilter out doc b");
    line("addfilter restore doc c");
    line("addfilter sideways wp d");
    EXPECT_EQ(line("printfilters"),
              "Current installed filters\n"
              "Direction Output,  Suffix wp, Ovcmd d\n"
              "Direction Restore, Suffix doc, Ovcmd c\n"
              "Direction Output,  Suffix doc, Ovcmd b\n"
              "Direction Input,   Suffix txt, Ovcmd a\n");
}

TEST_F(FilterListTest, AddingWithADotTwiceKeepsBoth) {
    line("addfilter in .txt conv");
    line("addfilter in .txt conv2");
    EXPECT_EQ(count(), 2);
    EXPECT_STREQ(locatefilter(kFilterIn, "txt"), "conv2");
}

TEST_F(FilterListTest, AddingWithoutADotReplaces) {
    line("addfilter in txt conv");
    line("addfilter in txt conv2");
    EXPECT_EQ(count(), 1);
    EXPECT_STREQ(locatefilter(kFilterIn, "txt"), "conv2");
}

TEST_F(FilterListTest, DeleteMatchesTheStoredSuffixExactly) {
    line("addfilter in .txt conv");
    int rc = 0;
    EXPECT_EQ(line("delfilter in .txt", &rc), "");
    EXPECT_EQ(rc, kDone);
    EXPECT_EQ(count(), 1);
    line("delfilter out txt");
    EXPECT_EQ(count(), 1);
    line("delfilter in txt");
    EXPECT_EQ(count(), 0);
    EXPECT_EQ(line("delfilter in txt"), "");
}

TEST_F(FilterListTest, DeleteRemovesOnlyTheFirstMatch) {
    line("addfilter in .txt one");
    line("addfilter in .txt two");
    line("delfilter in txt");
    EXPECT_EQ(count(), 1);
    EXPECT_STREQ(locatefilter(kFilterIn, "txt"), "one");
}

TEST_F(FilterListTest, DirectionWordsMapToTheirDirections) {
    line("addfilter in s1 a");
    line("addfilter out s2 b");
    line("addfilter restore s3 c");
    line("addfilter IN s4 d");
    EXPECT_STREQ(locatefilter(kFilterIn, "s1"), "a");
    EXPECT_STREQ(locatefilter(kFilterOut, "s2"), "b");
    EXPECT_STREQ(locatefilter(kFilterRestore, "s3"), "c");
    EXPECT_STREQ(locatefilter(kFilterOut, "s4"), "d");
    EXPECT_EQ(locatefilter(kFilterIn, "s2"), nullptr);
    line("delfilter whatever s2");
    EXPECT_EQ(locatefilter(kFilterOut, "s2"), nullptr);
}

TEST_F(FilterListTest, WrongArgumentCountsAreUnknownCommands) {
    EXPECT_EQ(line("addfilter in txt"), "Error Cmd not known\n");
    EXPECT_EQ(line("delfilter in txt conv"), "Error Cmd not known\n");
    EXPECT_EQ(line("printfilters x"), "Error Cmd not known\n");
    EXPECT_EQ(count(), 0);
}

TEST_F(FilterListTest, TraceLinesAtLevelThree) {
    debugcall = 3;
    ::testing::internal::CaptureStderr();
    setupfilter(kFilterIn, ".txt", "conv");
    locatefilter(kFilterIn, "txt");
    removefilter(kFilterIn, "txt");
    const std::string err = ::testing::internal::GetCapturedStderr();
    debugcall = 0;
    EXPECT_EQ(err,
              "CALL: setupfilter (filttype = 1, suffix = .txt, ovcmd = conv)\n"
              "CALL: removefilter (filttype = 1, suffix = .txt, )\n"
              "CALL: newfilter (filttype = 1, suffix = .txt, ovcmd = conv, )\n"
              "CALL: installfilter (filttype = 1, suffix = .txt, ovcmd = conv, current = "
              "(OMITED))\n"
              "CALL: locatefilter (direction = 1, suffix = txt)\n"
              "CALL: removefilter (filttype = 1, suffix = txt, )\n");
}

}  // namespace
