#pragma once
// Byte-exact layouts and constants of the Windows storage requests this program speaks.
// The drive layer builds and parses these buffers; both kernels (Linux and simulated)
// answer them, so the layouts must match the published ones to the byte.
#include <cstdint>

namespace platform {

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;

#pragma pack(push, 1)
struct GETVERSIONINPARAMS {
    BYTE bVersion;
    BYTE bRevision;
    BYTE bReserved;
    BYTE bIDEDeviceMap;
    DWORD fCapabilities;
    DWORD dwReserved[4];
};

struct IDEREGS {
    BYTE bFeaturesReg;
    BYTE bSectorCountReg;
    BYTE bSectorNumberReg;
    BYTE bCylLowReg;
    BYTE bCylHighReg;
    BYTE bDriveHeadReg;
    BYTE bCommandReg;
    BYTE bReserved;
};

struct SENDCMDINPARAMS {
    DWORD cBufferSize;
    IDEREGS irDriveRegs;
    BYTE bDriveNumber;
    BYTE bReserved[3];
    DWORD dwReserved[4];
    BYTE bBuffer[1];
};

struct DRIVERSTATUS {
    BYTE bDriverError;
    BYTE bIDEError;
    BYTE bReserved[2];
    DWORD dwReserved[2];
};

// Header of SENDCMDOUTPARAMS; the data follows at byte 16.
struct SENDCMDOUTPARAMS_HEADER {
    DWORD cBufferSize;
    DRIVERSTATUS DriverStatus;
};
#pragma pack(pop)

struct DISK_GEOMETRY {
    std::int64_t Cylinders;
    DWORD MediaType;
    DWORD TracksPerCylinder;
    DWORD SectorsPerTrack;
    DWORD BytesPerSector;
};

static_assert(sizeof(GETVERSIONINPARAMS) == 24);
static_assert(sizeof(IDEREGS) == 8);
static_assert(sizeof(SENDCMDINPARAMS) == 33);
static_assert(sizeof(DRIVERSTATUS) == 12);
static_assert(sizeof(SENDCMDOUTPARAMS_HEADER) == 16);
static_assert(sizeof(DISK_GEOMETRY) == 24);

inline constexpr DWORD kSendCmdOutHeaderSize = 16;

// IOCTL codes.
inline constexpr DWORD SMART_GET_VERSION = 0x00074080;
inline constexpr DWORD SMART_SEND_DRIVE_COMMAND = 0x0007C084;
inline constexpr DWORD SMART_RCV_DRIVE_DATA = 0x0007C088;
inline constexpr DWORD IOCTL_DISK_GET_DRIVE_GEOMETRY = 0x00070000;

// GETVERSIONINPARAMS.fCapabilities bits.
inline constexpr DWORD CAP_ATA_ID_CMD = 1;
inline constexpr DWORD CAP_ATAPI_ID_CMD = 2;
inline constexpr DWORD CAP_SMART_CMD = 4;

// ATA command and S.M.A.R.T. feature values carried in IDEREGS.
inline constexpr BYTE ATA_SMART_CMD = 0xB0;
inline constexpr BYTE ATA_IDENTIFY_DEVICE = 0xEC;
// CHECK POWER MODE: the only command a drive in standby answers without spinning up. Sent with
// SMART_SEND_DRIVE_COMMAND; the output's data is the IDEREGS the drive returned, whose sector
// count is the power mode (00h standby, 01h standby_y, 80h..83h idle, FFh active or idle).
inline constexpr BYTE ATA_CHECK_POWER_MODE = 0xE5;
inline constexpr BYTE SMART_READ_DATA = 0xD0;
inline constexpr BYTE SMART_READ_THRESHOLDS = 0xD1;
inline constexpr BYTE SMART_ENABLE_OPERATIONS = 0xD8;
inline constexpr BYTE SMART_EXECUTE_OFFLINE_IMMEDIATE = 0xD4;  // subcommand in the LBA low register
inline constexpr BYTE SMART_READ_LOG = 0xD5;                   // log address in LBA low, sectors in count
// EXECUTE OFF-LINE IMMEDIATE subcommands: the self-tests run in off-line mode, and the abort.
inline constexpr BYTE SMART_SHORT_SELFTEST_OFFLINE = 1;
inline constexpr BYTE SMART_EXTENDED_SELFTEST_OFFLINE = 2;
inline constexpr BYTE SMART_CONVEYANCE_SELFTEST_OFFLINE = 3;
inline constexpr BYTE SMART_ABORT_SELFTEST = 127;
// The two S.M.A.R.T. logs this program reads, one 512-byte sector each.
inline constexpr BYTE SMART_SUMMARY_ERROR_LOG = 0x01;
inline constexpr BYTE SMART_SELFTEST_LOG = 0x06;
inline constexpr BYTE SMART_CYL_LOW = 0x4F;
inline constexpr BYTE SMART_CYL_HI = 0xC2;

// GetDriveTypeA answers.
inline constexpr DWORD DRIVE_UNKNOWN = 0;
inline constexpr DWORD DRIVE_NO_ROOT_DIR = 1;
inline constexpr DWORD DRIVE_REMOVABLE = 2;
inline constexpr DWORD DRIVE_FIXED = 3;
inline constexpr DWORD DRIVE_REMOTE = 4;
inline constexpr DWORD DRIVE_CDROM = 5;
inline constexpr DWORD DRIVE_RAMDISK = 6;

// CreateFileA arguments.
inline constexpr DWORD GENERIC_READ = 0x80000000u;
inline constexpr DWORD GENERIC_WRITE = 0x40000000u;
inline constexpr DWORD FILE_SHARE_READ = 0x1;
inline constexpr DWORD FILE_SHARE_WRITE = 0x2;
inline constexpr DWORD OPEN_EXISTING = 3;
inline constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x4;
inline constexpr DWORD FILE_FLAG_NO_BUFFERING = 0x20000000u;

// SetFilePointer.
inline constexpr DWORD FILE_BEGIN = 0;
inline constexpr DWORD FILE_CURRENT = 1;
inline constexpr DWORD FILE_END = 2;
inline constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFFu;

// Windows error codes the callers see.
inline constexpr DWORD ERROR_SUCCESS = 0;
inline constexpr DWORD ERROR_INVALID_FUNCTION = 1;
inline constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
inline constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
inline constexpr DWORD ERROR_ACCESS_DENIED = 5;
inline constexpr DWORD ERROR_INVALID_HANDLE = 6;
inline constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr DWORD ERROR_NOT_READY = 21;
inline constexpr DWORD ERROR_CRC = 23;
inline constexpr DWORD ERROR_SECTOR_NOT_FOUND = 27;
inline constexpr DWORD ERROR_WRITE_FAULT = 29;
inline constexpr DWORD ERROR_READ_FAULT = 30;
inline constexpr DWORD ERROR_GEN_FAILURE = 31;
inline constexpr DWORD ERROR_SHARING_VIOLATION = 32;
inline constexpr DWORD ERROR_HANDLE_EOF = 38;
inline constexpr DWORD ERROR_NOT_SUPPORTED = 50;
inline constexpr DWORD ERROR_DEV_NOT_EXIST = 55;
inline constexpr DWORD ERROR_INVALID_PARAMETER = 87;
inline constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr DWORD ERROR_NEGATIVE_SEEK = 131;
inline constexpr DWORD ERROR_BUSY = 170;
inline constexpr DWORD ERROR_IO_DEVICE = 1117;

// Message box types and answers.
inline constexpr DWORD MB_OK = 0x0;
inline constexpr DWORD MB_YESNO = 0x4;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

}  // namespace platform
