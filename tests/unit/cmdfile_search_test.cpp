// The command-file search along a ":"-separated path, on real files in a temporary folder: the
// quirks a user meets only in odd paths (empty elements, no path, names below an element, names
// too long for the system) and the debugpath trace.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
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
        for (const char* f : {"/a/x.ovcmd", "/b/x.ovcmd", "/b/y.ovcmd", "/b/sub/z.ovcmd"})
            std::ofstream(dir + f) << "echo hi\n";
    }
    void TearDown() override {
        debugpath = 0;
        std::filesystem::remove_all(dir);
    }
    std::string search(const std::string& name, const char* path) {
        std::string res;
        return ovcmdpath(name, path, res) ? res : "<none>";
    }
    // What the search printed on standard output; its result goes to `found`.
    std::string traced(const std::string& name, const char* path) {
        ::testing::internal::CaptureStdout();
        found = search(name, path);
        std::fflush(stdout);
        return ::testing::internal::GetCapturedStdout();
    }
    std::string dir, found;
};

TEST_F(CmdFileSearchTest, FirstElementHoldingTheFileWinsAndAnEmptyOneStops) {
    const std::string a = dir + "/a", b = dir + "/b", ab = a + ":" + b;
    const struct {
        std::string name, path, found;  // path "-": no path at all
    } cases[] = {
        {"x", ab, a + "/x.ovcmd"},      {"y", ab, b + "/y.ovcmd"},
        {"y", b + ":", b + "/y.ovcmd"}, {"y", ":" + b, "<none>"},
        {"y", a + "::" + b, "<none>"},  {"y", "", "<none>"},
        {"y", "-", "<none>"},           {"sub/z", ab, b + "/sub/z.ovcmd"},
        {b + "/y", a, b + "/y.ovcmd"},  {b + "/y", "-", b + "/y.ovcmd"},
        {a + "/y", b, "<none>"},        {"y.ovcmd", b, "<none>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name + " along " + c.path);
        EXPECT_EQ(search(c.name, c.path == "-" ? nullptr : c.path.c_str()), c.found);
    }
    EXPECT_EQ(ovcmdexists(a + "/x.ovcmd"), 1);
    EXPECT_EQ(ovcmdexists(a + "/none.ovcmd"), 0);
}

TEST_F(CmdFileSearchTest, OverlongCandidateIsRefusedNotTried) {
    const std::string longname(5000, 'n');
    std::string out = traced(longname, (dir + "/b").c_str());
    EXPECT_EQ(found, "<none>");
    out += traced("/" + longname, nullptr);
    EXPECT_EQ(found, "<none>");
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 2) << out;
    EXPECT_NE(out.find("Error, command file path too long ("), std::string::npos) << out;
    EXPECT_NE(out.find("at most 4095), not tried\n"), std::string::npos) << out;
}

TEST_F(CmdFileSearchTest, DebugPathTracesEveryStepUpToTheEmptyElement) {
    debugpath = 1;
    EXPECT_EQ(traced("x", "/q:/b:"),
              "New path = -/q:/b:-\n"
              "scanning path, /\n"
              "scanning path, q\n"
              "Path, trying :/q/x.ovcmd:\n"
              "New path = -/b:-\n"
              "scanning path, /\n"
              "scanning path, b\n"
              "Path, trying :/b/x.ovcmd:\n"
              "New path = --\n");
}

}  // namespace
