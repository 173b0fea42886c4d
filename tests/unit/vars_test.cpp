// The levelled variable store.
#include <gtest/gtest.h>

#include "ovmain.h"
#include "ovvar.h"

namespace {
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

std::string dump() {
    CaptureStdout();
    dumpvars();
    return GetCapturedStdout();
}

class VarsTest : public testing::Test {
  protected:
    void SetUp() override { initvars(); }
    void TearDown() override { initvars(); }
};
}  // namespace

TEST_F(VarsTest, NewestVariableIsListedFirst) {
    addvar("a", "1");
    addvar("b", "2");
    EXPECT_EQ(dump(), "Vars\nb = 2\na = 1\nEnd\n");
    addvar("a", "3");
    EXPECT_EQ(dump(), "Vars\na = 3\nb = 2\nEnd\n");
}

TEST_F(VarsTest, EmptyLevelDumpsOnlyTheFrame) {
    EXPECT_EQ(dump(), "Vars\nEnd\n");
}

TEST_F(VarsTest, FindSeesOnlyTheCurrentLevelAndExactNames) {
    addvar("x", "");
    ASSERT_NE(findvar("x"), nullptr);
    EXPECT_STREQ(findvar("x"), "");
    EXPECT_EQ(findvar("X"), nullptr);
    EXPECT_EQ(findvar("x "), nullptr);
}

TEST_F(VarsTest, NewLevelListsTheCopiesInReverseOrder) {
    addvar("a", "1");
    addvar("b", "2");
    addvar("c", "3");
    upvarlevel();
    EXPECT_EQ(dump(), "Vars\na = 1\nb = 2\nc = 3\nEnd\n");
    addvar("arg0", "f");
    EXPECT_EQ(dump(), "Vars\narg0 = f\na = 1\nb = 2\nc = 3\nEnd\n");
}

TEST_F(VarsTest, DroppingALevelDiscardsItsChanges) {
    addvar("keep", "1");
    addvar("gone", "2");
    upvarlevel();
    addvar("keep", "changed");
    delvar("gone");
    addvar("new", "x");
    downvarlevel();
    EXPECT_EQ(curlevel, varstackbase);
    EXPECT_EQ(dump(), "Vars\ngone = 2\nkeep = 1\nEnd\n");
}

TEST_F(VarsTest, DroppingTheBaseLevelOnlyEmptiesIt) {
    addvar("a", "1");
    downvarlevel();
    EXPECT_EQ(curlevel, varstackbase);
    EXPECT_EQ(varstackbase->down, nullptr);
    EXPECT_EQ(dump(), "Vars\nEnd\n");
}

TEST_F(VarsTest, AddingFromTheStoredValueKeepsIt) {
    addvar("x", "value");
    addvar("x", findvar("x"));
    EXPECT_STREQ(findvar("x"), "value");
    const VarEntry* e = curlevel->entries;
    addvar(e->name, e->value);
    EXPECT_STREQ(findvar("x"), "value");
}

TEST_F(VarsTest, SetvFromItsOwnValueKeepsIt) {
    addvar("x", "a b");
    EXPECT_EQ(cmdintr("setv x [x]"), kDone);
    EXPECT_STREQ(findvar("x"), "a b");
}

TEST_F(VarsTest, DeleteOfAnAbsentNameDoesNothing) {
    addvar("a", "1");
    delvar("b");
    EXPECT_EQ(dump(), "Vars\na = 1\nEnd\n");
}

TEST_F(VarsTest, EnvironmentMatchIsByPrefix) {
    char homedir[] = "HOMEDIR=/d";
    char home[] = "HOME=/h";
    char* env[] = {homedir, home, nullptr};
    EXPECT_STREQ(extractenv("HOME", env), "HOMEDIR=/d");
    EXPECT_EQ(loadvar("HOME", "HOME", env), 1);
    EXPECT_STREQ(findvar("HOME"), "/d");
    EXPECT_EQ(extractenv("PATH", env), nullptr);
}

TEST_F(VarsTest, LoadvarKeepsEverythingAfterTheFirstEquals) {
    char entry[] = "OPTS=a=b";
    char* env[] = {entry, nullptr};
    EXPECT_EQ(loadvar("OPTS", "opts", env), 1);
    EXPECT_STREQ(findvar("opts"), "a=b");
}

TEST_F(VarsTest, LoadvarOfAnEntryWithoutEqualsSetsNothing) {
    char odd[] = "ODD";
    char* env[] = {odd, nullptr};
    EXPECT_EQ(loadvar("ODD", "ODD", env), 0);
    EXPECT_EQ(findvar("ODD"), nullptr);
    EXPECT_EQ(loadvar("MISSING", "MISSING", env), 0);
}

TEST_F(VarsTest, TraceLinesAtLevelTwo) {
    int saved = debugcall;
    debugcall = 2;
    testing::internal::CaptureStderr();
    addvar("a", "1");
    std::string err = testing::internal::GetCapturedStderr();
    debugcall = saved;
    EXPECT_EQ(err, "CALL: delvar (name = a)\nCALL: addvar (name = a, value = 1)\n");
}
