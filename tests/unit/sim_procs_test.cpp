// The simulated organiser's process table: matching, protection and shutdown.
#include <gtest/gtest.h>

#include "simprocs.h"

namespace sim {
namespace {

TEST(SimProcsTest, ListsMatchingNamesInTableOrder) {
    ProcTable t(default_procs());
    EXPECT_EQ(t.list("*").size(), 8u);
    EXPECT_EQ(t.list("sys$*"), (std::vector<std::string>{"SYS$SHLL", "SYS$WSRV", "SYS$FSRV"}));
    EXPECT_EQ(t.list("WORD"), (std::vector<std::string>{"Word"}));
    EXPECT_TRUE(t.list("nothing").empty());
}

TEST(SimProcsTest, ProtectionSparesSystemAndLinkProgram) {
    ProcTable t(default_procs());
    EXPECT_EQ(t.kill("*", true), 4);
    EXPECT_EQ(t.list("*"),
              (std::vector<std::string>{"SYS$SHLL", "SYS$WSRV", "SYS$FSRV", "TAVLIN"}));
    EXPECT_EQ(t.kill("sys*", true), 0);
    EXPECT_EQ(t.kill("word", true), -1);
}

TEST(SimProcsTest, WithoutProtectionEverythingMatchingDies) {
    ProcTable t(default_procs());
    EXPECT_EQ(t.kill("s*", false), 4);  // three system processes and Sheet
    EXPECT_EQ(t.kill("*", false), 4);
    EXPECT_TRUE(t.list("*").empty());
    EXPECT_EQ(t.kill("*", false), -1);
}

TEST(SimProcsTest, ShutdownClosesApplicationsOnly) {
    std::vector<Proc> procs;
    ASSERT_TRUE(parse_procs("!Sys$X,tavlin,~Basic,Agenda,Word", &procs));
    ProcTable t(procs);
    EXPECT_EQ(t.shutdown("*"), 2);
    EXPECT_EQ(t.list("*"), (std::vector<std::string>{"Sys$X", "tavlin", "Basic"}));
    EXPECT_EQ(t.shutdown("basic"), 0);
    EXPECT_EQ(t.shutdown("zz*"), -1);
}

TEST(SimProcsTest, ParsesProcessLists) {
    std::vector<Proc> procs;
    ASSERT_TRUE(parse_procs("!A,~B,C,Tavlin", &procs));
    ASSERT_EQ(procs.size(), 4u);
    EXPECT_EQ(procs[0].kind, ProcKind::kSystem);
    EXPECT_EQ(procs[0].name, "A");
    EXPECT_EQ(procs[1].kind, ProcKind::kInterpreted);
    EXPECT_EQ(procs[2].kind, ProcKind::kApp);
    EXPECT_EQ(procs[3].kind, ProcKind::kLink);
    EXPECT_FALSE(parse_procs("A,,B", &procs));
    EXPECT_FALSE(parse_procs("!", &procs));
}

}  // namespace
}  // namespace sim
