// Names are data: which organiser names may become local names (the one decision behind
// wildcard get, backup and rlist), how a value goes into a shell line, and how organiser text is
// shown on a terminal, on the names a hostile or broken organiser could send.
#include <gtest/gtest.h>

#include <string>

#include "localnames.h"
#include "textutil.h"
#include "words.h"

namespace {

TEST(LocalNamesTest, OnlyPlainNamesOfMembersOfTheFolderFit) {
    using C = NameCheck;
    const struct {
        std::string path, folder;
        NameCheck check;
    } cases[] = {
        // clang-format off
        {"M:\\DOCS\\A b*$.TXT", "m:\\docs", C::kFits}, {"m:\\agenda.txt", "m:", C::kFits},
        {"notes.txt", "", C::kFits},                   {"M:\\/tmp/out/abs.txt", "m:", C::kSlash},
        {"M:\\../rel.txt", "m:", C::kSlash},           {"m:\\docs\\..\\x", "m:", C::kDotName},
        {"m:\\docs\\", "m:\\docs", C::kEmptyName},     {"m:\\\\x", "m:", C::kEmptyName},
        {"", "m:", C::kEmptyName},                     {{"m:\\a\0b", 6}, "m:", C::kNul},
        {"M:\\Docs", "m:\\docs", C::kSelf},            {"m:\\docsx\\y", "m:\\docs", C::kOutside},
        {"c:\\docs\\y", "m:\\docs", C::kOutside},      {"m:\\docs\\a\\b", "m:\\docs", C::kOutside},
        {"m:\\x", "m:\\docs", C::kOutside},
    };  // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path + " in " + c.folder);
        std::string name = "unchanged";
        EXPECT_EQ(orvelmember(c.path, c.folder, &name), c.check);
        EXPECT_EQ(name, c.check == C::kFits ? c.path.substr(c.path.rfind('\\') + 1) : "unchanged");
    }
}

TEST(ShellWordTest, ValuesWithShellSyntaxBecomeOneQuotedWord) {
    const std::pair<std::string, std::string> cases[] = {
        // clang-format off
        {"a b.txt", "a b.txt"}, {"caf\xc3\xa9-1,2:@%+=/_", "caf\xc3\xa9-1,2:@%+=/_"}, {"", ""},
        {"x$(touch PWNED).txt", "'x$(touch PWNED).txt'"}, {"it's", "'it'\\''s'"},
        {"a;b", "'a;b'"}, {"*", "'*'"}, {"~", "'~'"}, {"a\nb", "'a\nb'"},
    };  // clang-format on
    for (const auto& [value, word] : cases) EXPECT_EQ(shellword(value), word) << value;
}

TEST(ShownTextTest, ControlBytesAreWrittenInHex) {
    EXPECT_EQ(escapecontrols("E\x1b[31m\x7f\t\xc2\x9b\xc2\xa0\xff\x1f \x7e\xc2\x80\xc2\x9f"),
              "E\\x1b[31m\\x7f\\x09\\xc2\\x9b\xc2\xa0\xff\\x1f \x7e\\xc2\\x80\\xc2\\x9f");
    EXPECT_EQ(escapecontrols(std::string("a\0b\xc2", 4)), "a\\x00b\xc2");
}

}  // namespace
