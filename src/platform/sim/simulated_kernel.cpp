#include "platform/sim/simulated_kernel.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fstream>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <utility>

#include "platform/sim/machine_description.h"
#include "platform/sim/sector_store.h"
#include "platform/sim/nvme_pages.h"
#include "platform/sim/physical_sectors.h"
#include "platform/sim/self_test_unit.h"
#include "platform/sim/smart_pages.h"

namespace platform::sim {
namespace {

constexpr std::string_view kDevicePrefix = "\\\\.\\PHYSICALDRIVE";
constexpr Handle kFirstHandle = 0x100;
constexpr DWORD kSendCmdInMinimum = sizeof(SENDCMDINPARAMS) - 1;  // 32: without the data byte
constexpr BYTE kSmartIdeError = 1;                                // DRIVERSTATUS.bDriverError
constexpr BYTE kAtaAbort = 0x04;                                  // the ATA error register's ABRT bit
constexpr std::size_t kMaxMachineFileBytes = 16u * 1024u * 1024u;

// A weak sector's history: zero writes so far and whether its next read comes out damaged.
struct WeakState {
    std::uint8_t zeroWrites = 0;
    bool damagedNextRead = false;
};

struct Drive {
    DriveSpec described;
    DriveGeometry geometry;
    std::unique_ptr<SectorStore> store;
    bool present = true;
    int generation = 0;  // disks put in this drive's place since the machine was built
    // Pending and BadRead grown to whole physical sectors: a drive reads and writes only those.
    SectorSet pending;  // shrinks as physical sectors are written whole
    SectorSet badRead;
    std::unique_ptr<PhysicalSectors> physical;
    std::unordered_map<std::uint64_t, WeakState> weak;
    Page identify{};
    Page values{};
    Page thresholds{};
    std::unique_ptr<SelfTestUnit> selfTest;
    PowerMode power = PowerMode::Active;
};

struct OpenHandle {
    int drive = 0;
    std::uint64_t position = 0;
    DWORD access = 0;
    bool claimed = false;  // claimForWriting succeeded: only then does a write reach the drive
};

struct NvmeQueryAnswer {
    DWORD error = 0;
    DWORD returned = 0;
};

// IOCTL_STORAGE_QUERY_PROPERTY for an NVMe drive: Identify Controller or the health log, as
// the drive's description says it answers. input is a copy of the request (the caller may
// pass one buffer for both directions).
NvmeQueryAnswer answerNvmeQuery(const DriveSpec& drive, SelfTestUnit& selfTest, const std::vector<std::uint8_t>& input,
                                std::uint8_t* out, DWORD outSize) {
    if (!drive.nvme) return {ERROR_INVALID_FUNCTION, 0};
    if (input.size() < kStorageQueryDataStart) return {ERROR_INVALID_PARAMETER, 0};
    STORAGE_PROPERTY_QUERY_HEADER query;
    STORAGE_PROTOCOL_SPECIFIC_DATA protocol;
    std::memcpy(&query, input.data(), sizeof query);
    std::memcpy(&protocol, input.data() + sizeof query, sizeof protocol);
    const bool identify = query.PropertyId == StorageAdapterProtocolSpecificProperty &&
                          protocol.DataType == NVMeDataTypeIdentify &&
                          protocol.ProtocolDataRequestValue == NVME_IDENTIFY_CNS_CONTROLLER;
    const bool logPage = query.PropertyId == StorageDeviceProtocolSpecificProperty &&
                         protocol.DataType == NVMeDataTypeLogPage;
    const DWORD page = protocol.ProtocolDataRequestValue;
    const bool healthLog = logPage && page == NVME_LOG_PAGE_HEALTH_INFO;
    const bool selfTestLog = logPage && page == NVME_LOG_PAGE_DEVICE_SELF_TEST;
    const bool errorLog = logPage && page == NVME_LOG_PAGE_ERROR_INFO && protocol.ProtocolDataLength >= 64;
    if (query.QueryType != PropertyStandardQuery || protocol.ProtocolType != ProtocolTypeNvme ||
        (!identify && !healthLog && !selfTestLog && !errorLog))
        return {ERROR_NOT_SUPPORTED, 0};
    const DWORD errorEntries = std::min<DWORD>(protocol.ProtocolDataLength / 64, kNvmeErrorLogMaxEntries);
    const DWORD dataBytes = identify      ? kNvmeIdentifyBytes
                            : healthLog   ? kNvmeHealthLogBytes
                            : selfTestLog ? kNvmeSelfTestLogBytes
                                          : errorEntries * 64;
    const std::uint64_t end = std::uint64_t{sizeof query} + protocol.ProtocolDataOffset + dataBytes;
    if (protocol.ProtocolDataOffset < sizeof protocol || protocol.ProtocolDataLength < dataBytes || end > outSize)
        return {ERROR_INSUFFICIENT_BUFFER, 0};
    const NvmeAnswer behaviour = identify ? drive.nvmeIdentify : healthLog ? drive.nvmeHealth : NvmeAnswer::Ok;
    if (behaviour == NvmeAnswer::Error) return {ERROR_IO_DEVICE, 0};
    if ((selfTestLog || errorLog) && selfTest.logsFail()) return {ERROR_IO_DEVICE, 0};

    STORAGE_PROTOCOL_DATA_DESCRIPTOR descriptor{};
    descriptor.Version = sizeof descriptor;
    descriptor.Size = sizeof descriptor;
    descriptor.ProtocolSpecificData = protocol;
    descriptor.ProtocolSpecificData.ProtocolDataLength = dataBytes;
    std::uint8_t* data = out + sizeof query + protocol.ProtocolDataOffset;
    if (identify) {
        NvmeIdentifyPage identity = nvmeIdentifyPage(drive);
        selfTest.patchNvmeIdentify(identity.data());
        std::memcpy(data, identity.data(), identity.size());
    } else if (healthLog) {
        const NvmeHealthPage health = nvmeHealthPage(drive);
        std::memcpy(data, health.data(), health.size());
    } else if (selfTestLog) {
        selfTest.nvmeSelfTestLog(data, SelfTestUnit::Clock::now());
    } else {
        selfTest.nvmeErrorLog(data, errorEntries);
    }
    DWORD returned = static_cast<DWORD>(end);
    if (behaviour == NvmeAnswer::Short) returned -= dataBytes / 2;
    // Garbage: data bytes that are all ones. Malformed: a descriptor of the wrong shape that
    // points outside the buffer.
    if (behaviour == NvmeAnswer::Garbage) std::memset(data, 0xFF, dataBytes);
    if (behaviour == NvmeAnswer::Malformed) {
        descriptor.Version = 0xFFFFFFFFu;
        descriptor.ProtocolSpecificData.ProtocolDataOffset = 0xFFFFFFF0u;
    }
    std::memcpy(out, &descriptor, sizeof descriptor);
    return {ERROR_SUCCESS, returned};
}

// IOCTL_STORAGE_PROTOCOL_COMMAND: Device Self-test with a short, extended or abort code; the
// controller's status goes back in ErrorCode (0 success, 1Dh "operation in progress", 2h
// "invalid field" for a test the drive does not run), as a Windows driver reports it.
DWORD answerNvmeCommand(const DriveSpec& drive, SelfTestUnit& selfTest, const std::vector<std::uint8_t>& input,
                        std::uint8_t* out, DWORD outSize) {
    if (!drive.nvme) return ERROR_INVALID_FUNCTION;
    if (input.size() < kStorageProtocolCommandBytes) return ERROR_INVALID_PARAMETER;
    if (outSize < kStorageProtocolCommandBytes) return ERROR_INSUFFICIENT_BUFFER;
    STORAGE_PROTOCOL_COMMAND_HEADER header;
    NVME_COMMAND_DWORDS command;
    std::memcpy(&header, input.data(), sizeof header);
    std::memcpy(&command, input.data() + sizeof header, sizeof command);
    if (header.ProtocolType != ProtocolTypeNvme || (command.CDW0 & 0xFF) != NVME_ADMIN_DEVICE_SELF_TEST ||
        header.CommandSpecific != STORAGE_PROTOCOL_SPECIFIC_NVME_ADMIN_COMMAND)
        return ERROR_NOT_SUPPORTED;
    const DWORD code = command.CDW10 & 0xF;
    const auto now = SelfTestUnit::Clock::now();
    DWORD status = 0;
    if (code == NVME_SELF_TEST_ABORT) {
        selfTest.abort(now);
    } else if (code == NVME_SELF_TEST_SHORT || code == NVME_SELF_TEST_EXTENDED) {
        const int type = static_cast<int>(code);
        if (!selfTest.supports(type)) status = 0x02 << 1;                // invalid opcode or field
        else if (!selfTest.start(type, now)) status = 0x1D << 1 | 1u << 9;  // operation in progress
    } else {
        status = 0x02 << 1;
    }
    header.ReturnStatus = status == 0 ? STORAGE_PROTOCOL_STATUS_SUCCESS : STORAGE_PROTOCOL_STATUS_ERROR;
    header.ErrorCode = status;
    std::memcpy(out, input.data(), kStorageProtocolCommandBytes);
    std::memcpy(out, &header, sizeof header);
    return status == 0 ? ERROR_SUCCESS : ERROR_IO_DEVICE;
}

// The drive number of a device path, or -1 when the path is not "\\.\PHYSICALDRIVE<n>" (the
// prefix in any case) with n written in decimal without leading zeros.
int driveNumberOf(std::string_view path) {
    if (path.size() <= kDevicePrefix.size()) return -1;
    for (std::size_t i = 0; i < kDevicePrefix.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(path[i])) != kDevicePrefix[i]) return -1;
    const std::string_view digits = path.substr(kDevicePrefix.size());
    if (digits.size() > 2 || (digits.size() > 1 && digits[0] == '0')) return -1;
    int number = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return -1;
        number = number * 10 + (c - '0');
    }
    return number;
}

