// The command table and the help and usage commands that read it.
#include <gtest/gtest.h>

#include <cstring>

#include "ovmain.h"

namespace {
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

const char* const kNames[] = {"get",
                              "put",
                              "lcd",
                              "rcd",
                              "lpwd",
                              "rpwd",
                              "sum",
                              "filesum",
                              "foreach",
                              "list",
                              "rlist",
                              "info",
                              "setro",
                              "setrw",
                              "mkdir",
                              "rm",
                              "fast",
                              "display",
                              "binary",
                              "run",
                              "source",
                              "which",
                              "!",
                              "#",
                              "REM",
                              "Rem",
                              "echo",
                              "setv",
                              "unsetv",
                              "getenv",
                              "printv",
                              "ifusetv",
                              "vars",
                              "specialvars1",
                              "specialvars2",
                              "specialvars3",
                              "help",
                              "usage",
                              "addfilter",
                              "delfilter",
                              "printfilters",
                              "addexcl",
                              "delexcl",
                              "printexcl",
                              "backup",
                              "ibackup",
                              "restore",
                              "irestore",
                              "transinfo",
                              "transreset",
                              "ftransinfo",
                              "ftransreset",
                              "proclist",
                              "procprotect",
                              "prockill",
                              "shutdown",
                              "pause",
                              "quit"};

const CommandEntry& row(const char* name) {
    for (int i = 0; i < kCommandCount; ++i)
        if (std::strcmp(cmds[i].name, name) == 0) return cmds[i];
    ADD_FAILURE() << name;
    return cmds[0];
}

std::string run(const std::string& line) {
    initvars();
    CaptureStdout();
    EXPECT_EQ(cmdintr(line), kDone);
    return GetCapturedStdout();
}
}  // namespace

TEST(TableTest, HasTheFiftyEightRowsInOrder) {
    ASSERT_EQ(kCommandCount, 58);
    for (int i = 0; i < kCommandCount; ++i) EXPECT_STREQ(cmds[i].name, kNames[i]) << i;
}

TEST(TableTest, ArgumentBounds) {
    EXPECT_EQ(row("vars").minargs, 1);
    EXPECT_EQ(row("vars").maxargs, 0);
    EXPECT_EQ(row("foreach").minargs, 2);
    EXPECT_EQ(row("foreach").maxargs, 252);
    EXPECT_EQ(row("run").maxargs, 255);
    EXPECT_EQ(row("getenv").minargs, 1);
    EXPECT_EQ(row("getenv").maxargs, 3);
    EXPECT_EQ(row("proclist").maxargs, 2);
    EXPECT_EQ(row("shutdown").minargs, 1);
}

TEST(TableTest, SharedHandlers) {
    EXPECT_EQ(row("help").handler, &cmhelp);
    EXPECT_EQ(row("usage").handler, &cmhelp);
    EXPECT_EQ(row("pause").handler, &cmdiscon);
    EXPECT_EQ(row("quit").handler, &cmdiscon);
    EXPECT_EQ(row("fast").handler, &cmspeed);
    EXPECT_EQ(row("display").handler, &cmspeed);
    EXPECT_EQ(row("specialvars3").handler, &cmdumpv);
    EXPECT_EQ(row("vars").handler, &cmdumpv);
    EXPECT_EQ(row("Rem").handler, &cmignore);
}

TEST(TableTest, HelpListsEveryName) {
    std::string expect = "help, list of available commands is\n";
    for (const char* n : kNames) expect += std::string(n) + "\n";
    EXPECT_EQ(run("help"), expect);
    EXPECT_EQ(run("usage").substr(0, 37), "usage, list of available commands is\n");
}

TEST(TableTest, UsageOfGetAndVars) {
    EXPECT_EQ(run("usage get"), "Usage: get path [yal filename]\nArgument count, Min 1, Max 2\n");
    EXPECT_EQ(run("usage vars"),
              "Usage: vars Not a command, see help\nArgument count, Min 1, Max 0\n");
    EXPECT_EQ(run("usage lpwd"), "Usage: lpwd \nArgument count, Min 0, Max 0\n");
}

TEST(TableTest, HelpTexts) {
    EXPECT_EQ(run("help get"),
              "help for get\ngets a file from the orvel to the yal, optionaly using a different "
              "filename\n filename only can contain wildcards in which case multiple files are "
              "got,\nno yal filename is applicable in this case\n");
    EXPECT_EQ(run("help quit"),
              "help for quit\nInstruct the orvel end of the link to exit then exit the yal end\n");
    EXPECT_EQ(run("help #"),
              "help for #\nIgnores the remainder of the line, a comment indicator, intended to be "
              "used in \novcmd files\n");
    EXPECT_EQ(run("help specialvars3"),
              "help for specialvars3\nbackupnodo\tIf set the backup and restore systems do not "
              "actialy get / put files\nbut instead print out what would happen (usefull for "
              "backup)\nbackupask\tIf set asks before backingup each file, usefull "
              "for\ninteractive backupsrestoreask\tIf set asks before restoring each file "
              "(usefull for\ninteractive restores\n");
    EXPECT_EQ(run("usage specialvars2"),
              "Usage: specialvars2 Not a command see help\nArgument count, Min 0, Max 0\n");
}

TEST(TableTest, HelpOfAnUnknownName) {
    EXPECT_EQ(run("help frob"), "help: frob not found\n");
    EXPECT_EQ(run("usage frob"), "usage: frob not found\n");
}
