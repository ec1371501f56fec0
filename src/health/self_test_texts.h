#pragma once
// The words for what a drive reports about its self-tests and errors: test types, the result
// codes of ATA and NVMe self-tests, and the errors in their error logs.
#include <cstdint>
#include <string>

namespace health {

enum class LogTransport { Ata, Nvme };

// "short", "extended", "conveyance"; "offline" (ATA 0), "vendor" otherwise. ATA types are the
// subcommand the test was started with (captive ones included), NVMe types the test code.
std::string SelfTestTypeName(LogTransport transport, int type);
// The result of a logged test, such as "completed without error" or "failed: read element".
std::string SelfTestStatusText(LogTransport transport, int statusCode);
// Whether a result code means the test ran to its end without finding anything.
bool SelfTestPassed(LogTransport transport, int statusCode);
// Whether a result code means the drive found a fault (as opposed to a test that was stopped).
bool SelfTestFailed(LogTransport transport, int statusCode);
// ATA: the error register of an error log entry; NVMe: the entry's status field.
std::string DriveErrorText(LogTransport transport, std::uint32_t status);

}  // namespace health