// The hours a new self-test log entry records: the health log's power-on hours (NVMe) or
// attribute 9's raw value (ATA), 0 when the drive reports neither.
std::uint64_t powerOnHoursOf(const DriveSpec& drive) {
    if (drive.nvme) return drive.nvmeFields[11];
    for (const AttributeSpec& a : drive.attributes) {
        if (a.present && a.id == 9)
            return a.raw[0] | std::uint64_t{a.raw[1]} << 8 | std::uint64_t{a.raw[2]} << 16 |
                   std::uint64_t{a.raw[3]} << 24;
    }
    return 0;
}

bool allZero(const std::uint8_t* data, std::size_t size) {
    return std::all_of(data, data + size, [](std::uint8_t b) { return b == 0; });
}

}  // namespace

struct SimulatedKernel::Impl {
    mutable std::mutex mutex;
    std::array<std::unique_ptr<Drive>, kMaxDrives> drives;
    std::array<DWORD, 26> letterTypes{};  // DRIVE_NO_ROOT_DIR where no letter exists
    DWORD letterMask = 0;
    std::uint32_t version = 0;
    std::uint64_t crashAtWrite = 0;  // 0: never
    std::uint64_t writes = 0;        // writeFile calls so far
    std::unordered_map<Handle, OpenHandle> handles;
    Handle nextHandle = kFirstHandle;
    DWORD lastError = 0;
    bool logging = true;
    std::vector<CallRecord> log;
    std::function<void(std::chrono::microseconds)> pause;  // empty: sleep

