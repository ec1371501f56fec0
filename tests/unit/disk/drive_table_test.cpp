// The drive table as a store: a new table, its settings, and the attribute index.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "disk/drive_table.h"

namespace {

namespace fs = std::filesystem;

TEST(DriveTable, NewTableIsEmptyAndHasItsSettingsLoaded) {
    const fs::path dir = fs::temp_directory_path() / "varim_drive_table_test";
    fs::create_directories(dir);
    {
        std::ofstream ini(dir / "repair.ini");
        ini << "[General]\nMax Attributes=1\n[Attrib0]\nId=194\nCritical=1\nName=Heat\n";
    }
    const disk::DriveTable table((dir / "repair.exe").string());
    fs::remove_all(dir);

    EXPECT_EQ(table.drivesRead, 0);
    EXPECT_EQ(table.fixedLettersSeen, 0);
    for (int n = 0; n < disk::kDriveSlots; ++n) {
        EXPECT_EQ(table.DriveAt(n).attributeCount, 0);
        EXPECT_EQ(table.DriveAt(n).model(), "");
        EXPECT_EQ(table.DriveAt(n).errorText, "");
        EXPECT_EQ(table.FindAttribute(n, 194), nullptr);
    }
    ASSERT_NE(table.settings().FindSetting(194), nullptr);
    EXPECT_EQ(table.settings().FindSetting(194)->name, "Heat");
}

TEST(DriveTable, IndexKeysSeparateDrivesAndSurviveCopies) {
    disk::DriveTable table("/nonexistent/varim-test");
    for (int n : {0, 1, 31}) {
        disk::PhysicalDrive& drive = table.DriveAt(n);
        drive.attributes[0] = {5, static_cast<std::uint32_t>(n), 100, 100, -1};
        drive.attributes[1] = {194, 30, 100, 100, -1};
        drive.attributeCount = 2;
        table.IndexAttribute(n, 5, 0);
        table.IndexAttribute(n, 194, 1);
    }
    table.IndexAttribute(32, 5, 0);  // ignored: no such drive
    table.IndexAttribute(0, 9, 30);  // ignored: no such slot
    EXPECT_EQ(table.FindAttribute(0, 9), nullptr);
    EXPECT_EQ(table.FindAttribute(31, 5)->raw, 31u);

    table.ClearIndexOf(1);
    EXPECT_EQ(table.FindAttribute(1, 5), nullptr);
    EXPECT_EQ(table.FindAttribute(1, 194), nullptr);
    EXPECT_NE(table.FindAttribute(0, 194), nullptr);
    EXPECT_NE(table.FindAttribute(31, 5), nullptr);

    const disk::DriveTable copy = table;
    EXPECT_EQ(copy.FindAttribute(31, 5), &copy.DriveAt(31).attributes[0]);

    table.ClearIndex();
    EXPECT_EQ(table.FindAttribute(0, 5), nullptr);
    EXPECT_NE(copy.FindAttribute(0, 5), nullptr);
}

}  // namespace
