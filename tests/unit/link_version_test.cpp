// Release comparison, field by field.
#include <gtest/gtest.h>

#include "ovlib.h"

TEST(LinkVersionTest, FieldsCompareAsNumbers) {
    EXPECT_EQ(vsncompare("3.24", "3.7"), 1);
    EXPECT_EQ(vsncompare("3.7", "3.24"), -1);
    EXPECT_EQ(vsncompare("3.7", "3.7"), 0);
    EXPECT_EQ(vsncompare("2.3", "3.7"), -1);
}

TEST(LinkVersionTest, LeadingZerosAndMissingFields) {
    EXPECT_EQ(vsncompare("3.07", "3.7"), 0);
    EXPECT_EQ(vsncompare("3", "3.0.0.0"), 0);
    EXPECT_EQ(vsncompare("3.24.1", "3.24"), 1);
}

TEST(LinkVersionTest, FifthFieldIgnored) {
    EXPECT_EQ(vsncompare("1.2.3.4.9", "1.2.3.4"), 0);
    EXPECT_EQ(vsncompare("1.2.3.4", "1.2.3.5"), -1);
}

TEST(LinkVersionTest, EmptyAndTrailingText) {
    EXPECT_EQ(vsncompare("3..5", "3.0.5"), 0);
    EXPECT_EQ(vsncompare("3.24b", "3.24"), 0);
    EXPECT_EQ(vsncompare("", "0"), 0);
    EXPECT_EQ(vsncompare("", "3.7"), -1);
}

TEST(LinkVersionTest, UncheckedGatesNeverRefuse) {
    int saved = dovsnchk;
    dovsnchk = 0;
    EXPECT_EQ(ovvsnlt("99"), 0);
    EXPECT_EQ(ovvsngt("0"), 0);
    EXPECT_EQ(ovvsneq("2.3"), 0);
    dovsnchk = saved;
}
