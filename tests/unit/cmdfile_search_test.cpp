// The command-file search along a ":"-separated path, on real files in a temporary folder.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "ovfile.h"
#include "ovmain.h"

namespace {

class CmdFileSearchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/cmdfile_search_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        std::filesystem::create_directories(dir + "/a");
        std::filesystem::create_directories(dir + "/b/sub");
    }
    void TearDown() override {
        debugpath = 0;
        std::filesystem::remove_all(dir);
    }
    void put(const std::string& rel, const std::string& text = "echo hi\n") {
        std::ofstream(dir + "/" + rel) << text;
    }
    std::string search(const std::string& name, const char* path, int* rc = nullptr) {
        std::string res;
        const int r = ovcmdpath(name, path, res);
        if (rc) *rc = r;
        return r ? res : "<none>";
    }
    std::string dir;
};

TEST_F(CmdFileSearchTest, FindsTheFileInTheFirstElementThatHasIt) {
    put("b/x.ovcmd");
    const std::string path = dir + "/a:" + dir + "/b";
    int rc = 0;
    EXPECT_EQ(search("x", path.c_str(), &rc), dir + "/b/x.ovcmd");
    EXPECT_EQ(rc, 1);
}

TEST_F(CmdFileSearchTest, EarlierElementWins) {
    put("a/x.ovcmd");
    put("b/x.ovcmd");
    const std::string path = dir + "/a:" + dir + "/b";
    EXPECT_EQ(search("x", path.c_str()), dir + "/a/x.ovcmd");
}

TEST_F(CmdFileSearchTest, EmptyElementEndsTheSearch) {
    put("b/x.ovcmd");
    int rc = 1;
    EXPECT_EQ(search("x", (":" + dir + "/b").c_str(), &rc), "<none>");
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(search("x", (dir + "/a::" + dir + "/b").c_str()), "<none>");
    EXPECT_EQ(search("x", ""), "<none>");
}

TEST_F(CmdFileSearchTest, TrailingColonDoesNotHideEarlierElements) {
    put("b/x.ovcmd");
    EXPECT_EQ(search("x", (dir + "/b:").c_str()), dir + "/b/x.ovcmd");
}

TEST_F(CmdFileSearchTest, NullPathFindsNothingForARelativeName) {
    put("b/x.ovcmd");
    EXPECT_EQ(search("x", nullptr), "<none>");
}

TEST_F(CmdFileSearchTest, AbsoluteNameIsTriedDirectly) {
    put("b/x.ovcmd");
    const std::string name = dir + "/b/x";
    EXPECT_EQ(search(name, (dir + "/a").c_str()), dir + "/b/x.ovcmd");
    EXPECT_EQ(search(name, nullptr), dir + "/b/x.ovcmd");
    EXPECT_EQ(search(dir + "/a/x", (dir + "/b").c_str()), "<none>");
}

TEST_F(CmdFileSearchTest, RelativeNameIsSearchedBelowEveryElement) {
    put("b/sub/y.ovcmd");
    const std::string path = dir + "/a:" + dir + "/b";
    EXPECT_EQ(search("sub/y", path.c_str()), dir + "/b/sub/y.ovcmd");
}

TEST_F(CmdFileSearchTest, NameWithItsSuffixIsNotFound) {
    put("b/x.ovcmd");
    EXPECT_EQ(search("x.ovcmd", (dir + "/b").c_str()), "<none>");
}

TEST_F(CmdFileSearchTest, OvcmdExistsAnswersForReadableFilesOnly) {
    put("a/x.ovcmd");
    EXPECT_EQ(ovcmdexists(dir + "/a/x.ovcmd"), 1);
    EXPECT_EQ(ovcmdexists(dir + "/a/none.ovcmd"), 0);
}

TEST_F(CmdFileSearchTest, OverlongCandidateIsRefusedNotTried) {
    put("b/x.ovcmd");
    const std::string longname(5000, 'n');
    const std::string path = dir + "/a:" + dir + "/b";
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(search(longname, path.c_str()), "<none>");
    EXPECT_EQ(search("/" + longname, nullptr), "<none>");
    std::fflush(stdout);
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Error, command file path too long ("), std::string::npos) << out;
    EXPECT_NE(out.find("at most 4095), not tried\n"), std::string::npos) << out;
}

TEST_F(CmdFileSearchTest, DebugPathTracesEveryStep) {
    put("b/x.ovcmd");
    debugpath = 1;
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(search("x", "/q:/b"), "<none>");
    std::fflush(stdout);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "New path = -/q:/b-\n"
              "scanning path, /\n"
              "scanning path, q\n"
              "Path, trying :/q/x.ovcmd:\n"
              "New path = -/b-\n"
              "scanning path, /\n"
              "scanning path, b\n"
              "Path, trying :/b/x.ovcmd:\n");
}

TEST_F(CmdFileSearchTest, DebugPathShowsTheEmptyElementThatStops) {
    debugpath = 1;
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(search("x", "/q:"), "<none>");
    std::fflush(stdout);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "New path = -/q:-\n"
              "scanning path, /\n"
              "scanning path, q\n"
              "Path, trying :/q/x.ovcmd:\n"
              "New path = --\n");
}

}  // namespace
