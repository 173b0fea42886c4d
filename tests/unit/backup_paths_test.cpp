// The path rules of backup and restore: organiser paths to workstation paths and back, the
// normalised organiser root, and the ten-minute margin of the incremental runs.
#include <gtest/gtest.h>

#include <string>

#include "backuprules.h"
#include "ovbackup.h"

TEST(BackupPathTest, BackupMapsRootAndChildren) {
    EXPECT_EQ(backupbuildpath("m:\\docs", "/home/u/bk", "m:\\docs"), "/home/u/bk");
    EXPECT_EQ(backupbuildpath("m:\\docs\\notes.txt", "/home/u/bk", "m:\\docs"),
              "/home/u/bk/notes.txt");
}

TEST(BackupPathTest, BackupTurnsDollarIntoS) {
    EXPECT_EQ(backupbuildpath("m:\\docs\\sub\\$tmp.dat", "/home/u/bk", "m:\\docs"),
              "/home/u/bk/sub/Stmp.dat");
    EXPECT_EQ(backupbuildpath("m:\\$data.dbf", "/b", "m:"), "/b/Sdata.dbf");
}

TEST(BackupPathTest, BackupKeepsBlanksAndShellCharacters) {
    EXPECT_EQ(backupbuildpath("m:\\x\\a b;c$d.txt", "/t/bk", "m:\\x"), "/t/bk/a b;cSd.txt");
}

TEST(BackupPathTest, BackupOfBareDeviceRoot) {
    EXPECT_EQ(backupbuildpath("m:\\a\\b", "/bk", "m:"), "/bk/a/b");
}

TEST(BackupPathTest, RestoreMapsRootAndChildren) {
    EXPECT_EQ(restorebuildpath("/home/u/bk", "m:\\docs", "/home/u/bk"), "m:\\docs");
    EXPECT_EQ(restorebuildpath("/home/u/bk/notes.txt", "m:\\docs", "/home/u/bk"),
              "m:\\docs\\notes.txt");
}

TEST(BackupPathTest, RestoreTurnsUpperSIntoDollar) {
    EXPECT_EQ(restorebuildpath("/home/u/bk/sub/Stmp.dat", "m:\\docs", "/home/u/bk"),
              "m:\\docs\\sub\\$tmp.dat");
    EXPECT_EQ(restorebuildpath("/r/Sales.txt", "m:", "/r"), "m:\\$ales.txt");
    EXPECT_EQ(restorebuildpath("/r/sales.txt", "m:", "/r"), "m:\\sales.txt");
}

TEST(BackupPathTest, RestoreUndoesBackup) {
    const std::string orvel = "m:\\docs\\sub dir\\$a;b.txt";
    std::string host = backupbuildpath(orvel, "/w/bk", "m:\\docs");
    EXPECT_EQ(restorebuildpath(host, "m:\\docs", "/w/bk"), orvel);
}

TEST(BackupPathTest, CommonPrefixStopsAtFirstDifference) {
    EXPECT_EQ(commonprefixlength("m:\\docs\\a", "m:\\docs"), 7u);
    EXPECT_EQ(commonprefixlength("m:\\dx", "m:\\docs"), 4u);
    EXPECT_EQ(commonprefixlength("", "m:"), 0u);
    EXPECT_EQ(commonprefixlength("m:", ""), 0u);
}

TEST(BackupPathTest, TrailingBackslashOfRootIsDropped) {
    EXPECT_EQ(trimorvelroot("m:\\docs\\"), "m:\\docs");
    EXPECT_EQ(trimorvelroot("m:\\docs"), "m:\\docs");
    EXPECT_EQ(trimorvelroot("m:\\"), "m:");
    EXPECT_EQ(trimorvelroot("m:"), "m:");
    EXPECT_EQ(trimorvelroot("M:\\Docs\\\\"), "M:\\Docs");
}

TEST(BackupTimeTest, BackupKeepsCopyMoreThanTenMinutesNewer) {
    EXPECT_TRUE(backupcopycurrent(1000, 1601));
    EXPECT_FALSE(backupcopycurrent(1000, 1600));  // exactly 600 newer: fetched again
    EXPECT_FALSE(backupcopycurrent(1000, 1000));
    EXPECT_FALSE(backupcopycurrent(2000, 1000));
}

TEST(BackupTimeTest, UnknownOrganiserTimeCountsAsVeryOld) {
    EXPECT_TRUE(backupcopycurrent(-1, 600));
    EXPECT_FALSE(backupcopycurrent(-1, 599));
}

TEST(BackupTimeTest, RestoreKeepsOrganiserCopyMoreThanTenMinutesNewer) {
    EXPECT_TRUE(restoreorvelnewer(1601, 1000));
    EXPECT_FALSE(restoreorvelnewer(1600, 1000));  // exactly 600 newer: sent again
    EXPECT_FALSE(restoreorvelnewer(1000, 1000));
    EXPECT_FALSE(restoreorvelnewer(1000, 2000));
}
