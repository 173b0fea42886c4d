// The backup exclude list: lower-casing, order, duplicates, exact matching and the texts that
// printexcl shows.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ovbackupexclude.h"
#include "ovmain.h"

namespace {

class BackupExcludeTest : public ::testing::Test {
  protected:
    void SetUp() override { clear(); }
    void TearDown() override { clear(); }
    static void clear() {
        while (exclude != nullptr) {
            std::string path = exclude->path;
            removeexclude(path);
        }
    }
    // Runs a command handler on the given words.
    static int run(std::vector<std::string> words) {
        std::vector<char*> argv;
        for (std::string& w : words) argv.push_back(w.data());
        argv.push_back(nullptr);
        int argc = static_cast<int>(words.size());
        return words[0] == "printexcl" ? cmexclprint(argc, argv.data())
                                       : cmexclude(argc, argv.data());
    }
    static std::string printed() {
        testing::internal::CaptureStdout();
        printexclude();
        std::fflush(stdout);
        return testing::internal::GetCapturedStdout();
    }
    static std::vector<std::string> paths() {
        std::vector<std::string> out;
        for (ExcludeEntry* e = exclude; e != nullptr; e = e->next) out.push_back(e->path);
        return out;
    }
};

}  // namespace

TEST_F(BackupExcludeTest, EmptyListPrintsNoExcludes) {
    EXPECT_EQ(printed(), "No backup excludes currently installed\n");
}

TEST_F(BackupExcludeTest, NewestFirstInPrint) {
    run({"addexcl", "m:\\a"});
    run({"addexcl", "m:\\b"});
    EXPECT_EQ(printed(), "Current installed backup excludes\nm:\\b\nm:\\a\n");
}

TEST_F(BackupExcludeTest, AddLowerCasesAndKeepsOneEntry) {
    EXPECT_EQ(run({"addexcl", "M:\\Docs\\Old"}), -2);
    EXPECT_EQ(run({"addexcl", "m:\\docs\\old"}), -2);
    EXPECT_EQ(paths(), std::vector<std::string>{"m:\\docs\\old"});
}

TEST_F(BackupExcludeTest, SetupReportsDuplicateWithZero) {
    EXPECT_EQ(setupexclude("m:\\x"), -2);
    EXPECT_EQ(setupexclude("m:\\x"), 0);
    EXPECT_EQ(paths().size(), 1u);
}

TEST_F(BackupExcludeTest, DeleteLowerCasesAndRemovesOnlyThatEntry) {
    run({"addexcl", "m:\\a"});
    run({"addexcl", "m:\\b"});
    run({"addexcl", "m:\\c"});
    EXPECT_EQ(run({"delexcl", "M:\\B"}), -2);
    EXPECT_EQ(paths(), (std::vector<std::string>{"m:\\c", "m:\\a"}));
}

TEST_F(BackupExcludeTest, DeletingUnknownPathChangesNothingAndPrintsNothing) {
    run({"addexcl", "m:\\a"});
    testing::internal::CaptureStdout();
    run({"delexcl", "m:\\zz"});
    removeexclude("m:\\zz");
    std::fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(paths(), std::vector<std::string>{"m:\\a"});
}

TEST_F(BackupExcludeTest, RemoveOnEmptyListIsHarmless) {
    EXPECT_EQ(removeexclude("m:\\a"), -2);
}

TEST_F(BackupExcludeTest, MatchingIsExact) {
    setupexclude("m:\\docs\\old");
    EXPECT_EQ(findexclude("m:\\docs\\old"), 1);
    EXPECT_EQ(findexclude("m:\\docs\\old\\"), 0);
    EXPECT_EQ(findexclude("m:\\docs\\ol"), 0);
    EXPECT_EQ(findexclude("m:\\docs\\old\\x"), 0);
    EXPECT_EQ(findexclude("M:\\DOCS\\OLD"), 0);
}

TEST_F(BackupExcludeTest, TrailingBackslashEntryNeverMatchesNode) {
    run({"addexcl", "m:\\docs\\old\\"});
    EXPECT_EQ(findexclude("m:\\docs\\old"), 0);
}

TEST_F(BackupExcludeTest, PrintCommandPrintsList) {
    run({"addexcl", "m:\\q"});
    testing::internal::CaptureStdout();
    EXPECT_EQ(run({"printexcl"}), -2);
    std::fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Current installed backup excludes\nm:\\q\n");
}
