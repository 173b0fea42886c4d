// Which organiser names may become local names: the one decision behind wildcard get, backup and
// rlist, on the names a hostile or broken organiser could list.
#include <gtest/gtest.h>

#include <string>

#include "localnames.h"

namespace {

TEST(LocalNamesTest, OnlyPlainNamesOfMembersOfTheFolderFit) {
    using C = NameCheck;
    const struct {
        std::string path, folder;
        NameCheck check;
    } cases[] = {
        {"M:\\DOCS\\A b*$.TXT", "m:\\docs", C::kFits},
        {"m:\\agenda.txt", "m:", C::kFits},
        {"notes.txt", "", C::kFits},
        {"M:\\/tmp/out/abs.txt", "m:", C::kSlash},
        {"M:\\../rel.txt", "m:", C::kSlash},
        {"m:\\docs\\..", "m:\\docs", C::kDotName},
        {"m:\\docs\\..\\..\\x", "m:\\docs", C::kDotName},
        {"m:\\docs\\", "m:\\docs", C::kEmptyName},
        {"m:\\\\x", "m:", C::kEmptyName},
        {"", "m:", C::kEmptyName},
        {{"m:\\a\0b", 6}, "m:", C::kNul},
        {"M:\\Docs", "m:\\docs", C::kSelf},
        {"m:\\docsx\\y", "m:\\docs", C::kOutside},
        {"c:\\docs\\y", "m:\\docs", C::kOutside},
        {"m:\\docs\\a\\b", "m:\\docs", C::kOutside},
        {"m:\\x", "m:\\docs", C::kOutside},
        {"M:\\A", "", C::kOutside},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path + " in " + c.folder);
        std::string name = "unchanged";
        EXPECT_EQ(orvelmember(c.path, c.folder, &name), c.check);
        EXPECT_EQ(name, c.check == C::kFits ? c.path.substr(c.path.rfind('\\') + 1) : "unchanged");
    }
}

TEST(LocalNamesTest, OnlyADeviceAndPlainNamesAreAFullFolder) {
    const std::pair<const char*, bool> cases[] = {
        {"m:", true},      {"M:\\DOCS\\SUB", true}, {"m:\\docs\\", false}, {"docs", false},
        {"\\docs", false}, {"m:\\docs\\..", false}, {"m:\\*", false},      {"", false},
    };
    for (const auto& [folder, full] : cases) EXPECT_EQ(fullorvelfolder(folder), full) << folder;
    EXPECT_EQ(orvelfolder("m:\\docs\\a.txt"), "m:\\docs");
    EXPECT_EQ(orvelfolder("a.txt"), "");
}

}  // namespace
