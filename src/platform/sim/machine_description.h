#pragma once
// The simulated machine file read into plain records, with every value checked. Unknown
// sections and keys, bad numbers and malformed lists are refused with "FILE:LINE: reason",
// so a typo never silently gives a healthy drive.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/limits.h"
#include "platform/sim/sector_set.h"
#include "platform/sim/self_test_keys.h"
#include "platform/win_types.h"

namespace platform::sim {

inline constexpr int kMaxDrives = platform::kDriveNumbers;
inline constexpr int kPageEntries = 30;
inline constexpr std::uint32_t kMaxPhysicalBytes = 65536;

enum class SmartSupport { Yes, NoCapability, None };

// The power mode an ATA drive starts in. A drive in standby answers CHECK POWER MODE with 00h
// and is spun up by anything else it is asked.
enum class PowerMode { Active, Idle, Standby };

// How an NVMe drive answers one of its two queries (identify, health log).
enum class NvmeAnswer { Ok, Error, Short, Garbage, Malformed };

inline constexpr int kNvmeHealthFields = 15;

struct AttributeSpec {
    bool present = false;
    BYTE id = 0;
    WORD flags = 0;
    BYTE current = 0;
    BYTE worst = 0;
    std::array<BYTE, 6> raw{};
};

struct ThresholdSpec {
    bool present = false;
    BYTE id = 0;
    BYTE threshold = 0;
};

// Reads touching first..last take `ms` longer (SlowRead = 5000-5099:120, 9000:700).
struct SlowRange {
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    std::uint64_t ms = 0;
    std::size_t line = 0;  // where it was given, for the check against Sectors
};

struct DriveSpec {
    int number = 0;
    std::size_t line = 0;  // of the section header
    std::uint64_t sectors = 0;
    std::string imagePath;  // resolved against the machine file's folder; empty: memory
    std::size_t imageLine = 0;
    bool hasGeometry = false;
    std::int64_t cylinders = 0;
    DWORD tracksPerCylinder = 0;
    DWORD sectorsPerTrack = 0;
    DWORD openError = 0;
    bool inUse = false;
    bool partialWrites = false;  // a failing write first writes the sectors before its unwritable one
    SmartSupport smart = SmartSupport::Yes;
    DWORD enableError = 0;
    std::string model = "VARIM SIMULATED DISK";
    std::string serial;  // empty: "SIM" and the drive number, e.g. SIM0003
    bool uncertainIdentity = false;  // named by place and size only, as a disk without serial or WWN
    std::string firmware = "1.0";
    std::string deviceName;  // the system's short name; empty: "sim" and the drive number
    std::uint64_t wwn = 0;   // World Wide Name in IDENTIFY words 108..111; 0: none reported
    PowerMode powerMode = PowerMode::Active;
    bool identifyFails = false;
    bool valuesFail = false;
    bool thresholdsFail = false;
    std::array<AttributeSpec, kPageEntries> attributes{};
    std::array<ThresholdSpec, kPageEntries> thresholds{};
    bool nvme = false;  // Transport = nvme: health through the NVMe queries, no ATA commands
    NvmeAnswer nvmeIdentify = NvmeAnswer::Ok;
    NvmeAnswer nvmeHealth = NvmeAnswer::Ok;
    // The health log's fields in log order (critical warning, temperature in Kelvin, spare,
    // spare threshold, percentage used, then the ten counters).
    std::array<std::uint64_t, kNvmeHealthFields> nvmeFields{0, 313, 100, 10};
    std::uint32_t nvmeWarningTempMinutes = 0;
    std::uint32_t nvmeCriticalTempMinutes = 0;
    std::array<std::uint16_t, 8> nvmeSensorsKelvin{};  // 0: no such sensor
    std::uint16_t nvmeWarningThresholdKelvin = 0;       // Identify Controller WCTEMP; 0: none
    std::uint16_t nvmeCriticalThresholdKelvin = 0;      // CCTEMP
    // Bytes the drive reads and writes as one (a power of two multiple of 512), and the
    // logical sectors before its first boundary (below physicalBytes / 512).
    std::uint32_t physicalBytes = 512;
    std::uint32_t alignmentSectors = 0;
    std::size_t alignmentLine = 0;
    SectorSet badRead;
    SectorSet badWrite;
    SectorSet pending;
    SectorSet weak;
    std::uint64_t latencyUs = 0;
    std::uint64_t latencyPerSectorUs = 0;
    std::vector<SlowRange> slowRead;
    SelfTestSpec selfTest;
};

struct LetterSpec {
    char letter = 'C';
    DWORD type = DRIVE_FIXED;
};

struct MachineDescription {
    bool hasLetters = false;
    std::vector<LetterSpec> letters;
    std::uint32_t versionMajor = 5;
    std::uint32_t versionMinor = 1;
    std::uint64_t crashAtWrite = 0;  // the process ends at this write of the run (0: never)
    std::vector<DriveSpec> drives;  // in file order
};

// The serial the drive reports: its Serial, else "SIM" and its number (SIM0003).
std::string reportedSerial(const DriveSpec& drive);

// The system's short name of the drive: its Device, else "sim" and its number (sim3).
std::string reportedDeviceName(const DriveSpec& drive);

// Parses description text. fileName prefixes error messages; baseDir resolves Image paths.
bool parseMachineDescription(std::string_view text, const std::string& baseDir, const std::string& fileName,
                             MachineDescription& machine, std::string& error);

// The largest drive the simulation accepts (byte offsets must fit 64 bits with room to spare).
inline constexpr std::uint64_t kMaxSectors = std::uint64_t{1} << 54;

}  // namespace platform::sim
