// The read speed test: what it reads, where, how it times it, and how the result reads.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "scan/speed_test.h"
#include "scan_rig.h"

namespace scantest {
namespace {

using ::testing::HasSubstr;

TEST(SpeedTest, ReadsTwoZonesOfAThousand512000ByteReadsAndWritesNothing) {
    ScanRig rig("", 3000000);
    rig.clock.step = 500000;  // each zone takes half a second of a 1 MHz counter
    scan::SpeedTest test(*rig.drives, rig.surface, rig.clock);
    const scan::SpeedResult result = test.Run(0, 2500000);

    ASSERT_TRUE(result.opened);
    EXPECT_EQ(result.zone2StartSector, 1000000u);
    const std::vector<Transfer> transfers = rig.Transfers();
    ASSERT_EQ(transfers.size(), 2000u);
    for (std::size_t i = 0; i < transfers.size(); ++i) {
        EXPECT_FALSE(transfers[i].write);
        EXPECT_EQ(transfers[i].sectors, 1000u);
        const std::uint64_t zoneStart = i < 1000 ? 0 : 1000000;
        EXPECT_EQ(transfers[i].sector, zoneStart + (i % 1000) * 1000) << i;
    }
    EXPECT_EQ(rig.surface.pumpSteps, 2000);
    EXPECT_DOUBLE_EQ(result.zone1Seconds, 0.5);
    EXPECT_DOUBLE_EQ(result.zone2Seconds, 0.5);
    EXPECT_DOUBLE_EQ(result.zone1MBps, 1024.0);
    EXPECT_DOUBLE_EQ(result.zone2MBps, 1024.0);
    EXPECT_EQ(rig.kernel->openHandleCount(), 0u);
    EXPECT_EQ(scan::FormatSpeedResult(result, 0),
              "Read speed of zone 1 (from sector 0): 1024.0 MB/s\n"
              "Read speed of zone 2 (from sector 1000000): 1024.0 MB/s");
}

TEST(SpeedTest, SecondZoneStartsAtTheDriveStartWhenTheEndSectorIsTooSmall) {
    EXPECT_EQ(scan::Zone2StartSector(0), 0u);
    EXPECT_EQ(scan::Zone2StartSector(1499999), 0u);
    EXPECT_EQ(scan::Zone2StartSector(1500000), 0u);
    EXPECT_EQ(scan::Zone2StartSector(1500001), 1u);
    EXPECT_EQ(scan::Zone2StartSector(4294968296 + 1500000), 4294968296u);
}

TEST(SpeedTest, FailedReadsCountButTheNextReadStartsAfterThem) {
    // An unreadable sector in the second read of each zone, and a drive end that cuts both zones
    // after 600 reads: every read still starts where the one before it was meant to end.
    ScanRig rig("BadRead = 1500\n", 600000);
    rig.clock.step = 1000000;
    scan::SpeedTest test(*rig.drives, rig.surface, rig.clock);
    const scan::SpeedResult result = test.Run(0, 0);
    const std::vector<Transfer> transfers = rig.Transfers();
    ASSERT_EQ(transfers.size(), 2000u);
    for (std::size_t i = 0; i < transfers.size(); ++i) {
        const std::uint64_t sector = (i % 1000) * 1000;
        EXPECT_EQ(transfers[i].sector, sector) << i;
        EXPECT_EQ(transfers[i].ok, sector != 1000 && sector < 600000) << i;
    }
    EXPECT_EQ(result.zone1Bytes, 599u * 512000u);
    EXPECT_EQ(result.zone2Bytes, 599u * 512000u);
    EXPECT_DOUBLE_EQ(result.zone1MBps, 599 * 0.512);
}

TEST(SpeedTest, DriveThatCannotBeOpenedIsNotReadAndSaysWhy) {
    ScanRig rig("OpenError = 5\n", 3000000);
    scan::SpeedTest test(*rig.drives, rig.surface, rig.clock);
    const scan::SpeedResult result = test.Run(0, 2000000);
    EXPECT_FALSE(result.opened);
    EXPECT_EQ(result.openError, 5u);
    EXPECT_TRUE(rig.Transfers().empty());
    EXPECT_EQ(rig.surface.pumpSteps, 0);
    EXPECT_THAT(scan::FormatSpeedResult(result, 0), HasSubstr("Cannot test the speed of Drive 0: access denied"));
}

}  // namespace
}  // namespace scantest
