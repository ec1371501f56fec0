#pragma once
// Small process services: time, the operating-system version, process exit and the
// executable's path. Each is an interface so tests can inject them.
#include <cstdint>
#include <string>

namespace platform {

class Clock {
public:
    virtual ~Clock() = default;
    // GetTickCount: milliseconds since an arbitrary start, wrapping at 2^32.
    virtual std::uint32_t tickCount() = 0;
    // QueryPerformanceCounter: a monotonic count in units of performanceFrequency().
    virtual std::int64_t performanceCounter() = 0;
    // QueryPerformanceFrequency: counts per second, never 0.
    virtual std::int64_t performanceFrequency() = 0;
};

// steady_clock behind the Clock interface.
class SystemClock final : public Clock {
public:
    std::uint32_t tickCount() override;
    std::int64_t performanceCounter() override;
    std::int64_t performanceFrequency() override;
};

class OsVersion {
public:
    virtual ~OsVersion() = default;
    // GetVersion: low byte major, next byte minor, as Windows packs it.
    virtual std::uint32_t getVersion() = 0;
};

// This platform layer is a Windows 5.1 compatible surface on every host.
class FixedOsVersion final : public OsVersion {
public:
    explicit FixedOsVersion(std::uint32_t major = 5, std::uint32_t minor = 1)
        : version_(major | (minor << 8)) {}
    std::uint32_t getVersion() override { return version_; }

private:
    std::uint32_t version_;
};

class ProcessExit {
public:
    virtual ~ProcessExit() = default;
    // ExitProcess: ends the process at once with this code (a test double records it instead).
    virtual void exitProcess(int code) = 0;
};

// Production: std::_Exit, no destructors, as ExitProcess does.
class ImmediateProcessExit final : public ProcessExit {
public:
    [[noreturn]] void exitProcess(int code) override;
};

// GetModuleFileNameA: the running executable's full path (from /proc/self/exe); empty on failure.
std::string modulePath();

}  // namespace platform
