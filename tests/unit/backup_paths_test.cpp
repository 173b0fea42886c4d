// The path rules of backup and restore: organiser paths to workstation paths and back, the
// trimmed organiser root, and the ten-minute margin of the incremental runs.
#include <gtest/gtest.h>

#include <climits>
#include <tuple>

#include "backuprules.h"
#include "ovbackup.h"

TEST(BackupPathTest, MapsBothWaysOnTheDocumentedExamples) {
    const std::tuple<const char*, const char*, const char*, const char*> cases[] = {
        // organiser path, organiser root, workstation path, workstation folder
        {"m:\\docs", "m:\\docs", "/home/u/bk", "/home/u/bk"},
        {"m:\\docs\\notes.txt", "m:\\docs", "/home/u/bk/notes.txt", "/home/u/bk"},
        {"m:\\docs\\sub\\$tmp.dat", "m:\\docs", "/home/u/bk/sub/Stmp.dat", "/home/u/bk"},
        {"m:\\$ales.txt", "m:", "/r/Sales.txt", "/r"},
        {"m:\\a\\b", "m:", "/bk/a/b", "/bk"},
        {"m:\\x\\sub dir\\a b;c$d.txt", "m:\\x", "/t/bk/sub dir/a b;cSd.txt", "/t/bk"},
    };
    for (const auto& [orvel, root, host, dir] : cases) {
        EXPECT_EQ(backupbuildpath(orvel, dir, root), host) << orvel;
        EXPECT_EQ(restorebuildpath(host, root, dir), orvel) << host;
    }
    EXPECT_EQ(restorebuildpath("/r/sales.txt", "m:", "/r"), "m:\\sales.txt");  // only upper S
    const std::pair<const char*, const char*> roots[] = {
        {"m:\\docs\\", "m:\\docs"},   {"m:\\docs", "m:\\docs"}, {"m:\\", "m:"}, {"m:", "m:"},
        {"M:\\Docs\\\\", "M:\\Docs"},
    };
    for (const auto& [typed, trimmed] : roots) EXPECT_EQ(trimorvelroot(typed), trimmed) << typed;
}

// Exactly 600 seconds newer is copied again; an unknown organiser time (-1) is very old. The
// restore's rule is the same with the roles of the two times swapped.
TEST(BackupTimeTest, CopyIsKeptOnlyWhenMoreThanTenMinutesNewer) {
    const std::tuple<long, long, bool> cases[] = {{1000, 1601, true},  {1000, 1600, false},
                                                  {1000, 1000, false}, {2000, 1000, false},
                                                  {-1, 600, true},     {-1, 599, false}};
    for (const auto& [older, newer, kept] : cases) {
        EXPECT_EQ(backupcopycurrent(older, newer), kept) << older << " " << newer;
        if (older >= 0) {
            EXPECT_EQ(restoreorvelnewer(newer, older), kept) << older << " " << newer;
        }
    }
    // An absurd organiser time is no reason to leave a file: it is copied, and nothing overflows.
    for (long t : {LONG_MAX, LONG_MIN, -2L, 253402300800L})
        EXPECT_FALSE(backupcopycurrent(t, 2000) || restoreorvelnewer(t, 2000)) << t;
    EXPECT_FALSE(restoreorvelnewer(2000, LONG_MAX));
}
