// The pass-through's sense data and the verdict built on it. The reader stays inside the bytes
// the device wrote (the input is exactly that long); a success always has a clean SCSI result,
// every data byte, no ATA error and, when asked for, the registers; a failure always carries
// an error code.
#include <cstddef>
#include <cstdint>

#include "fuzz_check.h"
#include "platform/linux/ata_passthrough.h"

namespace pl = platform::linux;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The first 8 bytes describe the SCSI result and the request; the rest is the sense data.
    constexpr std::size_t kHeader = 8;
    if (size < kHeader) return 0;
    const std::uint8_t* sense = data + kHeader;
    const std::size_t senseLength = size - kHeader;

    const pl::SenseSummary summary = pl::parseSense(sense, senseLength);
    const std::uint8_t code = senseLength > 0 ? sense[0] & 0x7f : 0;
    FUZZ_CHECK(!summary.valid || code == 0x70 || code == 0x71 || code == 0x72 || code == 0x73);
    FUZZ_CHECK(summary.key <= 0x0f);
    FUZZ_CHECK(!summary.haveRegisters || summary.valid);

    pl::AtaRequest request;
    request.protocol = (data[0] & 1) != 0 ? pl::AtaProtocol::PioDataIn : pl::AtaProtocol::NonData;
    request.dataBytes = request.protocol == pl::AtaProtocol::PioDataIn ? 512 : 0;
    request.returnRegisters = (data[0] & 2) != 0;
    pl::ScsiResult result;
    result.status = data[1];
    result.hostStatus = (data[0] & 4) != 0 ? data[2] : 0;
    result.driverStatus = data[3];
    result.resid = (data[0] & 8) != 0 ? static_cast<int>(data[4]) - 128 : 0;
    result.sense = sense;
    result.senseLength = senseLength;

    const pl::AtaOutcome outcome = pl::interpretPassThrough(request, result);
    if (!outcome.ok) {
        FUZZ_CHECK(outcome.error != platform::ERROR_SUCCESS);
        return 0;
    }
    FUZZ_CHECK(result.hostStatus == 0);
    FUZZ_CHECK((result.status & 0x3e) == 0x00 || (result.status & 0x3e) == 0x02);
    FUZZ_CHECK(request.dataBytes == 0 || result.resid == 0);
    FUZZ_CHECK(!outcome.deviceError);
    FUZZ_CHECK(!request.returnRegisters || outcome.haveRegisters);
    FUZZ_CHECK(!outcome.haveRegisters || (outcome.status & 0x21) == 0);
    FUZZ_CHECK((result.status & 0x3e) != 0x02 || (summary.valid && summary.key <= 1));
    return 0;
}
