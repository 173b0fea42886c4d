// Running a filter on a workstation file: the suffix rule, the help and verbose lines, and a
// real conversion done by a filter command file through `!`.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "ovfilt.h"
#include "ovmain.h"

namespace {

class FilterRunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/filter_run_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        initvars();
        initfilters();
        addvar("path", dir);
        // Upper-cases its argument in place.
        write("upper.ovcmd",
              "! set -- [arg1] ; tr a-z A-Z < \"$1\" > \"$1.tmp\" && mv \"$1.tmp\" \"$1\"\n");
        write("show.ovcmd", "echo [arg0] got [arg1]\n");
    }
    void TearDown() override {
        initfilters();
        initvars();
        std::filesystem::remove_all(dir);
    }
    void write(const std::string& rel, const std::string& text) {
        std::ofstream(dir + "/" + rel, std::ios::binary) << text;
    }
    std::string read(const std::string& rel) {
        std::ifstream in(dir + "/" + rel, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::string filt(int direction, const std::string& name) {
        ::testing::internal::CaptureStdout();
        filefilt(direction, name);
        std::fflush(stdout);
        return ::testing::internal::GetCapturedStdout();
    }
    std::string dir;
};

TEST_F(FilterRunTest, FilterConvertsTheFileInPlace) {
    setupfilter(kFilterIn, "txt", "upper");
    write("notes.txt", "hello, world\n");
    filt(kFilterIn, dir + "/notes.txt");
    EXPECT_EQ(read("notes.txt"), "HELLO, WORLD\n");
    EXPECT_FALSE(std::filesystem::exists(dir + "/notes.txt.tmp"));
}

TEST_F(FilterRunTest, OnlyTheMatchingDirectionRuns) {
    setupfilter(kFilterOut, "txt", "upper");
    write("notes.txt", "hello\n");
    EXPECT_EQ(filt(kFilterIn, dir + "/notes.txt"), "");
    EXPECT_EQ(filt(kFilterRestore, dir + "/notes.txt"), "");
    EXPECT_EQ(read("notes.txt"), "hello\n");
}

TEST_F(FilterRunTest, FilterRunsInItsOwnLevelWithArgs) {
    setupfilter(kFilterRestore, "doc", "show");
    EXPECT_EQ(filt(kFilterRestore, "report.doc"), "show got report.doc\n");
    EXPECT_EQ(findvar("arg0"), nullptr);
    EXPECT_EQ(level, 0);
}

TEST_F(FilterRunTest, SuffixIsEverythingAfterTheFirstDot) {
    setupfilter(kFilterIn, "tar.gz", "show");
    setupfilter(kFilterIn, "gz", "upper");
    EXPECT_EQ(filt(kFilterIn, "a.tar.gz"), "show got a.tar.gz\n");
    setupfilter(kFilterIn, "d/file", "show");
    EXPECT_EQ(filt(kFilterIn, "dir.d/file"), "show got dir.d/file\n");
}

TEST_F(FilterRunTest, NameWithBlanksOrBracketsStaysOneArgument) {
    setupfilter(kFilterIn, "txt", "show");
    EXPECT_EQ(filt(kFilterIn, "my notes.txt"), "show got my notes.txt\n");
    EXPECT_EQ(filt(kFilterIn, "[x].txt"), "show got [x].txt\n");
}

TEST_F(FilterRunTest, NoSuffixIsExplainedOnlyWithHelpfull) {
    setupfilter(kFilterIn, "txt", "show");
    EXPECT_EQ(filt(kFilterIn, "notes"), "");
    addvar("helpfull", "");
    EXPECT_EQ(filt(kFilterIn, "notes"),
              "HELP: You have initiated a transfer of (notes) for which there\n"
              "is no suffix, no filter will be run\n");
}

TEST_F(FilterRunTest, NoFilterForTheSuffixRunsNothing) {
    setupfilter(kFilterIn, "txt", "show");
    addvar("helpfull", "");
    addvar("verbose", "");
    EXPECT_EQ(filt(kFilterIn, "notes.doc"), "");
}

TEST_F(FilterRunTest, VerboseNamesTheFilterAndItsCommandLine) {
    setupfilter(kFilterOut, "txt", "show");
    addvar("verbose", "");
    EXPECT_EQ(filt(kFilterOut, "a b.txt"),
              "Calling Output,  filter (run show a b.txt)\nshow got a b.txt\n");
}

TEST_F(FilterRunTest, MissingFilterFileIsReported) {
    setupfilter(kFilterIn, "txt", "nosuch");
    EXPECT_EQ(filt(kFilterIn, "a.txt"), "Error, nosuch not found\n");
}

TEST_F(FilterRunTest, FilterMayRemoveItselfWhileRunning) {
    write("selfdel.ovcmd", "delfilter in txt\necho [arg0] done\n");
    setupfilter(kFilterIn, "txt", "selfdel");
    EXPECT_EQ(filt(kFilterIn, "a.txt"), "selfdel done\n");
    EXPECT_EQ(filters, nullptr);
}

}  // namespace
