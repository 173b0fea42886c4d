// Seeded faults of the simulated organiser: parsing, determinism, and corruptions that a strict
// reader must always notice.
#include <gtest/gtest.h>

#include "simfaults.h"
#include "simframe.h"

namespace sim {
namespace {

// A strict reader of one reply line body: true when it is intact (hex digits, blanks as 0 where
// the workstation allows them, matching sum).
bool intact(const std::string& body, std::string* text) {
    auto digit = [](char c, bool blank_ok) { return (blank_ok && c == ' ') ? 0 : hex_value(c); };
    if (body.size() < 6 || body[0] != '$') return false;
    const int l1 = digit(body[1], true), l2 = digit(body[2], false);
    if (l1 < 0 || l2 < 0) return false;
    const size_t n = static_cast<size_t>(l1 * 16 + l2);
    if (body.size() != n + 6) return false;
    const int c1 = digit(body[n + 4], true), c2 = digit(body[n + 5], true);
    if (c1 < 0 || c2 < 0) return false;
    *text = body.substr(3, n);
    return text_sum(*text) == c1 * 16 + c2;
}

TEST(SimFaultsTest, ParsesSettings) {
    FaultPlan plan;
    std::string err;
    ASSERT_TRUE(parse_fault_plan("out=0.1,in=0.2,ack=0.05,seed=7,hangup=40", &plan, &err)) << err;
    EXPECT_DOUBLE_EQ(plan.out, 0.1);
    EXPECT_DOUBLE_EQ(plan.in, 0.2);
    EXPECT_DOUBLE_EQ(plan.ack, 0.05);
    EXPECT_EQ(plan.seed, 7u);
    EXPECT_EQ(plan.hangup, 40);
    EXPECT_FALSE(parse_fault_plan("out=2", &plan, &err));
    EXPECT_FALSE(parse_fault_plan("bogus=1", &plan, &err));
    EXPECT_FALSE(parse_fault_plan("out", &plan, &err));
    EXPECT_FALSE(parse_fault_plan("hangup=-1", &plan, &err));
}

TEST(SimFaultsTest, SameSeedGivesSameDraws) {
    FaultPlan plan;
    plan.out = 0.3;
    plan.in = 0.5;
    plan.seed = 42;
    Faults a(plan), b(plan);
    std::string how;
    for (int i = 0; i < 200; ++i) {
        EXPECT_EQ(a.draw(FaultKind::kOut), b.draw(FaultKind::kOut));
        EXPECT_EQ(a.draw(FaultKind::kIn), b.draw(FaultKind::kIn));
        EXPECT_EQ(a.corrupt("$02ol$DB", &how), b.corrupt("$02ol$DB", &how));
    }
}

TEST(SimFaultsTest, FractionsAreRoughlyHonouredAndZeroNeverFires) {
    FaultPlan plan;
    plan.out = 0.25;
    Faults f(plan);
    int fired = 0;
    for (int i = 0; i < 4000; ++i) fired += f.draw(FaultKind::kOut) ? 1 : 0;
    EXPECT_GT(fired, 800);
    EXPECT_LT(fired, 1200);
    for (int i = 0; i < 1000; ++i) EXPECT_FALSE(f.draw(FaultKind::kIn));
}

TEST(SimFaultsTest, CorruptionsAreAlwaysDetectable) {
    FaultPlan plan;
    Faults f(plan);
    const char* texts[] = {"XONLINE", "", "V3.24", "M:\\DOCS\\notes.txt", "0102FF", "XOK"};
    for (int i = 0; i < 3000; ++i) {
        for (bool pad : {false, true}) {
            const std::string body = frame_body(texts[i % 6], pad);
            std::string text, how;
            ASSERT_TRUE(intact(body, &text)) << body;
            const std::string bad = f.corrupt(body, &how);
            EXPECT_EQ(bad.size(), body.size());
            EXPECT_FALSE(intact(bad, &text)) << body << " -> " << bad << " (" << how << ")";
            EXPECT_EQ(bad.find('\n'), std::string::npos);
        }
    }
}

TEST(SimFaultsTest, StatsListEveryKey) {
    SimStats s;
    s.frames_in = 3;
    s.corrupt_out = 1;
    EXPECT_EQ(format_stats(s),
              "frames_in 3\nframes_out 0\ncorrupt_out 1\nrefused_in 0\nrefused_ack 0\n"
              "datain_bad 0\ndataout_bad 0\nsum_lies 0\n");
}

}  // namespace
}  // namespace sim
