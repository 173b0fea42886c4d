// The path rules of backup and restore: organiser paths to workstation paths and back, the
// trimmed organiser root, and the ten-minute margin of the incremental runs.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "backuprules.h"
#include "ovbackup.h"

TEST(BackupPathTest, MapsBothWaysOnTheDocumentedExamples) {
    struct Case {
        const char *orvel, *root, *host, *dir;
    };
    const Case cases[] = {
        {"m:\\docs", "m:\\docs", "/home/u/bk", "/home/u/bk"},
        {"m:\\docs\\notes.txt", "m:\\docs", "/home/u/bk/notes.txt", "/home/u/bk"},
        {"m:\\docs\\sub\\$tmp.dat", "m:\\docs", "/home/u/bk/sub/Stmp.dat", "/home/u/bk"},
        {"m:\\$ales.txt", "m:", "/r/Sales.txt", "/r"},
        {"m:\\a\\b", "m:", "/bk/a/b", "/bk"},
        {"m:\\x\\sub dir\\a b;c$d.txt", "m:\\x", "/t/bk/sub dir/a b;cSd.txt", "/t/bk"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.orvel);
        EXPECT_EQ(backupbuildpath(c.orvel, c.dir, c.root), c.host);
        EXPECT_EQ(restorebuildpath(c.host, c.root, c.dir), c.orvel);
    }
    EXPECT_EQ(restorebuildpath("/r/sales.txt", "m:", "/r"), "m:\\sales.txt");  // only upper S
}

TEST(BackupPathTest, TrailingBackslashOfRootIsDropped) {
    const std::pair<const char*, const char*> cases[] = {
        {"m:\\docs\\", "m:\\docs"},   {"m:\\docs", "m:\\docs"}, {"m:\\", "m:"}, {"m:", "m:"},
        {"M:\\Docs\\\\", "M:\\Docs"},
    };
    for (const auto& [typed, trimmed] : cases) EXPECT_EQ(trimorvelroot(typed), trimmed) << typed;
}

TEST(BackupTimeTest, CopyIsKeptOnlyWhenMoreThanTenMinutesNewer) {
    struct Case {
        long older, newer;
        bool kept;
    };
    // Exactly 600 seconds newer is copied again; an unknown organiser time (-1) is very old.
    const Case cases[] = {{1000, 1601, true},  {1000, 1600, false}, {1000, 1000, false},
                          {2000, 1000, false}, {-1, 600, true},     {-1, 599, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.older) + " " + std::to_string(c.newer));
        EXPECT_EQ(backupcopycurrent(c.older, c.newer), c.kept);
        if (c.older >= 0) {  // restore's rule with the roles of the two times swapped
            EXPECT_EQ(restoreorvelnewer(c.newer, c.older), c.kept);
        }
    }
    // An absurd organiser time is no reason to leave a file: it is copied, and nothing overflows.
    for (long t : {LONG_MAX, LONG_MIN, -2L, 253402300800L}) {
        EXPECT_FALSE(backupcopycurrent(t, 2000) || restoreorvelnewer(t, 2000)) << t;
    }
    EXPECT_FALSE(restoreorvelnewer(2000, LONG_MAX));
}
