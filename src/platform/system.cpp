#include "platform/system.h"

#include <unistd.h>

#include <chrono>
#include <cstdlib>

namespace platform {
namespace {

std::chrono::steady_clock::duration sinceStart() {
    return std::chrono::steady_clock::now().time_since_epoch();
}

}  // namespace

std::uint32_t SystemClock::tickCount() {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(sinceStart()).count();
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ms));
}

std::int64_t SystemClock::performanceCounter() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(sinceStart()).count();
}

std::int64_t SystemClock::performanceFrequency() {
    return 1'000'000'000;
}

void ImmediateProcessExit::exitProcess(int code) {
    std::_Exit(code);
}

std::string modulePath() {
    std::string path(4096, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= path.size()) return {};
    path.resize(static_cast<std::size_t>(length));
    return path;
}

}  // namespace platform
