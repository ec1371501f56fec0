#include "disk/drive_probe.h"

#include <cstdio>
#include <cstring>

#include "disk/nvme_probe.h"

namespace disk {

namespace {

using platform::BYTE;
using platform::DWORD;

constexpr DWORD kVersionOutputSize = sizeof(platform::GETVERSIONINPARAMS);  // 24
constexpr DWORD kEnableOutputSize = 17;    // SENDCMDOUTPARAMS without data
constexpr DWORD kIdentifyOutputSize = 528; // header and 512 data bytes
constexpr DWORD kPageOutputSize = 531;
constexpr DWORD kDataOffset = platform::kSendCmdOutHeaderSize;
constexpr std::uint32_t kSmartDataSize = 512;
constexpr int kPageEntries = 30;
constexpr int kPageEntrySize = 12;
constexpr int kPageFirstEntry = 2;  // after the structure revision
constexpr BYTE kDriveHead = 0xA0;

struct Registers {
    BYTE features, sectorCount, sectorNumber, cylLow, cylHigh, command;
};

constexpr Registers kEnable{platform::SMART_ENABLE_OPERATIONS, 1, 1, platform::SMART_CYL_LOW, platform::SMART_CYL_HI,
                            platform::ATA_SMART_CMD};
constexpr Registers kIdentify{0x00, 1, 1, 0x00, 0x00, platform::ATA_IDENTIFY_DEVICE};
constexpr Registers kReadValues{platform::SMART_READ_DATA, 1, 1, platform::SMART_CYL_LOW, platform::SMART_CYL_HI,
                                platform::ATA_SMART_CMD};
constexpr Registers kReadThresholds{platform::SMART_READ_THRESHOLDS, 1, 1, platform::SMART_CYL_LOW,
                                    platform::SMART_CYL_HI, platform::ATA_SMART_CMD};

// A zeroed 33-byte request for drive n with these registers.
platform::SENDCMDINPARAMS MakeRequest(int driveNumber, DWORD bufferSize, const Registers& regs) {
    platform::SENDCMDINPARAMS request;
    std::memset(&request, 0, sizeof request);
    request.cBufferSize = bufferSize;
    request.irDriveRegs.bFeaturesReg = regs.features;
    request.irDriveRegs.bSectorCountReg = regs.sectorCount;
    request.irDriveRegs.bSectorNumberReg = regs.sectorNumber;
    request.irDriveRegs.bCylLowReg = regs.cylLow;
    request.irDriveRegs.bCylHighReg = regs.cylHigh;
    request.irDriveRegs.bDriveHeadReg = kDriveHead;
    request.irDriveRegs.bCommandReg = regs.command;
    request.bDriveNumber = static_cast<BYTE>(driveNumber);
    return request;
}

bool Send(DriveAccess& access, platform::Handle handle, DWORD code, int driveNumber, DWORD bufferSize,
          const Registers& regs, std::uint8_t* out, DWORD outSize) {
    const platform::SENDCMDINPARAMS request = MakeRequest(driveNumber, bufferSize, regs);
    std::memset(out, 0, outSize);
    return access.SendSmart(handle, code, &request, sizeof request, out, outSize);
}

void ParseValuePage(DriveTable& table, int driveNumber, const std::uint8_t* data) {
    PhysicalDrive& drive = table.DriveAt(driveNumber);
    // The old slots are about to be reused, so drive n's old index entries must go too.
    table.ClearIndexOf(driveNumber);
    drive.attributeCount = 0;
    drive.number = static_cast<std::uint8_t>(driveNumber);
    for (int j = 0; j < kPageEntries; ++j) {
        const std::uint8_t* entry = data + kPageFirstEntry + kPageEntrySize * j;
        if (entry[0] == 0) continue;
        SmartAttribute& attribute = drive.attributes[drive.attributeCount];
        attribute.id = entry[0];
        attribute.current = entry[3];
        attribute.worst = entry[4];
        attribute.raw = static_cast<std::uint32_t>(entry[5]) + 256u * entry[6];
        std::memcpy(attribute.rawBytes.data(), entry + 5, attribute.rawBytes.size());
        attribute.threshold = -1;
        table.IndexAttribute(driveNumber, attribute.id, drive.attributeCount);
        ++drive.attributeCount;
    }
}

void PairThresholds(DriveTable& table, int driveNumber, const std::uint8_t* data) {
    for (int j = 0; j < kPageEntries; ++j) {
        const std::uint8_t* entry = data + kPageFirstEntry + kPageEntrySize * j;
        if (entry[0] == 0) continue;
        SmartAttribute* attribute = table.FindAttribute(driveNumber, entry[0]);
        if (attribute != nullptr) attribute->threshold = entry[1];
    }
}

// Steps 2 to 7 of the probe on an open handle; the caller closes it.
bool ProbeOpenDrive(DriveAccess& access, platform::Handle handle, DriveTable& table, int n) {
    PhysicalDrive& drive = table.DriveAt(n);

    platform::GETVERSIONINPARAMS version;
    std::memset(&version, 0, sizeof version);
    // A drive without the ATA pass-through may be an NVMe drive, whose health is a log page.
    if (!access.SendSmart(handle, platform::SMART_GET_VERSION, nullptr, 0, &version, kVersionOutputSize))
        return ProbeNvmeDrive(access, handle, table, n);
    drive.versionInfo = version;
    drive.transport = Transport::Ata;
    drive.nvmeHealthRead = false;
    if ((version.fCapabilities & platform::CAP_SMART_CMD) == 0) return true;

    std::uint8_t out[kPageOutputSize];
    if (!Send(access, handle, platform::SMART_SEND_DRIVE_COMMAND, n, 0, kEnable, out, kEnableOutputSize)) {
        char text[64];
        std::snprintf(text, sizeof text, "Error %d in reading SMART Enabled flag",
                      static_cast<int>(access.LastError()));
        drive.errorText = text;
        return true;
    }
    drive.errorText.clear();

    if (Send(access, handle, platform::SMART_RCV_DRIVE_DATA, n, kSmartDataSize, kIdentify, out, kIdentifyOutputSize)) {
        std::memcpy(drive.identify, out + kDataOffset, sizeof drive.identify);
        DecodeIdentifyText(drive.identify + kModelOffset, kModelWidth);
        DecodeIdentifyText(drive.identify + kSerialOffset, kSerialWidth);
        DecodeIdentifyText(drive.identify + kFirmwareOffset, kFirmwareWidth);
    }

    if (Send(access, handle, platform::SMART_RCV_DRIVE_DATA, n, kSmartDataSize, kReadValues, out, kPageOutputSize))
        ParseValuePage(table, n, out + kDataOffset);

    if (!Send(access, handle, platform::SMART_RCV_DRIVE_DATA, n, kSmartDataSize, kReadThresholds, out,
              kPageOutputSize))
        return false;
    PairThresholds(table, n, out + kDataOffset);
    return true;
}

}  // namespace

bool ProbeDrive(DriveAccess& access, DriveTable& table, int driveNumber) {
    if (driveNumber < 0 || driveNumber >= kDriveSlots) return false;
    const platform::Handle handle = access.OpenDrive(driveNumber, OpenProfile::Probe);
    if (handle == platform::kInvalidHandle) return false;
    const bool read = ProbeOpenDrive(access, handle, table, driveNumber);
    access.CloseDrive(handle);
    return read;
}

void EnumerateDrives(DriveAccess& access, DriveTable& table) {
    table.drivesRead = 0;
    table.fixedLettersSeen = 0;
    table.ClearIndex();
    table.ClearProbed();
    const std::uint32_t mask = access.LogicalDrives();
    // A and B would give negative drive numbers; they are never asked about.
    for (int p = 2; p < 32; ++p) {
        if ((mask & (1u << p)) == 0) continue;
        if (access.DriveType(static_cast<char>('A' + p)) != platform::DRIVE_FIXED) continue;
        if (ProbeDrive(access, table, p - 2)) {
            ++table.drivesRead;
            table.SetProbed(p - 2, true);
        }
        ++table.fixedLettersSeen;
    }
}

}  // namespace disk
