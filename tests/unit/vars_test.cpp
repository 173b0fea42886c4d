// The environment lookup behind getenv and HOME: a prefix match up to the first "=" (the variable
// commands themselves are pinned by the sessions under tests/sessions/scripting).
#include <gtest/gtest.h>

#include "ovvar.h"

TEST(VarsTest, EnvironmentLookupIsAPrefixMatchUpToTheFirstEquals) {
    char homedir[] = "HOMEDIR=/d", home[] = "HOME=/h", opts[] = "OPTS=a=b", odd[] = "ODD";
    char* env[] = {homedir, home, opts, odd, nullptr};
    initvars();
    EXPECT_STREQ(extractenv("HOME", env), "HOMEDIR=/d");
    EXPECT_EQ(extractenv("PATH", env), nullptr);
    EXPECT_EQ(loadvar("HOME", "HOME", env), 1);
    EXPECT_STREQ(findvar("HOME"), "/d");
    EXPECT_EQ(loadvar("OPTS", "opts", env), 1);
    EXPECT_STREQ(findvar("opts"), "a=b");
    EXPECT_EQ(loadvar("ODD", "ODD", env), 0);  // an entry without "=" sets nothing
    EXPECT_EQ(findvar("ODD"), nullptr);
    initvars();
}