    // Ends a call: sets the last error (0 on success) and appends the record when logging.
    bool finish(CallRecord& record, bool ok, DWORD error) {
        lastError = ok ? ERROR_SUCCESS : error;
        record.result = ok;
        record.error = lastError;
        if (logging) log.push_back(std::move(record));
        return ok;
    }

    // Any command but CHECK POWER MODE and any transfer makes the drive active, spinning it up
    // from standby (which the log records).
    void wake(Drive& drive, Handle handle) {
        const PowerMode before = drive.power;
        drive.power = PowerMode::Active;
        if (before != PowerMode::Standby) return;
        if (!logging) return;
        CallRecord record;
        record.operation = "wakeUp";
        record.handle = handle;
        record.result = true;
        log.push_back(std::move(record));
    }

    Drive* driveOf(Handle handle, OpenHandle** open) {
        const auto found = handles.find(handle);
        if (found == handles.end()) return nullptr;
        *open = &found->second;
        return drives[static_cast<std::size_t>(found->second.drive)].get();
    }
};

SimulatedKernel::SimulatedKernel() : impl_(std::make_unique<Impl>()) {}
SimulatedKernel::~SimulatedKernel() = default;

std::unique_ptr<SimulatedKernel> SimulatedKernel::fromText(std::string_view text, const std::string& baseDir,
                                                           const std::string& fileName, std::string& error) {
    MachineDescription machine;
    if (!parseMachineDescription(text, baseDir, fileName, machine, error)) return nullptr;

    std::unique_ptr<SimulatedKernel> kernel(new SimulatedKernel());
    Impl& impl = *kernel->impl_;
    impl.version = machine.versionMajor | (machine.versionMinor << 8);
    impl.crashAtWrite = machine.crashAtWrite;
    impl.letterTypes.fill(DRIVE_NO_ROOT_DIR);
    for (DriveSpec& described : machine.drives) {
        auto drive = std::make_unique<Drive>();
        if (described.imagePath.empty()) {
            drive->store = makeMemoryStore();
        } else {
            std::string reason;
            drive->store = makeImageStore(described.imagePath, described.sectors, reason);
            if (!drive->store) {
                error = fileName + ":" + std::to_string(described.imageLine) + ": " + reason;
                return nullptr;
            }
        }
        drive->geometry = geometryOf(described);
        drive->identify = identifyPage(described, drive->geometry);
        drive->values = valuePage(described);
        drive->selfTest = std::make_unique<SelfTestUnit>(described.selfTest, described.nvme,
                                                         powerOnHoursOf(described), SelfTestUnit::Clock::now());
        drive->thresholds = thresholdPage(described);
        drive->physical = std::make_unique<PhysicalSectors>(described.sectors, described.physicalBytes / kSectorBytes,
                                                            described.alignmentSectors);
        drive->pending = drive->physical->widened(described.pending);
        drive->badRead = drive->physical->widened(described.badRead);
        drive->power = described.powerMode;
        if (!machine.hasLetters && described.number <= 'Z' - 'C') {
            const int position = 'C' - 'A' + described.number;
            impl.letterMask |= DWORD{1} << position;
            impl.letterTypes[static_cast<std::size_t>(position)] = DRIVE_FIXED;
        }
        const auto slot = static_cast<std::size_t>(described.number);
        drive->described = std::move(described);
        impl.drives[slot] = std::move(drive);
    }
    for (const LetterSpec& letter : machine.letters) {
        const int position = letter.letter - 'A';
        impl.letterMask |= DWORD{1} << position;
        impl.letterTypes[static_cast<std::size_t>(position)] = letter.type;
    }
    return kernel;
}

std::unique_ptr<SimulatedKernel> SimulatedKernel::fromFile(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot open the machine file";
        return nullptr;
    }
    std::string text;
    char chunk[65536];
    while (in.read(chunk, sizeof chunk).gcount() > 0) {
        text.append(chunk, static_cast<std::size_t>(in.gcount()));
        if (text.size() > kMaxMachineFileBytes) {
            error = path + ": the machine file is larger than 16 MiB";
            return nullptr;
        }
    }
    if (in.bad()) {
        error = path + ": cannot read the machine file";
        return nullptr;
    }
    const std::size_t slash = path.rfind('/');
    const std::string baseDir = slash == std::string::npos ? std::string(".")
                                : slash == 0               ? std::string("/")
                                                           : path.substr(0, slash);
    return fromText(text, baseDir, path, error);
}

Handle SimulatedKernel::createFile(std::string_view path, DWORD desiredAccess, DWORD shareMode,
                                   const SecurityAttributes* security, DWORD creationDisposition,
                                   DWORD flagsAndAttributes) {
    std::lock_guard lock(impl_->mutex);
    CallRecord record;
    record.operation = "createFile";
    record.path = std::string(path);
    record.desiredAccess = desiredAccess;
    record.shareMode = shareMode;
    record.hasSecurityAttributes = security != nullptr;
    if (security) {
        record.securityLength = security->nLength;
        record.inheritHandle = security->inheritHandle;
    }
    record.creationDisposition = creationDisposition;
    record.flagsAndAttributes = flagsAndAttributes;

    // Drives are only ever opened as they are: nothing may create or truncate one.
    if (creationDisposition != OPEN_EXISTING)
        return impl_->finish(record, false, ERROR_INVALID_PARAMETER), kInvalidHandle;
    const int number = driveNumberOf(path);
    const Drive* drive =
        number >= 0 && number < kMaxDrives ? impl_->drives[static_cast<std::size_t>(number)].get() : nullptr;
    if (!drive || !drive->present) return impl_->finish(record, false, ERROR_FILE_NOT_FOUND), kInvalidHandle;
    if (drive->described.openError != 0)
        return impl_->finish(record, false, drive->described.openError), kInvalidHandle;

    const Handle handle = impl_->nextHandle;
    impl_->nextHandle += 4;
    impl_->handles.emplace(handle, OpenHandle{number, 0, desiredAccess});
    record.handle = handle;
    impl_->finish(record, true, 0);
    return handle;
}

