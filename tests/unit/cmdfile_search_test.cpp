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

// The found file or "<none>"; with `out`, what the search printed on standard output.
std::string find_along(const std::string& name, const char* path, std::string* out = nullptr) {
    std::string res;
    if (out) ::testing::internal::CaptureStdout();
    const int found = ovcmdpath(name, path, res);
    std::fflush(stdout);
    if (out) *out += ::testing::internal::GetCapturedStdout();
    return found ? res : "<none>";
}

TEST(CmdFileSearchTest, FirstElementHoldingTheFileWinsAndAnEmptyOneStops) {
    char tmpl[] = "/tmp/cmdfile_search_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const std::string dir = tmpl, a = dir + "/a", b = dir + "/b", ab = a + ":" + b;
    for (const std::string& sub : {a, b + "/sub"}) std::filesystem::create_directories(sub);
    for (const char* f : {"/a/x.ovcmd", "/b/x.ovcmd", "/b/y.ovcmd", "/b/sub/z.ovcmd"})
        std::ofstream(dir + f) << "echo hi\n";
    const struct {
        std::string name, path, found;  // path "-": no path at all
    } cases[] = {
        {"x", ab, a + "/x.ovcmd"},
        {"y", ab, b + "/y.ovcmd"},
        {"y", b + ":", b + "/y.ovcmd"},
        {"y", ":" + b, "<none>"},
        {"y", a + "::" + b, "<none>"},
        {"y", "", "<none>"},
        {"y", "-", "<none>"},
        {"sub/z", ab, b + "/sub/z.ovcmd"},
        {b + "/y", "-", b + "/y.ovcmd"},
        {a + "/y", b, "<none>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name + " along " + c.path);
        EXPECT_EQ(find_along(c.name, c.path == "-" ? nullptr : c.path.c_str()), c.found);
    }
    std::filesystem::remove_all(dir);
}

TEST(CmdFileSearchTest, OverlongCandidateIsRefusedNotTried) {
    const std::string longname(5000, 'n');
    std::string out;
    EXPECT_EQ(find_along(longname, "/tmp", &out), "<none>");
    EXPECT_EQ(find_along("/" + longname, nullptr, &out), "<none>");
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 2) << out;
    EXPECT_NE(out.find("Error, command file path too long ("), std::string::npos) << out;
    EXPECT_NE(out.find("at most 4095), not tried\n"), std::string::npos) << out;
}

TEST(CmdFileSearchTest, DebugPathTracesEveryStepUpToTheEmptyElement) {
    debugpath = 1;
    std::string out;
    find_along("x", "/q:/b:", &out);
    debugpath = 0;
    EXPECT_EQ(out,
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
