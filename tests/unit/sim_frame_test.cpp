// The simulated organiser's frame parser, on literal byte strings: written apart from the
// workstation's, so that one mistake cannot pass on both ends. (The frames and data lines it
// sends are pinned byte for byte by the sessions under faults/ and transfer/, which also pin its
// seeded noise seed by seed; its decoders' refusals by the kept inputs of the simdata target.)
#include <gtest/gtest.h>

#include "simframe.h"

namespace sim {
namespace {

TEST(SimFrameTest, ParsesFramesAndNamesWhatIsWrong) {
    using E = FrameEvent;
    const std::pair<const char*, E::Kind> cases[] = {
        {"$02ol$DB", E::kFrame},       {"$02ol$db", E::kFrame},       {"$04a$b$$0B", E::kFrame},
        {"$02ol$DC", E::kBadChecksum}, {"$02om$DB", E::kBadChecksum}, {"$0Gol$DB", E::kMalformed},
        {"$ 2ol$DB", E::kMalformed},   {"$02ol$DX", E::kMalformed},   {"$02ol$ B", E::kMalformed},
        {"$03ol$DB", E::kMalformed},  // the length takes "ol$" as text: no "$" follows
        {"$02ol$D", E::kNone},        // truncated
    };
    for (const auto& [bytes, kind] : cases) EXPECT_EQ(parse_frame_bytes(bytes).kind, kind) << bytes;
    EXPECT_EQ(parse_frame_bytes("$04a$b$$0B").text, "a$b$");
}

TEST(SimFrameTest, StreamParserResynchronisesAfterGarbage) {
    FrameParser parser;
    std::string seen;
    for (char c : std::string("R\n$Q$02ol$D")) seen += "-FCMS"[parser.feed(uint8_t(c)).kind];
    EXPECT_EQ(seen, "SS-M-------");  // stray, stray, malformed, then a frame under way
    EXPECT_TRUE(parser.in_frame());
    EXPECT_EQ(parser.feed('B').text, "ol");
    EXPECT_FALSE(parser.in_frame());
}

}  // namespace
}  // namespace sim