DWORD SimulatedKernel::setFilePointer(Handle handle, std::int32_t distanceLow, std::int32_t* distanceHigh,
                                      DWORD moveMethod) {
    std::lock_guard lock(impl_->mutex);
    CallRecord record;
    record.operation = "setFilePointer";
    record.handle = handle;
    record.distanceLow = distanceLow;
    record.hadHighPointer = distanceHigh != nullptr;
    record.distanceHigh = distanceHigh ? *distanceHigh : 0;
    record.moveMethod = moveMethod;

    OpenHandle* open = nullptr;
    const Drive* drive = impl_->driveOf(handle, &open);
    if (!drive) return impl_->finish(record, false, ERROR_INVALID_HANDLE), INVALID_SET_FILE_POINTER;
    record.offset = open->position;

    // Without a high part the distance is a signed 32-bit number; with one, a signed 64-bit one.
    const std::int64_t distance =
        distanceHigh ? static_cast<std::int64_t>(
                           (static_cast<std::uint64_t>(static_cast<std::uint32_t>(*distanceHigh)) << 32) |
                           static_cast<std::uint32_t>(distanceLow))
                     : std::int64_t{distanceLow};
    std::int64_t base = 0;
    switch (moveMethod) {
        case FILE_BEGIN:
            break;
        case FILE_CURRENT:
            base = static_cast<std::int64_t>(open->position);
            break;
        case FILE_END:
            base = static_cast<std::int64_t>(drive->described.sectors * kSectorBytes);
            break;
        default:
            return impl_->finish(record, false, ERROR_INVALID_PARAMETER), INVALID_SET_FILE_POINTER;
    }
    if (distance > 0 && base > INT64_MAX - distance)
        return impl_->finish(record, false, ERROR_INVALID_PARAMETER), INVALID_SET_FILE_POINTER;
    const std::int64_t target = base + distance;
    if (target < 0) return impl_->finish(record, false, ERROR_NEGATIVE_SEEK), INVALID_SET_FILE_POINTER;
    // Without a high pointer the position must fit the 32-bit answer (0xFFFFFFFF means failure).
    if (!distanceHigh && target > 0xFFFFFFFE) {
        return impl_->finish(record, false, ERROR_INVALID_PARAMETER), INVALID_SET_FILE_POINTER;
    }
    open->position = static_cast<std::uint64_t>(target);
    record.offset = open->position;
    if (distanceHigh) *distanceHigh = static_cast<std::int32_t>(open->position >> 32);
    impl_->finish(record, true, 0);
    return static_cast<DWORD>(open->position & 0xFFFFFFFFu);
}

namespace {

// Reads whole sectors of the medium, with the faults the description gives; the error or 0.
DWORD readMedium(Drive& drive, std::uint64_t first, std::uint64_t count, std::uint8_t* out) {
    const DriveSpec& described = drive.described;
    const std::uint64_t last = first + count - 1;
    if (drive.badRead.intersects(first, last) || drive.pending.intersects(first, last)) return ERROR_CRC;
    if (!drive.store->read(first, count, out)) return ERROR_READ_FAULT;
    // A weak sector written since its last read comes out with one byte changed, once.
    described.weak.forEachIn(first, last, [&](std::uint64_t sector) {
        const auto state = drive.weak.find(sector);
        if (state == drive.weak.end() || !state->second.damagedNextRead) return;
        state->second.damagedNextRead = false;
        out[(sector - first) * kSectorBytes + sector % kSectorBytes] ^= 0xA5;
    });
    return 0;
}

// Writes whole sectors of the medium: heals pending sectors and arms (or cures) weak ones.
// Part of a physical sector that cannot be read cannot be written: the drive would have to
// read the rest of it first.
DWORD writeMedium(Drive& drive, std::uint64_t first, std::uint64_t count, const std::uint8_t* data) {
    const DriveSpec& described = drive.described;
    const std::uint64_t last = first + count - 1;
    if (drive.physical->cutsInto(drive.pending, first, last) || drive.physical->cutsInto(drive.badRead, first, last))
        return ERROR_CRC;
    if (described.badWrite.intersects(first, last)) {
        // Such a drive writes in order and stops at the first sector it cannot write.
        const std::uint64_t unwritable = described.badWrite.lowestIn(first, last);
        if (described.partialWrites && unwritable > first) writeMedium(drive, first, unwritable - first, data);
        return ERROR_CRC;
    }
    if (!drive.store->write(first, count, data)) return ERROR_WRITE_FAULT;
    drive.pending.remove(first, last);
    described.weak.forEachIn(first, last, [&](std::uint64_t sector) {
        WeakState& state = drive.weak[sector];
        if (state.zeroWrites >= 2) return;
        if (allZero(data + (sector - first) * kSectorBytes, kSectorBytes)) ++state.zeroWrites;
        state.damagedNextRead = state.zeroWrites < 2;
    });
    return 0;
}

}  // namespace

bool SimulatedKernel::readFile(Handle handle, void* buffer, DWORD bytes, DWORD* transferred) {
    return transfer(handle, false, buffer, nullptr, bytes, transferred);
}

