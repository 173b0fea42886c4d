// Running a filter on a workstation file: which filter the suffix and direction choose, the
// arguments and level it runs at, the help and verbose lines, and a filter that removes itself.
// Converting real files around transfers is tested end to end.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "ovfilt.h"
#include "ovmain.h"

namespace {

TEST(FilterRunTest, SuffixAndDirectionChooseTheFilter) {
    char tmpl[] = "/tmp/filter_run_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const std::string dir = tmpl;
    std::ofstream(dir + "/show.ovcmd") << "echo [arg0] got [arg1]\n";
    std::ofstream(dir + "/selfdel.ovcmd") << "delfilter in txt\necho [arg0] done\n";
    const int in = kFilterIn, out = kFilterOut, rst = kFilterRestore;
    const struct {
        int direction;
        const char *suffix, *ovcmd, *vars;  // vars: h = helpfull, v = verbose
        int run;
        const char *name, *out;
    } cases[] = {
        {rst, "doc", "show", "", rst, "report.doc", "show got report.doc\n"},
        {in, "tar.gz", "show", "", in, "a.tar.gz", "show got a.tar.gz\n"},  // after the first dot
        {in, "gz", "show", "", in, "a.tar.gz", ""},
        {in, "d/file", "show", "", in, "dir.d/file", "show got dir.d/file\n"},
        {in, "txt", "show", "", in, "my notes.txt", "show got my notes.txt\n"},
        {in, "txt", "show", "", in, "[x].txt", "show got [x].txt\n"},
        {in, "txt", "show", "", in, "notes", ""},
        {in, "txt", "show", "h", in, "notes",
         "HELP: You have initiated a transfer of (notes) for which there\n"
         "is no suffix, no filter will be run\n"},
        {in, "txt", "show", "hv", in, "notes.doc", ""},
        {out, "txt", "show", "v", out, "a b.txt",
         "Calling Output,  filter (run show a b.txt)\nshow got a b.txt\n"},
        {in, "txt", "nosuch", "", in, "a.txt", "Error, nosuch not found\n"},
        {in, "txt", "selfdel", "", in, "a.txt", "selfdel done\n"},  // no use after free
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.ovcmd) + " on " + c.name);
        initvars();
        initfilters();
        addvar("path", dir);
        if (std::string(c.vars).find('h') != std::string::npos) addvar("helpfull", "");
        if (std::string(c.vars).find('v') != std::string::npos) addvar("verbose", "");
        setupfilter(c.direction, c.suffix, c.ovcmd);
        ::testing::internal::CaptureStdout();
        filefilt(c.run, c.name);
        std::fflush(stdout);
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), c.out);
        EXPECT_EQ(findvar("arg0"), nullptr);
        EXPECT_EQ(level, 0);
        EXPECT_EQ(filters == nullptr, std::string(c.ovcmd) == "selfdel");
    }
    initfilters();
    initvars();
    std::filesystem::remove_all(dir);
}

}  // namespace
