// An NVMe drive's health from the simulated kernel through the probe to the panels: good logs,
// failing logs, and answers that are short, malformed, garbage or errors. None may crash and
// none may leave a healthy-looking drive (least of all the previous probe's health).
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "app/indicators.h"
#include "disk/drive_probe.h"
#include "platform/sim/simulated_kernel.h"
#include "platform/storage_query.h"

namespace {

enum class Shown { Ok, Bad, Nothing };

struct Case {
    const char* name;
    const char* keys;  // extra lines of [Drive0]
    bool probed;       // the drive counts as read
    bool healthRead;
    Shown status;
    const char* celsius;  // expected Celsius text when shown
    int temperatureAlarm;
};

const Case kCases[] = {
    {"healthy", "", true, true, Shown::Ok, "40 \xB0 C", 0},
    {"hot", "Nvme.TemperatureKelvin = 329\n", true, true, Shown::Ok, "56 \xB0 C", 1},
    {"critical warning bit", "Nvme.CriticalWarning = 4\n", true, true, Shown::Bad, "40 \xB0 C", 0},
    {"spare below threshold", "Nvme.AvailableSpare = 9\nNvme.AvailableSpareThreshold = 10\n", true, true, Shown::Bad,
     "40 \xB0 C", 0},
    {"spare at threshold", "Nvme.AvailableSpare = 0\nNvme.AvailableSpareThreshold = 0\n", true, true, Shown::Ok,
     "40 \xB0 C", 0},
    {"worn 99", "Nvme.PercentageUsed = 99\n", true, true, Shown::Ok, "40 \xB0 C", 0},
    {"worn 100", "Nvme.PercentageUsed = 100\n", true, true, Shown::Bad, "40 \xB0 C", 0},
    {"media error", "Nvme.MediaErrors = 1\n", true, true, Shown::Bad, "40 \xB0 C", 0},
    {"no temperature", "Nvme.TemperatureKelvin = 0\n", true, true, Shown::Bad, "", 0},
    {"spare above 100", "Nvme.AvailableSpare = 101\n", true, true, Shown::Bad, "40 \xB0 C", 0},
    {"garbage log", "NvmeHealth = garbage\n", true, true, Shown::Bad, "", 0},
    {"log error", "NvmeHealth = error\n", true, false, Shown::Nothing, "", 0},
    {"short log", "NvmeHealth = short\n", true, false, Shown::Nothing, "", 0},
    {"malformed log", "NvmeHealth = malformed\n", true, false, Shown::Nothing, "", 0},
    {"identify error", "NvmeIdentify = error\n", false, false, Shown::Nothing, "", 0},
    {"short identify", "NvmeIdentify = short\n", false, false, Shown::Nothing, "", 0},
    {"malformed identify", "NvmeIdentify = malformed\n", false, false, Shown::Nothing, "", 0},
};

TEST(NvmeHealth, EveryAnswerGivesTheRightVerdictAndNeverAStaleHealthyOne) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        std::string error;
        auto kernel = platform::sim::SimulatedKernel::fromText(
            std::string("[Drive0]\nSectors = 1000\nTransport = nvme\nModel = NV TEST\nSerial = NV-1\n") + c.keys,
            "/nonexistent", "machine.ini", error);
        ASSERT_TRUE(kernel) << error;
        disk::DriveAccess access(*kernel);
        disk::DriveTable table("/nonexistent/varim-test");
        // What an earlier probe left: a healthy NVMe drive.
        disk::PhysicalDrive& record = table.DriveAt(0);
        record.transport = disk::Transport::Nvme;
        record.nvmeHealthRead = true;
        record.nvme.temperatureKelvin = 300;
        record.nvme.availableSpare = 100;

        EXPECT_EQ(disk::ProbeDrive(access, table, 0), c.probed);
        EXPECT_EQ(record.nvmeHealthRead, c.healthRead);
        if (c.probed) {
            EXPECT_EQ(record.model(), "NV TEST");
            EXPECT_EQ(record.serial(), "NV-1");
            EXPECT_EQ(record.attributeCount, 0);
            EXPECT_EQ(record.errorText.empty(), c.healthRead);
        }

        app::IndicatorState previous;
        previous.statusText = "previous";
        const app::IndicatorPaint paint = app::EvaluateIndicators(table, 0, previous);
        if (c.status == Shown::Nothing) {
            EXPECT_FALSE(paint.drawValues);
            EXPECT_EQ(paint.state.statusText, "previous");
            continue;
        }
        ASSERT_TRUE(paint.drawValues);
        EXPECT_EQ(paint.state.statusText, c.status == Shown::Ok ? "OK" : "Bad");
        EXPECT_EQ(paint.state.backupAlarm, c.status == Shown::Bad ? 1 : 0);
        EXPECT_EQ(paint.state.celsiusText, c.celsius);
        EXPECT_EQ(paint.state.temperatureAlarm, c.temperatureAlarm);
    }
}

// The two queries in the published layout: property, protocol, data type, request value and
// a buffer with room for the whole answer.
TEST(NvmeHealth, QueriesCarryTheStoragePropertyLayout) {
    std::string error;
    auto kernel = platform::sim::SimulatedKernel::fromText("[Drive0]\nSectors = 1000\nTransport = nvme\n", "/nonexistent",
                                                           "machine.ini", error);
    ASSERT_TRUE(kernel) << error;
    disk::DriveAccess access(*kernel);
    disk::DriveTable table("/nonexistent/varim-test");
    ASSERT_TRUE(disk::ProbeDrive(access, table, 0));
    struct Expected {
        platform::DWORD property, dataType, value, bytes;
    };
    const Expected expected[] = {
        {platform::StorageAdapterProtocolSpecificProperty, platform::NVMeDataTypeIdentify, 1, 48 + 4096},
        {platform::StorageDeviceProtocolSpecificProperty, platform::NVMeDataTypeLogPage, 2, 48 + 512},
    };
    int seen = 0;
    for (const auto& call : kernel->calls()) {
        if (call.ioctlCode != platform::IOCTL_STORAGE_QUERY_PROPERTY) continue;
        ASSERT_LT(seen, 2);
        const Expected& e = expected[seen++];
        ASSERT_EQ(call.input.size(), e.bytes);
        EXPECT_EQ(call.bytes, e.bytes);
        platform::DWORD words[8];
        std::memcpy(words, call.input.data(), sizeof words);
        EXPECT_EQ(words[0], e.property);
        EXPECT_EQ(words[1], platform::PropertyStandardQuery);
        EXPECT_EQ(words[2], platform::ProtocolTypeNvme);
        EXPECT_EQ(words[3], e.dataType);
        EXPECT_EQ(words[4], e.value);
        EXPECT_EQ(words[6], 40u);  // data right after the protocol data
        EXPECT_EQ(words[7], e.bytes - 48);
    }
    EXPECT_EQ(seen, 2);
}

}  // namespace