bool SimulatedKernel::writeFile(Handle handle, const void* buffer, DWORD bytes, DWORD* transferred) {
    return transfer(handle, true, nullptr, buffer, bytes, transferred);
}

bool SimulatedKernel::transfer(Handle handle, bool writing, void* into, const void* from, DWORD bytes,
                               DWORD* transferred) {
    std::chrono::microseconds wait{0};
    bool ok = false;
    {
        std::lock_guard lock(impl_->mutex);
        // A crash, kill or power cut at an exact step: the process ends before this write
        // reaches the medium, as abruptly as SIGKILL ends it.
        if (writing && ++impl_->writes == impl_->crashAtWrite) std::raise(SIGKILL);
        if (transferred) *transferred = 0;
        CallRecord record;
        record.operation = writing ? "writeFile" : "readFile";
        record.handle = handle;
        record.bytes = bytes;
        OpenHandle* open = nullptr;
        Drive* drive = impl_->driveOf(handle, &open);
        if (!drive) return impl_->finish(record, false, ERROR_INVALID_HANDLE);
        record.offset = open->position;
        if (!drive->present) return impl_->finish(record, false, ERROR_NOT_READY);
        if (!(open->access & (writing ? GENERIC_WRITE : GENERIC_READ)) || (writing && !open->claimed))
            return impl_->finish(record, false, ERROR_ACCESS_DENIED);
        const bool hasBuffer = writing ? from != nullptr : into != nullptr;
        if (bytes % kSectorBytes != 0 || open->position % kSectorBytes != 0 || (bytes > 0 && !hasBuffer)) {
            return impl_->finish(record, false, ERROR_INVALID_PARAMETER);
        }
        if (bytes == 0) return impl_->finish(record, true, 0);
        impl_->wake(*drive, handle);

        const std::uint64_t first = open->position / kSectorBytes;
        const std::uint64_t count = bytes / kSectorBytes;
        const DriveSpec& described = drive->described;
        wait = std::chrono::microseconds(described.latencyUs + described.latencyPerSectorUs * count);
        // Every slow entry the read touches adds its delay, whether the read succeeds or not.
        if (!writing && first < described.sectors) {
            const std::uint64_t last = first + std::min(count, described.sectors - first) - 1;
            for (const SlowRange& slow : described.slowRead)
                if (slow.first <= last && first <= slow.last) wait += std::chrono::milliseconds(slow.ms);
        }
        DWORD error = ERROR_SECTOR_NOT_FOUND;
        if (first < described.sectors && count <= described.sectors - first) {
            error = writing ? writeMedium(*drive, first, count, static_cast<const std::uint8_t*>(from))
                            : readMedium(*drive, first, count, static_cast<std::uint8_t*>(into));
        }
        if (error == 0) {
            open->position += bytes;
            if (transferred) *transferred = bytes;
        }
        ok = impl_->finish(record, error == 0, error);
    }
    if (wait.count() > 0) {
        if (impl_->pause)
            impl_->pause(wait);
        else
            std::this_thread::sleep_for(wait);
    }
    return ok;
}

