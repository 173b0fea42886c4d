// The backup tree: children linked in front (so visited in reverse order of adding), depth-first
// printing, and freeing.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "ovbackup.h"

namespace {

std::string printed(BackupNode* node) {
    char* buf = nullptr;
    std::size_t size = 0;
    FILE* out = open_memstream(&buf, &size);
    printbackuplist(node, out);
    std::fclose(out);
    std::string text(buf, size);
    std::free(buf);
    return text;
}

}  // namespace

TEST(BackupTreeTest, NewNodeIsUnknownAndUnlinked) {
    BackupNode* node = backupnode("m:\\a");
    EXPECT_EQ(node->pname, "m:\\a");
    EXPECT_EQ(node->type, kNodeUnknown);
    EXPECT_EQ(node->skip, 0);
    EXPECT_EQ(node->next, nullptr);
    EXPECT_EQ(node->child, nullptr);
    closebackuplist(node);
}

TEST(BackupTreeTest, ChildrenAreLinkedInFront) {
    initbackuplist("m:\\d");
    BackupNode* a = backupaddchild(backhead, "m:\\d\\a");
    BackupNode* b = backupaddchild(backhead, "m:\\d\\b");
    EXPECT_EQ(backhead->child, b);
    EXPECT_EQ(b->next, a);
    EXPECT_EQ(a->next, nullptr);
    closebackuplist(backhead);
    backhead = nullptr;
}

TEST(BackupTreeTest, PrintIsDepthFirstInLinkOrder) {
    initbackuplist("m:\\d");
    BackupNode* a = backupaddchild(backhead, "m:\\d\\a");
    BackupNode* b = backupaddchild(backhead, "m:\\d\\b");
    backupaddchild(a, "m:\\d\\a\\x");
    backupaddchild(a, "m:\\d\\a\\y");
    backupaddchild(b, "m:\\d\\b\\z");
    EXPECT_EQ(printed(backhead),
              "m:\\d\nm:\\d\\b\nm:\\d\\b\\z\nm:\\d\\a\nm:\\d\\a\\y\nm:\\d\\a\\x\n");
    closebackuplist(backhead);
    backhead = nullptr;
}

TEST(BackupTreeTest, PrintWithoutStreamGoesToStandardOutput) {
    BackupNode* root = backupnode("m:\\only");
    testing::internal::CaptureStdout();
    printbackuplist(root, nullptr);
    std::fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "m:\\only\n");
    closebackuplist(root);
}

TEST(BackupTreeTest, WideAndDeepTreeIsBuiltAndFreed) {
    // Thousands of siblings and a deep chain: adding is constant time, freeing reaches all.
    initbackuplist("m:");
    for (int i = 0; i < 5000; ++i) backupaddchild(backhead, "m:\\f" + std::to_string(i));
    BackupNode* deep = backhead->child;
    for (int i = 0; i < 200; ++i) deep = backupaddchild(deep, deep->pname + "\\d");
    EXPECT_EQ(backhead->child->pname, "m:\\f4999");
    closebackuplist(backhead);
    backhead = nullptr;
}
