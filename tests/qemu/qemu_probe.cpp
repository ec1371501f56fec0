// Runs inside the QEMU guest: opens \\.\PHYSICALDRIVE0 through LinuxKernel, sends the
// S.M.A.R.T. requests the drive layer sends, reads a few sectors, and prints what came back
// one fact per line for qemu_check.sh to compare with smartctl.
//   qemu_probe [BAD_SECTOR]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/linux/linux_kernel.h"
#include "platform/linux/smart_requests.h"

using namespace platform;

namespace {

std::vector<std::uint8_t> commandInput(BYTE features, BYTE count, BYTE number, BYTE command) {
    SENDCMDINPARAMS in{};
    in.cBufferSize = 512;
    in.irDriveRegs = {features, count, number, SMART_CYL_LOW, SMART_CYL_HI, 0xA0, command, 0};
    std::vector<std::uint8_t> bytes(sizeof in);
    std::memcpy(bytes.data(), &in, sizeof in);
    return bytes;
}

struct Answer {
    bool ok;
    DWORD error;
    SENDCMDOUTPARAMS_HEADER header;
    std::vector<std::uint8_t> data;
};

Answer send(Kernel& kernel, Handle h, DWORD code, const std::vector<std::uint8_t>& in, DWORD outSize) {
    std::vector<std::uint8_t> out(outSize, 0xCC);
    DWORD returned = 0;
    Answer a{};
    a.ok = kernel.deviceIoControl(h, code, in.data(), static_cast<DWORD>(in.size()), out.data(), outSize, &returned);
    a.error = a.ok ? 0 : kernel.getLastError();
    std::memcpy(&a.header, out.data(), sizeof a.header);
    a.data.assign(out.begin() + 16, out.end());
    return a;
}

void printResult(const char* what, const Answer& a) {
    if (a.ok)
        std::printf("%s ok\n", what);
    else
        std::printf("%s fail %u driver %u ide %02x\n", what, a.error, a.header.DriverStatus.bDriverError,
                    a.header.DriverStatus.bIDEError);
}

std::string identifyText(const std::uint8_t* id, int offset, int width) {
    std::string text;
    for (int k = 0; k < width; k += 2) {
        text += static_cast<char>(id[offset + k + 1]);
        text += static_cast<char>(id[offset + k]);
    }
    const auto first = text.find_first_not_of(' ');
    const auto last = text.find_last_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

const char* readSector(Kernel& kernel, Handle h, std::uint64_t sector, DWORD& error) {
    static std::uint8_t buffer[512];
    std::int32_t high = static_cast<std::int32_t>((sector * 512) >> 32);
    kernel.setFilePointer(h, static_cast<std::int32_t>((sector * 512) & 0xFFFFFFFFu), &high, FILE_BEGIN);
    DWORD moved = 0;
    const bool ok = kernel.readFile(h, buffer, 512, &moved);
    error = ok ? 0 : kernel.getLastError();
    return ok ? "ok" : "fail";
}

}  // namespace

int main(int argc, char** argv) {
    platform::linux::LinuxKernel kernel;
    std::printf("drives 0x%08x C:%u\n", kernel.getLogicalDrives(), kernel.getDriveType("C:\\"));
    const Handle h = kernel.createFile("\\\\.\\PHYSICALDRIVE0", GENERIC_READ | GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_SYSTEM);
    if (h == kInvalidHandle) {
        std::printf("open fail %u\n", kernel.getLastError());
        return 1;
    }
    std::printf("open ok %s\n", kernel.devicePathOf(h).c_str());

    GETVERSIONINPARAMS version{};
    DWORD returned = 0;
    if (kernel.deviceIoControl(h, SMART_GET_VERSION, nullptr, 0, &version, sizeof version, &returned))
        std::printf("version ok %u.%u map %u caps %u\n", version.bVersion, version.bRevision, version.bIDEDeviceMap,
                    version.fCapabilities);
    else
        std::printf("version fail %u\n", kernel.getLastError());

    printResult("enable", send(kernel, h, SMART_SEND_DRIVE_COMMAND,
                               commandInput(SMART_ENABLE_OPERATIONS, 1, 1, ATA_SMART_CMD), 17));

    const Answer identify = send(kernel, h, SMART_RCV_DRIVE_DATA, commandInput(0, 1, 1, ATA_IDENTIFY_DEVICE), 528);
    printResult("identify", identify);
    if (identify.ok) {
        std::printf("model %s\n", identifyText(identify.data.data(), 54, 40).c_str());
        std::printf("serial %s\n", identifyText(identify.data.data(), 20, 20).c_str());
        std::printf("firmware %s\n", identifyText(identify.data.data(), 46, 8).c_str());
    }

    const Answer values = send(kernel, h, SMART_RCV_DRIVE_DATA,
                               commandInput(SMART_READ_DATA, 1, 1, ATA_SMART_CMD), 531);
    printResult("values", values);
    std::printf("values size %u\n", values.header.cBufferSize);
    for (int j = 0; values.ok && j < 30; ++j) {
        const std::uint8_t* e = values.data.data() + 2 + 12 * j;
        if (e[0] != 0) std::printf("attr %u %u %u %u\n", e[0], e[3], e[4], e[5] + 256u * e[6]);
    }
    const Answer thresholds = send(kernel, h, SMART_RCV_DRIVE_DATA,
                                   commandInput(SMART_READ_THRESHOLDS, 1, 1, ATA_SMART_CMD), 531);
    printResult("thresholds", thresholds);
    for (int j = 0; thresholds.ok && j < 30; ++j) {
        const std::uint8_t* e = thresholds.data.data() + 2 + 12 * j;
        if (e[0] != 0) std::printf("thresh %u %u\n", e[0], e[1]);
    }

    // S.M.A.R.T. features the program never sends are refused before they reach the drive,
    // also those that only read (RETURN STATUS, READ LOG).
    printResult("status", send(kernel, h, SMART_SEND_DRIVE_COMMAND, commandInput(0xDA, 0, 0, ATA_SMART_CMD), 24));
    printResult("readlog80", send(kernel, h, SMART_RCV_DRIVE_DATA, commandInput(0xD5, 1, 0x80, ATA_SMART_CMD), 528));
    // A command that would move sector data is never passed through.
    printResult("readsectors", send(kernel, h, SMART_RCV_DRIVE_DATA, commandInput(0, 1, 0, 0x20), 528));
    // CHECK POWER MODE reaches the drive and its registers come back: the count is the mode.
    const Answer power = send(kernel, h, SMART_SEND_DRIVE_COMMAND, commandInput(0, 0, 0, ATA_CHECK_POWER_MODE), 24);
    if (power.ok)
        std::printf("power ok bytes %u count %02x\n", power.header.cBufferSize, power.data[1]);
    else
        printResult("power", power);

    DISK_GEOMETRY geometry{};
    if (kernel.deviceIoControl(h, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, &geometry, sizeof geometry, &returned))
        std::printf("sectors %lld\n",
                    static_cast<long long>(geometry.Cylinders * geometry.TracksPerCylinder * geometry.SectorsPerTrack));
    DWORD error = 0;
    std::printf("read 0 %s %u\n", readSector(kernel, h, 0, error), error);
    if (argc > 1) {
        const std::uint64_t bad = std::strtoull(argv[1], nullptr, 10);
        const char* before = readSector(kernel, h, bad - 1, error);
        std::printf("read bad-1 %s %u\n", before, error);
        const char* at = readSector(kernel, h, bad, error);
        std::printf("read bad %s %u\n", at, error);
    }
    std::string reason;
    const bool claimed = kernel.claimForWriting(h, reason);
    std::printf("claim %s %s\n", claimed ? "ok" : "fail", reason.c_str());
    kernel.closeHandle(h);
    return 0;
}