bool SimulatedKernel::deviceIoControl(Handle handle, DWORD code, const void* in, DWORD inSize, void* out,
                                      DWORD outSize, DWORD* returned) {
    std::lock_guard lock(impl_->mutex);
    if (returned) *returned = 0;
    CallRecord record;
    record.operation = "deviceIoControl";
    record.handle = handle;
    record.ioctlCode = code;
    record.bytes = outSize;
    if (in && inSize > 0) {
        const auto* bytes = static_cast<const std::uint8_t*>(in);
        record.input.assign(bytes, bytes + inSize);
    }
    OpenHandle* open = nullptr;
    Drive* drive = impl_->driveOf(handle, &open);
    if (!drive) return impl_->finish(record, false, ERROR_INVALID_HANDLE);
    record.offset = open->position;
    if (!drive->present) return impl_->finish(record, false, ERROR_NOT_READY);
    if ((inSize > 0 && !in) || (outSize > 0 && !out))
        return impl_->finish(record, false, ERROR_INVALID_PARAMETER);

    auto* output = static_cast<std::uint8_t*>(out);
    const DriveSpec& described = drive->described;
    const auto answer = [&](DWORD size) {
        if (returned) *returned = size;
        return impl_->finish(record, true, 0);
    };

    if (code == IOCTL_DISK_GET_DRIVE_GEOMETRY) {
        if (outSize < sizeof(DISK_GEOMETRY)) return impl_->finish(record, false, ERROR_INSUFFICIENT_BUFFER);
        DISK_GEOMETRY geometry{};
        geometry.Cylinders = drive->geometry.cylinders;
        geometry.MediaType = 12;  // FixedMedia
        geometry.TracksPerCylinder = drive->geometry.tracksPerCylinder;
        geometry.SectorsPerTrack = drive->geometry.sectorsPerTrack;
        geometry.BytesPerSector = kSectorBytes;
        std::memcpy(output, &geometry, sizeof geometry);
        return answer(sizeof geometry);
    }

    if (code == IOCTL_STORAGE_QUERY_PROPERTY && IsAlignmentQuery(in, inSize)) {
        if (!WriteAlignmentAnswer(kSectorBytes, described.physicalBytes, described.alignmentSectors * kSectorBytes,
                                  output, outSize))
            return impl_->finish(record, false, ERROR_INSUFFICIENT_BUFFER);
        return answer(sizeof(STORAGE_ACCESS_ALIGNMENT_DESCRIPTOR));
    }

    if (code == IOCTL_STORAGE_QUERY_PROPERTY) {
        const NvmeQueryAnswer nvme = answerNvmeQuery(described, *drive->selfTest, record.input, output, outSize);
        if (returned) *returned = nvme.returned;
        return impl_->finish(record, nvme.error == 0, nvme.error);
    }
    if (code == IOCTL_STORAGE_PROTOCOL_COMMAND) {
        const DWORD error = answerNvmeCommand(described, *drive->selfTest, record.input, output, outSize);
        if (returned && error != ERROR_INVALID_FUNCTION && error != ERROR_NOT_SUPPORTED)
            *returned = kStorageProtocolCommandBytes;
        return impl_->finish(record, error == 0, error);
    }

    const bool smartCode =
        code == SMART_GET_VERSION || code == SMART_SEND_DRIVE_COMMAND || code == SMART_RCV_DRIVE_DATA;
    if (!smartCode || described.smart == SmartSupport::None || described.nvme)
        return impl_->finish(record, false, ERROR_INVALID_FUNCTION);

    SENDCMDINPARAMS asked{};
    if (in && inSize >= kSendCmdInMinimum) std::memcpy(&asked, in, kSendCmdInMinimum);
    if (code == SMART_SEND_DRIVE_COMMAND && inSize >= kSendCmdInMinimum &&
        asked.irDriveRegs.bCommandReg == ATA_CHECK_POWER_MODE) {
        // Answered from the electronics: the drive stays as it is. The sector count returned
        // is the mode: 00h standby, 80h idle, FFh active.
        if (outSize < kSendCmdOutHeaderSize + sizeof(IDEREGS))
            return impl_->finish(record, false, ERROR_INSUFFICIENT_BUFFER);
        SENDCMDOUTPARAMS_HEADER header{};
        header.cBufferSize = sizeof(IDEREGS);
        IDEREGS returned{};
        returned.bSectorCountReg = drive->power == PowerMode::Standby ? 0x00
                                   : drive->power == PowerMode::Idle  ? 0x80
                                                                      : 0xFF;
        returned.bCommandReg = 0x50;  // status: ready, seek complete
        std::memcpy(output, &header, sizeof header);
        std::memcpy(output + kSendCmdOutHeaderSize, &returned, sizeof returned);
        return answer(kSendCmdOutHeaderSize + sizeof(IDEREGS));
    }
    impl_->wake(*drive, handle);

    if (code == SMART_GET_VERSION) {
        if (outSize < sizeof(GETVERSIONINPARAMS))
            return impl_->finish(record, false, ERROR_INSUFFICIENT_BUFFER);
        GETVERSIONINPARAMS version{};
        version.bVersion = 1;
        version.bRevision = 1;
        version.bIDEDeviceMap = 1;
        version.fCapabilities = CAP_ATA_ID_CMD | (described.smart == SmartSupport::Yes ? CAP_SMART_CMD : 0);
        std::memcpy(output, &version, sizeof version);
        return answer(sizeof version);
    }

    if (inSize < kSendCmdInMinimum) return impl_->finish(record, false, ERROR_INVALID_PARAMETER);
    SENDCMDINPARAMS command{};
    std::memcpy(&command, in, kSendCmdInMinimum);
    const IDEREGS& regs = command.irDriveRegs;
    const bool smartRegisters = regs.bCommandReg == ATA_SMART_CMD && regs.bCylLowReg == SMART_CYL_LOW &&
                                regs.bCylHighReg == SMART_CYL_HI;
    // What the drive does with a command it rejects: it aborts, and the driver reports the
    // abort in DRIVERSTATUS and fails the request.
    const auto abort = [&]() {
        if (outSize >= kSendCmdOutHeaderSize) {
            SENDCMDOUTPARAMS_HEADER header{};
            header.DriverStatus.bDriverError = kSmartIdeError;
            header.DriverStatus.bIDEError = kAtaAbort;
            std::memcpy(output, &header, sizeof header);
        }
        return impl_->finish(record, false, ERROR_IO_DEVICE);
    };
    const auto deliver = [&](const Page* page) {
        const DWORD dataBytes = page ? static_cast<DWORD>(page->size()) : 0;
        if (outSize < kSendCmdOutHeaderSize + dataBytes) {
            return impl_->finish(record, false, ERROR_INSUFFICIENT_BUFFER);
        }
        SENDCMDOUTPARAMS_HEADER header{};
        header.cBufferSize = dataBytes;
        std::memcpy(output, &header, sizeof header);
        if (page) std::memcpy(output + kSendCmdOutHeaderSize, page->data(), page->size());
        return answer(kSendCmdOutHeaderSize + dataBytes);
    };

    if (code == SMART_SEND_DRIVE_COMMAND) {
        if (outSize < kSendCmdOutHeaderSize) return impl_->finish(record, false, ERROR_INSUFFICIENT_BUFFER);
        if (described.smart != SmartSupport::Yes) return impl_->finish(record, false, ERROR_INVALID_FUNCTION);
        if (smartRegisters && regs.bFeaturesReg == SMART_EXECUTE_OFFLINE_IMMEDIATE) {
            // The drive aborts a test it does not run and a second test while one runs.
            const BYTE subcommand = regs.bSectorNumberReg;
            const auto now = SelfTestUnit::Clock::now();
            if (subcommand == SMART_ABORT_SELFTEST) {
                drive->selfTest->abort(now);
                return deliver(nullptr);
            }
            if (subcommand < 1 || subcommand > 3 || !drive->selfTest->start(subcommand, now)) return abort();
            return deliver(nullptr);
        }
        if (!smartRegisters || regs.bFeaturesReg != SMART_ENABLE_OPERATIONS) return abort();
        if (described.enableError != 0) return impl_->finish(record, false, described.enableError);
        return deliver(nullptr);
    }

    // SMART_RCV_DRIVE_DATA
    if (outSize < kSendCmdOutHeaderSize + 512) return impl_->finish(record, false, ERROR_INSUFFICIENT_BUFFER);
    if (regs.bCommandReg == ATA_IDENTIFY_DEVICE) {
        if (described.identifyFails) return abort();
        return deliver(&drive->identify);
    }
    if (described.smart != SmartSupport::Yes) return impl_->finish(record, false, ERROR_INVALID_FUNCTION);
    if (smartRegisters && regs.bFeaturesReg == SMART_READ_DATA) {
        if (described.valuesFail) return abort();
        Page values = drive->values;
        drive->selfTest->patchSmartData(values.data(), SelfTestUnit::Clock::now());
        std::uint8_t sum = 0;
        for (std::size_t i = 0; i < 511; ++i) sum = static_cast<std::uint8_t>(sum + values[i]);
        values[511] = static_cast<std::uint8_t>(0x100 - sum);
        return deliver(&values);
    }
    if (smartRegisters && regs.bFeaturesReg == SMART_READ_LOG && regs.bSectorCountReg == 1 &&
        (regs.bSectorNumberReg == SMART_SELFTEST_LOG || regs.bSectorNumberReg == SMART_SUMMARY_ERROR_LOG)) {
        if (drive->selfTest->logsFail()) return abort();
        Page log{};
        if (regs.bSectorNumberReg == SMART_SELFTEST_LOG)
            drive->selfTest->ataSelfTestLog(log.data(), SelfTestUnit::Clock::now());
        else
            drive->selfTest->ataErrorLog(log.data());
        return deliver(&log);
    }
    if (smartRegisters && regs.bFeaturesReg == SMART_READ_THRESHOLDS) {
        if (described.thresholdsFail) return abort();
        return deliver(&drive->thresholds);
    }
    return abort();
}

