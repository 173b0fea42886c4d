// Release comparison: up to four fields, each compared as a number.
#include <gtest/gtest.h>

#include <tuple>

#include "ovlib.h"

TEST(LinkVersionTest, ComparesUpToFourNumericFields) {
    const std::tuple<const char*, const char*, int> cases[] = {
        {"3.24", "3.7", 1}, {"3.7", "3.24", -1},  {"3.07", "3.7", 0},          {"3", "3.0.0.0", 0},
        {"", "3.7", -1},    {"3.24b", "3.24", 0}, {"1.2.3.4.9", "1.2.3.4", 0}, {"3..5", "3.0.5", 0},
    };
    for (const auto& [a, b, want] : cases) EXPECT_EQ(vsncompare(a, b), want) << a << " " << b;
}
