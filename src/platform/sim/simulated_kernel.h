#pragma once
// A whole simulated machine (drive letters, up to 50 physical drives with sectors, S.M.A.R.T.
// answers and surface faults) built from a machine description file. Every call is logged so
// tests can check exactly what was sent.
//
// Answers as a Windows kernel would give them: a successful call sets the last error to 0;
// unknown paths fail with ERROR_FILE_NOT_FOUND, unknown handles with ERROR_INVALID_HANDLE,
// transfers that are not whole sectors with ERROR_INVALID_PARAMETER, transfers past the last
// sector with ERROR_SECTOR_NOT_FOUND (nothing moved), faulty sectors with ERROR_CRC, I/O on a
// drive made absent with ERROR_NOT_READY, S.M.A.R.T. commands the drive rejects with
// ERROR_IO_DEVICE (DRIVERSTATUS reporting the abort), requests without S.M.A.R.T. support with
// ERROR_INVALID_FUNCTION and too small outputs with ERROR_INSUFFICIENT_BUFFER.
// IDENTIFY texts when the description gives none: model "VARIM SIMULATED DISK", serial
// "SIM" and the drive number in four digits (SIM0000), firmware "1.0".
// Calls are serialised by an internal lock; the last error is the machine's, not per thread.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/kernel.h"
#include "platform/system.h"

namespace platform::sim {

struct CallRecord {
    std::string operation;           // "createFile", "setFilePointer", "readFile", "writeFile",
                                     // "deviceIoControl", "closeHandle", "getLogicalDrives",
                                     // "getDriveType", "claimForWriting", "flushFileBuffers",
                                     // "driveIdentity", "isListedDevice",
                                     // "deviceName", and "wakeUp" just before the call
                                     // that spun up a drive in standby
    Handle handle = kInvalidHandle;  // the handle used, or returned by createFile
    std::string path;                // createFile path, getDriveType root
    DWORD desiredAccess = 0;
    DWORD shareMode = 0;
    bool hasSecurityAttributes = false;
    DWORD securityLength = 0;
    bool inheritHandle = false;
    DWORD creationDisposition = 0;
    DWORD flagsAndAttributes = 0;
    std::uint64_t offset = 0;       // setFilePointer: the new position; read/write: where it started
    std::int32_t distanceLow = 0;   // setFilePointer arguments as passed
    std::int32_t distanceHigh = 0;  // (0 when no high pointer was given)
    bool hadHighPointer = false;
    DWORD moveMethod = 0;
    DWORD bytes = 0;  // read/write byte count; deviceIoControl output size offered
    DWORD ioctlCode = 0;
    std::vector<std::uint8_t> input;  // deviceIoControl input bytes; writeFile data is not kept
    bool result = false;
    DWORD error = 0;  // the last error after the call (0 on success)
};

class SimulatedKernel final : public Kernel, public OsVersion {
  public:
    // Builds a machine from description text. baseDir resolves relative Image paths.
    // Returns nothing and sets error ("FILE:LINE: what is wrong") for an invalid description.
    static std::unique_ptr<SimulatedKernel> fromText(std::string_view text, const std::string& baseDir,
                                                     const std::string& fileName, std::string& error);
    // Reads and builds from a file; error names the file (and line) on failure.
    static std::unique_ptr<SimulatedKernel> fromFile(const std::string& path, std::string& error);
    ~SimulatedKernel() override;

    // Kernel
    Handle createFile(std::string_view path, DWORD desiredAccess, DWORD shareMode,
                      const SecurityAttributes* security, DWORD creationDisposition,
                      DWORD flagsAndAttributes) override;
    DWORD setFilePointer(Handle handle, std::int32_t distanceLow, std::int32_t* distanceHigh,
                         DWORD moveMethod) override;
    bool readFile(Handle handle, void* buffer, DWORD bytes, DWORD* transferred) override;
    bool writeFile(Handle handle, const void* buffer, DWORD bytes, DWORD* transferred) override;
    bool deviceIoControl(Handle handle, DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                         DWORD* returned) override;
    bool closeHandle(Handle handle) override;
    DWORD getLastError() const override;
    DWORD getLogicalDrives() override;
    DWORD getDriveType(std::string_view root) override;
    bool claimForWriting(Handle handle, std::string& reason) override;
    bool flushFileBuffers(Handle handle) override;
    // "simulated drive N, model M, serial S, X sectors", and ", replaced G times" once
    // replaceDrive has put another disk in its place: the machine file keeps its own journal, so
    // these name a drive well enough among its neighbours.
    bool driveIdentity(Handle handle, std::string& identity) override;
    // False (ERROR_DEV_NOT_EXIST) once replaceDrive put another disk in the drive's place.
    bool isListedDevice(Handle handle) override;
    // The drive's Device key, else "sim" and its number.
    bool deviceName(Handle handle, std::string& name) override;

    // OsVersion: the machine's Version key (5.1 when absent).
    std::uint32_t getVersion() override;

    // The call log, oldest first.
    const std::vector<CallRecord>& calls() const;
    void clearCalls();
    // Turns logging off (benchmarks); on by default.
    void setLogging(bool on);
    // Open handles right now (a test checks nothing leaks).
    std::size_t openHandleCount() const;

    // Direct access for tests, bypassing faults and the log. drive is the PHYSICALDRIVE number.
    // peekSectors returns only the sectors that exist (empty for an unknown drive); pokeSectors
    // writes whole sectors from lba, ignoring what lies past the drive's end.
    bool hasDrive(int drive) const;
    std::uint64_t sectorCount(int drive) const;
    std::vector<std::uint8_t> peekSectors(int drive, std::uint64_t lba, std::uint32_t count) const;
    void pokeSectors(int drive, std::uint64_t lba, const std::vector<std::uint8_t>& data);
    // Makes a drive disappear (opens then fail with ERROR_FILE_NOT_FOUND) or come back.
    void setDrivePresent(int drive, bool present);
    // Puts another disk in the drive's place, as a disk swapped while the program runs: the
    // same sectors and answers, but no longer the disk the drive number was listed with.
    void replaceDrive(int drive);

  private:
    SimulatedKernel();
    // One read into `into` or write from `from` at the handle's position, faults applied.
    bool transfer(Handle handle, bool writing, void* into, const void* from, DWORD bytes, DWORD* transferred);
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace platform::sim