bool SimulatedKernel::closeHandle(Handle handle) {
    std::lock_guard lock(impl_->mutex);
    CallRecord record;
    record.operation = "closeHandle";
    record.handle = handle;
    const bool known = impl_->handles.erase(handle) != 0;
    return impl_->finish(record, known, ERROR_INVALID_HANDLE);
}

DWORD SimulatedKernel::getLastError() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->lastError;
}

DWORD SimulatedKernel::getLogicalDrives() {
    std::lock_guard lock(impl_->mutex);
    CallRecord record;
    record.operation = "getLogicalDrives";
    record.result = true;
    record.error = impl_->lastError;
    if (impl_->logging) impl_->log.push_back(std::move(record));
    return impl_->letterMask;
}

DWORD SimulatedKernel::getDriveType(std::string_view root) {
    std::lock_guard lock(impl_->mutex);
    CallRecord record;
    record.operation = "getDriveType";
    record.path = std::string(root);
    DWORD type = DRIVE_NO_ROOT_DIR;
    // "C:\", "C:/" and "C:" all name the root of C.
    if ((root.size() == 2 || (root.size() == 3 && (root[2] == '\\' || root[2] == '/'))) && root[1] == ':') {
        char letter = root[0];
        if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
        if (letter >= 'A' && letter <= 'Z') type = impl_->letterTypes[static_cast<std::size_t>(letter - 'A')];
    }
    record.result = true;
    record.error = impl_->lastError;
    if (impl_->logging) impl_->log.push_back(std::move(record));
    return type;
}

bool SimulatedKernel::claimForWriting(Handle handle, std::string& reason) {
    std::lock_guard lock(impl_->mutex);
    CallRecord record;
    record.operation = "claimForWriting";
    record.handle = handle;
    OpenHandle* open = nullptr;
    const Drive* drive = impl_->driveOf(handle, &open);
    if (!drive) {
        reason = "the drive is not open";
        return impl_->finish(record, false, ERROR_INVALID_HANDLE);
    }
    if (!drive->present) {
        reason = "the drive is no longer there";
        return impl_->finish(record, false, ERROR_NOT_READY);
    }
    if (drive->generation != 0) {
        reason = "the drive changed since it was listed";
        return impl_->finish(record, false, ERROR_DEV_NOT_EXIST);
    }
    if (drive->described.inUse) {
        reason = "it has a mounted filesystem";
        return impl_->finish(record, false, ERROR_SHARING_VIOLATION);
    }
    if (!(open->access & GENERIC_WRITE)) {
        reason = "it was not opened for writing";
        return impl_->finish(record, false, ERROR_ACCESS_DENIED);
    }
    reason.clear();
    open->claimed = true;
    return impl_->finish(record, true, 0);
}

bool SimulatedKernel::flushFileBuffers(Handle handle) {
    std::lock_guard lock(impl_->mutex);
    CallRecord record;
    // The name is longer than a short string holds: set only when it is kept, since the scan
    // flushes from inside its block loop, which must not allocate.
    if (impl_->logging) record.operation = "flushFileBuffers";
    record.handle = handle;
    OpenHandle* open = nullptr;
    const Drive* drive = impl_->driveOf(handle, &open);
    if (!drive) return impl_->finish(record, false, ERROR_INVALID_HANDLE);
    if (!drive->present) return impl_->finish(record, false, ERROR_NOT_READY);
    // Every write reaches the medium (memory or the image file) before it returns.
    return impl_->finish(record, true, 0);
}

bool SimulatedKernel::driveIdentity(Handle handle, std::string& identity) {
    std::lock_guard lock(impl_->mutex);
    CallRecord record;
    record.operation = "driveIdentity";
    record.handle = handle;
    identity.clear();
    OpenHandle* open = nullptr;
    const Drive* drive = impl_->driveOf(handle, &open);
    if (!drive) return impl_->finish(record, false, ERROR_INVALID_HANDLE);
    if (!drive->present) return impl_->finish(record, false, ERROR_NOT_READY);
    const DriveSpec& described = drive->described;
    // The serial IDENTIFY reports (drive numbers are below 50).
    const std::string serial = reportedSerial(described);
    identity = "simulated drive " + std::to_string(described.number) + ", model " + described.model + ", serial " +
               serial + ", " + std::to_string(described.sectors) + " sectors";
    if (described.uncertainIdentity)
        identity = std::string(kUncertainIdentity) + "simulated drive " + std::to_string(described.number) + ", " +
                   std::to_string(described.sectors) + " sectors";
    if (drive->generation != 0) identity += ", replaced " + std::to_string(drive->generation) + " times";
    return impl_->finish(record, true, 0);
}

bool SimulatedKernel::isListedDevice(Handle handle) {
    std::lock_guard lock(impl_->mutex);
    CallRecord record;
    record.operation = "isListedDevice";
    record.handle = handle;
    OpenHandle* open = nullptr;
    const Drive* drive = impl_->driveOf(handle, &open);
    if (!drive) return impl_->finish(record, false, ERROR_INVALID_HANDLE);
    const bool listed = drive->present && drive->generation == 0;
    return impl_->finish(record, listed, ERROR_DEV_NOT_EXIST);
}

bool SimulatedKernel::deviceName(Handle handle, std::string& name) {
    std::lock_guard lock(impl_->mutex);
    CallRecord record;
    record.operation = "deviceName";
    record.handle = handle;
    name.clear();
    OpenHandle* open = nullptr;
    const Drive* drive = impl_->driveOf(handle, &open);
    if (!drive) return impl_->finish(record, false, ERROR_INVALID_HANDLE);
    name = reportedDeviceName(drive->described);
    return impl_->finish(record, true, 0);
}

std::uint32_t SimulatedKernel::getVersion() {
    return impl_->version;
}

const std::vector<CallRecord>& SimulatedKernel::calls() const {
    return impl_->log;
}

void SimulatedKernel::clearCalls() {
    std::lock_guard lock(impl_->mutex);
    impl_->log.clear();
}

void SimulatedKernel::setLogging(bool on) {
    std::lock_guard lock(impl_->mutex);
    impl_->logging = on;
}

void SimulatedKernel::setPause(std::function<void(std::chrono::microseconds)> pause) {
    std::lock_guard lock(impl_->mutex);
    impl_->pause = std::move(pause);
}

std::size_t SimulatedKernel::openHandleCount() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->handles.size();
}

bool SimulatedKernel::hasDrive(int drive) const {
    std::lock_guard lock(impl_->mutex);
    return drive >= 0 && drive < kMaxDrives && impl_->drives[static_cast<std::size_t>(drive)] != nullptr;
}

std::uint64_t SimulatedKernel::sectorCount(int drive) const {
    std::lock_guard lock(impl_->mutex);
    if (drive < 0 || drive >= kMaxDrives || !impl_->drives[static_cast<std::size_t>(drive)]) return 0;
    return impl_->drives[static_cast<std::size_t>(drive)]->described.sectors;
}

std::vector<std::uint8_t> SimulatedKernel::peekSectors(int drive, std::uint64_t lba,
                                                       std::uint32_t count) const {
    std::lock_guard lock(impl_->mutex);
    if (drive < 0 || drive >= kMaxDrives || !impl_->drives[static_cast<std::size_t>(drive)]) return {};
    Drive& d = *impl_->drives[static_cast<std::size_t>(drive)];
    if (lba >= d.described.sectors) return {};
    const std::uint64_t available = std::min<std::uint64_t>(count, d.described.sectors - lba);
    std::vector<std::uint8_t> data(available * kSectorBytes);
    if (!d.store->read(lba, available, data.data())) return {};
    return data;
}

void SimulatedKernel::pokeSectors(int drive, std::uint64_t lba, const std::vector<std::uint8_t>& data) {
    std::lock_guard lock(impl_->mutex);
    if (drive < 0 || drive >= kMaxDrives || !impl_->drives[static_cast<std::size_t>(drive)]) return;
    Drive& d = *impl_->drives[static_cast<std::size_t>(drive)];
    if (lba >= d.described.sectors) return;
    // Whole sectors only; a partial last sector keeps the rest of its old bytes.
    const std::uint64_t sectors =
        std::min<std::uint64_t>((data.size() + kSectorBytes - 1) / kSectorBytes, d.described.sectors - lba);
    std::vector<std::uint8_t> merged(sectors * kSectorBytes);
    if (sectors == 0 || !d.store->read(lba, sectors, merged.data())) return;
    std::copy_n(data.begin(), std::min<std::size_t>(data.size(), merged.size()), merged.begin());
    d.store->write(lba, sectors, merged.data());
}

void SimulatedKernel::setDrivePresent(int drive, bool present) {
    std::lock_guard lock(impl_->mutex);
    if (drive < 0 || drive >= kMaxDrives || !impl_->drives[static_cast<std::size_t>(drive)]) return;
    impl_->drives[static_cast<std::size_t>(drive)]->present = present;
}

void SimulatedKernel::replaceDrive(int drive) {
    std::lock_guard lock(impl_->mutex);
    if (drive < 0 || drive >= kMaxDrives || !impl_->drives[static_cast<std::size_t>(drive)]) return;
    ++impl_->drives[static_cast<std::size_t>(drive)]->generation;
}

}  // namespace platform::sim
